#include "gpu/shader_programs.h"

#include <array>

namespace {

constexpr uint32_t Bit(GpuUniform u) { return 1u << u; }

constexpr const char* kNormalizeText = R"(
uniform sampler2D texDbl1;
uniform sampler2D texDbl2;
void main() {
  vec3 weights = texture2D(texDbl1, gl_TexCoord[0].xy).xyz;
  vec3 values = texture2D(texDbl2, gl_TexCoord[0].xy).xyz;
  gl_FragColor = vec4(values / weights, 1.0);
}
)";

constexpr const char* kAbsDiff1Text = R"(
uniform sampler2D texture0;
void main() {
  float d = abs(texture2D(texture0, gl_TexCoord[0].xy).x - texture2D(texture0, gl_TexCoord[1].xy).x);
  gl_FragColor = vec4(d, d, d, 1.0);
}
)";

constexpr const char* kAbsDiff3Text = R"(
uniform sampler2D texture0;
void main() {
  vec3 d = abs(texture2D(texture0, gl_TexCoord[0].xy).xyz -
               texture2D(texture0, gl_TexCoord[1].xy).xyz);
  gl_FragColor = vec4(d, 1.0);
}
)";

constexpr const char* kSum4_1Text = R"(
uniform sampler2D texture0;
void main() {
  float s = texture2D(texture0, gl_TexCoord[0].xy).x + texture2D(texture0, gl_TexCoord[1].xy).x +
            texture2D(texture0, gl_TexCoord[2].xy).x + texture2D(texture0, gl_TexCoord[3].xy).x;
  gl_FragColor = vec4(s, s, s, 1.0);
}
)";

constexpr const char* kSum4_3Text = R"(
uniform sampler2D texture0;
void main() {
  vec3 s = texture2D(texture0, gl_TexCoord[0].xy).xyz + texture2D(texture0, gl_TexCoord[1].xy).xyz +
           texture2D(texture0, gl_TexCoord[2].xy).xyz + texture2D(texture0, gl_TexCoord[3].xy).xyz;
  gl_FragColor = vec4(s, 1.0);
}
)";

// The nine cells of the window starting at c, in a serpentine order down the columns.
constexpr const char* kBox9_1Text = R"(
uniform sampler2D texture0;
uniform float deltaX;
uniform float deltaY;
float At(float i, float j) {
  return texture2D(texture0, gl_TexCoord[0].xy + vec2(i * deltaX, j * deltaY)).x;
}
void main() {
  float s = At(0.0, 0.0);
  s += At(0.0, 1.0);
  s += At(0.0, 2.0);
  s += At(1.0, 2.0);
  s += At(1.0, 1.0);
  s += At(1.0, 0.0);
  s += At(2.0, 0.0);
  s += At(2.0, 1.0);
  s += At(2.0, 2.0);
  gl_FragColor = vec4(s, s, s, 1.0);
}
)";

constexpr const char* kBox9_3Text = R"(
uniform sampler2D texture0;
uniform float deltaX;
uniform float deltaY;
vec3 At(float i, float j) {
  return texture2D(texture0, gl_TexCoord[0].xy + vec2(i * deltaX, j * deltaY)).xyz;
}
void main() {
  vec3 s = At(0.0, 0.0);
  s += At(0.0, 1.0);
  s += At(0.0, 2.0);
  s += At(1.0, 2.0);
  s += At(1.0, 1.0);
  s += At(1.0, 0.0);
  s += At(2.0, 0.0);
  s += At(2.0, 1.0);
  s += At(2.0, 2.0);
  gl_FragColor = vec4(s, 1.0);
}
)";

constexpr const char* kCopy1Text = R"(
uniform sampler2D texture0;
void main() {
  float v = texture2D(texture0, gl_TexCoord[0].xy).x;
  gl_FragColor = vec4(v, v, v, 1.0);
}
)";

constexpr const char* kCopy3Text = R"(
uniform sampler2D texture0;
void main() {
  gl_FragColor = vec4(texture2D(texture0, gl_TexCoord[0].xy).xyz, 1.0);
}
)";

// The weight of patch distance s: the variance grows with the darkness of the source pixel.
constexpr const char* kWeightInverse1Text = R"(
uniform sampler2D texSum;
uniform sampler2D texSrc;
uniform float variance;
uniform float superDynamicity;
void main() {
  float s = texture2D(texSum, gl_TexCoord[0].xy).x;
  float v = ((256.0 - texture2D(texSrc, gl_TexCoord[0].xy).x) * superDynamicity + 1.0) * variance;
  float w = pow(2.718281828, -(s * s * s) / v);
  gl_FragData[0] = vec4(w, w, w, 1.0);
}
)";

// As above, the variance growing with the brightness of the source pixel.
constexpr const char* kWeightDirect1Text = R"(
uniform sampler2D texSum;
uniform sampler2D texSrc;
uniform float variance;
uniform float superDynamicity;
void main() {
  float s = texture2D(texSum, gl_TexCoord[0].xy).x;
  float v = (texture2D(texSrc, gl_TexCoord[0].xy).x * superDynamicity + 1.0) * variance;
  float w = pow(2.718281828, -(s * s * s) / v);
  gl_FragData[0] = vec4(w, w, w, 1.0);
}
)";

// Per channel: luma (z) with varianceY, chroma (x, y) with varianceUV.
constexpr const char* kWeightInverse3Text = R"(
uniform sampler2D texSum;
uniform sampler2D texSrc;
uniform float varianceY;
uniform float varianceUV;
uniform float superDynamicity;
void main() {
  vec3 s = texture2D(texSum, gl_TexCoord[0].xy).xyz;
  vec3 var = vec3(varianceUV, varianceUV, varianceY);
  vec3 v = ((255.0 - texture2D(texSrc, gl_TexCoord[0].xy).xyz) * superDynamicity + 1.0) * var;
  vec3 w = pow(vec3(2.718281828), -(s * s * s) / v);
  gl_FragData[0] = vec4(w, 1.0);
}
)";

constexpr const char* kWeightDirect3Text = R"(
uniform sampler2D texSum;
uniform sampler2D texSrc;
uniform float varianceY;
uniform float varianceUV;
uniform float superDynamicity;
void main() {
  vec3 s = texture2D(texSum, gl_TexCoord[0].xy).xyz;
  vec3 var = vec3(varianceUV, varianceUV, varianceY);
  vec3 v = (texture2D(texSrc, gl_TexCoord[0].xy).xyz * superDynamicity + 1.0) * var;
  vec3 w = pow(vec3(2.718281828), -(s * s * s) / v);
  gl_FragData[0] = vec4(w, 1.0);
}
)";

constexpr const char* kAccumulateText = R"(
uniform sampler2D texDbl1;
uniform sampler2D texDbl2;
void main() {
  gl_FragData[0] = vec4(texture2D(texDbl1, gl_TexCoord[0].xy).xyz +
                        texture2D(texDbl2, gl_TexCoord[1].xy).xyz, 1.0);
}
)";

constexpr const char* kAccumulateWeightedText = R"(
uniform sampler2D texDbl1;
uniform sampler2D texDbl2;
uniform sampler2D texture0;
void main() {
  gl_FragData[0] = vec4(texture2D(texDbl1, gl_TexCoord[0].xy).xyz +
                        texture2D(texDbl2, gl_TexCoord[1].xy).xyz *
                        texture2D(texture0, gl_TexCoord[2].xy).xyz, 1.0);
}
)";

// One weight map serves the offset d and its mirror: w(p − d) with the picture at p − d, and w(p)
// with the picture at p + d.
constexpr const char* kAccumulatePairText = R"(
uniform sampler2D texDbl1;
uniform sampler2D texDbl2;
uniform sampler2D texDbl1X;
uniform sampler2D texDbl2X;
uniform sampler2D texture0;
uniform sampler2D texture0X;
void main() {
  vec3 weightBack = texture2D(texDbl1X, gl_TexCoord[2].xy).xyz;
  vec3 weightHere = texture2D(texDbl2X, gl_TexCoord[3].xy).xyz;
  gl_FragData[0] = vec4(texture2D(texDbl1, gl_TexCoord[0].xy).xyz + weightBack + weightHere, 1.0);
  gl_FragData[1] = vec4(texture2D(texDbl2, gl_TexCoord[1].xy).xyz +
                        texture2D(texture0, gl_TexCoord[4].xy).xyz * weightBack +
                        texture2D(texture0X, gl_TexCoord[5].xy).xyz * weightHere, 1.0);
}
)";

constexpr uint32_t kOneSampler = Bit(kTexture0);
constexpr uint32_t kBox = Bit(kTexture0) | Bit(kDeltaX) | Bit(kDeltaY);
constexpr uint32_t kPair = Bit(kTexDbl1) | Bit(kTexDbl2);
constexpr uint32_t kWeight1 = Bit(kTexSum) | Bit(kTexSrc) | Bit(kVariance) | Bit(kSuperDynamicity);
constexpr uint32_t kWeight3 =
    Bit(kTexSum) | Bit(kTexSrc) | Bit(kVarianceY) | Bit(kVarianceUV) | Bit(kSuperDynamicity);

constexpr std::array<GpuProgramText, kGpuProgramCount> kPrograms{{
    {"Normalize", kNormalizeText, kPair},
    {"AbsDiff1", kAbsDiff1Text, kOneSampler},
    {"Sum4_1", kSum4_1Text, kOneSampler},
    {"Box9_1", kBox9_1Text, kBox},
    {"Copy1", kCopy1Text, kOneSampler},
    {"WeightInverse1", kWeightInverse1Text, kWeight1},
    {"Accumulate", kAccumulateText, kPair},
    {"AccumulateWeighted", kAccumulateWeightedText, kPair | Bit(kTexture0)},
    {"AccumulatePair", kAccumulatePairText,
     kPair | Bit(kTexDbl1X) | Bit(kTexDbl2X) | Bit(kTexture0) | Bit(kTexture0X)},
    {"AbsDiff3", kAbsDiff3Text, kOneSampler},
    {"Sum4_3", kSum4_3Text, kOneSampler},
    {"Box9_3", kBox9_3Text, kBox},
    {"Copy3", kCopy3Text, kOneSampler},
    {"WeightInverse3", kWeightInverse3Text, kWeight3},
    {"WeightDirect1", kWeightDirect1Text, kWeight1},
    {"WeightDirect3", kWeightDirect3Text, kWeight3},
}};

constexpr std::array<const char*, kGpuUniformCount> kUniformNames{
    "texture0", "texture0X", "deltaX", "deltaY",   "texDbl1",   "texDbl1X",   "texDbl2",
    "texDbl2X", "texSrc",    "texSum", "variance", "varianceY", "varianceUV", "superDynamicity"};

}  // namespace

const char* GpuUniformName(GpuUniform uniform) { return kUniformNames[uniform]; }

const GpuProgramText& GpuProgram(GpuProgramId id) { return kPrograms[id]; }
