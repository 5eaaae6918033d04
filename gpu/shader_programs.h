// The sixteen fragment programs of the graphics-card filter: their slots, names, uniforms and GLSL
// texts. Each program is one fragment shader linked alone, without a vertex shader, so the
// fixed-function pipeline hands it the texture coordinates of unit n as gl_TexCoord[n].
//
// Float textures hold three-channel pictures in B, G, R order: channel z is component 0 (Y of a
// YUV picture), y component 1 and x component 2. Single-channel textures are luminance textures,
// whose .xyz reads the same value three times.
#pragma once

#include <cstdint>

enum GpuProgramId : int32_t {
  kNormalize = 0,
  kAbsDiff1 = 1,
  kSum4_1 = 2,
  kBox9_1 = 3,
  kCopy1 = 4,
  kWeightInverse1 = 5,
  kAccumulate = 6,
  kAccumulateWeighted = 7,
  kAccumulatePair = 8,
  kAbsDiff3 = 9,
  kSum4_3 = 10,
  kBox9_3 = 11,
  kCopy3 = 12,
  kWeightInverse3 = 13,
  kWeightDirect1 = 14,
  kWeightDirect3 = 15,
};

constexpr int32_t kGpuProgramCount = 16;
// Program slots kept by the GPU object; the last two stay empty.
constexpr int32_t kGpuProgramSlots = 18;

// Every uniform a program may declare, in the order of the location records.
enum GpuUniform : int32_t {
  kTexture0,
  kTexture0X,
  kDeltaX,
  kDeltaY,
  kTexDbl1,
  kTexDbl1X,
  kTexDbl2,
  kTexDbl2X,
  kTexSrc,
  kTexSum,
  kVariance,
  kVarianceY,
  kVarianceUV,
  kSuperDynamicity,
  kGpuUniformCount,
};

// The GLSL name of a uniform.
const char* GpuUniformName(GpuUniform uniform);

struct GpuProgramText {
  const char* name;
  const char* source;
  // Bit u set when the program declares uniform u.
  uint32_t uniforms;
};

// The program of a slot 0 … 15.
const GpuProgramText& GpuProgram(GpuProgramId id);
