// The graphics-card filter's one process-wide object: the off-screen OpenGL context, a framebuffer,
// eleven float textures and the sixteen fragment programs (gpu/shader_programs.h).
//
// Use:
// - Whoever runs jobs on the card (the desktop application's session, a command-line run) owns one
//   object, calls `InitGpu` on it (gpu/gl_context.h) and hands it to each run through the run's
//   control (engine/run_control.h). The object is not copyable and has no lock.
// - `usable` is true only when the context exists, the renderer is accepted, the needed extensions
//   are present and every program compiled and linked. When it is false the engine must not call
//   any operation below and runs on the CPU instead.
// - Every operation runs on the thread on which the context is current: the thread that called
//   `InitGpu`, or a worker that took the context over (gpu/gl_context.h). One tile at a time.
// - Per tile, in this order: one upload, one offset pass per search offset, one `ResolveAndRead`.
//   Tiles are at most `maxTileEdge` pixels on each side.
//
// Geometry: for a w × h tile padded by R + 3 on each side the padded size is W × H =
// (w + 2R + 6) × (h + 2R + 6); half-size textures are ⌊W/2⌋ × ⌊H/2⌋. 16-bit samples are scaled by
// 1/256 on upload and by 256 on read-back, so every texture holds values of 0 to 256.
#pragma once

#include <array>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <utility>

#include "gpu/shader_programs.h"

class CGPGPU {
 public:
  CGPGPU();
  // Deletes the programs, framebuffer and textures (when usable) and tears the context down. Runs on
  // the thread that holds the context.
  virtual ~CGPGPU();
  CGPGPU(const CGPGPU&) = delete;
  CGPGPU& operator=(const CGPGPU&) = delete;

  // Generates the framebuffer and textures, compiles and links the programs, looks up their
  // uniforms. Does nothing unless `usable`; clears `usable` when a program fails to compile or link
  // (its GLSL log goes to the library message log, printed with --verbose).
  void BuildPrograms();

  // Uploads the padded picture (W × H pixels of 1 or 3 samples) and the padded single-component
  // guide (W × H samples), both rows packed at `bits` (8 or 16) per sample.
  void UploadSingleGuide(const void* picture, const void* guide, int32_t w, int32_t h,
                         int32_t components, int32_t r, int32_t bits);
  // Uploads a padded three-component picture and a padded three-component guide.
  void UploadTripleGuide(const void* picture, const void* guide, int32_t w, int32_t h, int32_t r,
                         int32_t bits);

  // One search offset d = (dx, dy) and its mirror −d, distances from a single-channel guide.
  // variance = strength^3.5; dynamics as the engine hands it to its filters.
  void RunOffsetPass1(int32_t dx, int32_t dy, int32_t r, float variance, float dynamics);
  // The same with per-channel distances, luma strength for Y and chroma strength for U and V.
  void RunOffsetPass3(int32_t dx, int32_t dy, int32_t r, float varianceY, float varianceUV,
                      float dynamics);

  // Divides the sums and writes w × h pixels (1 sample when the picture had one component, else 3)
  // at the upload's depth, rows packed, rounded half up and clamped to the depth's maximum.
  void ResolveAndRead(void* destination);

  // The context (EGL handles; null when absent). Kept by gpu/gl_context.cpp.
  void* display = nullptr;
  void* surface = nullptr;
  void* context = nullptr;
  bool usable = false;
  std::string renderer;  // the OpenGL renderer's name, once the context exists
  int32_t maxTileEdge = 0;

 private:
  friend bool InitGpu(CGPGPU& gpu, bool quiet);

  enum Texture : int32_t {
    kPicture,
    kGuide,
    kDiff,
    kHalfSum,
    kDistance,
    kWeight,
    kWeightSumA,
    kValueSumA,
    kWeightSumB,
    kValueSumB,
    kResult,
    kTextureCount,
  };
  void ClearNames();
  bool BuildProgram(GpuProgramId id);
  void Upload(const void* picture, const void* guide, int32_t w, int32_t h, int32_t pictureComps,
              int32_t guideComps, int32_t r, int32_t bits);
  void DefineTexture(Texture texture, int32_t width, int32_t height, bool three, const float* data);
  void Target(Texture texture, float projWidth, float projHeight, bool clear);
  void Bind(int32_t unit, Texture texture, GpuProgramId id, GpuUniform sampler);
  void SetFloat(GpuProgramId id, GpuUniform uniform, float value);
  void DrawDifference(int32_t dx, int32_t dy, bool triple);
  void DrawPatchDistance(int32_t dx, int32_t dy, bool triple);
  void DrawWeights(GpuProgramId id, std::initializer_list<std::pair<GpuUniform, float>> floats);
  void DrawAccumulation(int32_t dx, int32_t dy, int32_t r);
  void FinishPass();
  Texture CurrentWeightSum() const { return pingPong_ ? kWeightSumB : kWeightSumA; }
  Texture CurrentValueSum() const { return pingPong_ ? kValueSumB : kValueSumA; }
  Texture NextWeightSum() const { return pingPong_ ? kWeightSumA : kWeightSumB; }
  Texture NextValueSum() const { return pingPong_ ? kValueSumA : kValueSumB; }
  int32_t HalfWidth() const { return paddedWidth_ / 2; }
  int32_t HalfHeight() const { return paddedHeight_ / 2; }

  uint32_t framebuffer_ = 0;
  std::array<uint32_t, kTextureCount> textures_{};
  std::array<std::array<int32_t, 2>, kTextureCount> textureSizes_{};
  bool pingPong_ = true;
  std::array<uint32_t, kGpuProgramSlots> shaders_{};
  std::array<uint32_t, kGpuProgramSlots> programs_{};
  std::array<std::array<int32_t, kGpuUniformCount>, kGpuProgramSlots> uniforms_{};
  int32_t tileWidth_ = 0;
  int32_t tileHeight_ = 0;
  int32_t paddedWidth_ = 0;
  int32_t paddedHeight_ = 0;
  int32_t workingChannels_ = 0;
  bool replicateSingle_ = false;
  bool tripleGuide_ = false;
  int32_t bits_ = 8;
};
