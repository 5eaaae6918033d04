#include "gpu/gpgpu.h"

#include <GL/glew.h>
#include <GL/glu.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include "gpu/gl_context.h"
#include "picture/library_messages.h"

namespace {

// A screen-aligned quad from (x0, y0) to (x1, y1) with up to six coordinate sets, each given by its
// values at the two corners.
struct Quad {
  float x0, y0, x1, y1;
  std::vector<std::array<float, 4>> sets;
};

void DrawQuad(const Quad& quad) {
  const float corners[4][2] = {{0, 0}, {1, 0}, {1, 1}, {0, 1}};
  glBegin(GL_QUADS);
  for (const auto& corner : corners) {
    for (size_t n = 0; n < quad.sets.size(); ++n) {
      const auto& set = quad.sets[n];
      glMultiTexCoord2f(GL_TEXTURE0 + static_cast<GLenum>(n),
                        set[0] + corner[0] * (set[2] - set[0]),
                        set[1] + corner[1] * (set[3] - set[1]));
    }
    glVertex2f(quad.x0 + corner[0] * (quad.x1 - quad.x0),
               quad.y0 + corner[1] * (quad.y1 - quad.y0));
  }
  glEnd();
}

// The coordinate set addressing the w × h rectangle at padded position (x, y) of a W × H texture.
std::array<float, 4> PaddedSet(int32_t x, int32_t y, int32_t w, int32_t h, float W, float H) {
  return {x / W, y / H, (x + w) / W, (y + h) / H};
}

uint32_t Mask(int32_t bits) { return bits >= 32 ? 0xFFFFFFFFu : (1u << bits) - 1u; }

uint32_t SampleAt(const void* raster, size_t index, int32_t bits) {
  if (bits <= 8) return static_cast<const uint8_t*>(raster)[index];
  if (bits <= 16) return static_cast<const uint16_t*>(raster)[index];
  return static_cast<const uint32_t*>(raster)[index];
}

float ToFloat(uint32_t sample, int32_t bits) {
  const uint32_t v = sample & Mask(bits);
  if (bits <= 8) return static_cast<float>(v);
  if (bits <= 16) return static_cast<float>(v) * (1.0f / 256.0f);
  return static_cast<float>(v);
}

void StoreSample(void* raster, size_t index, float value, int32_t bits) {
  const double scaled = bits > 8 && bits <= 16 ? value * 256.0 + 0.5 : value + 0.5;
  const auto sample = static_cast<uint32_t>(std::clamp(scaled, 0.0, double(Mask(bits))));
  if (bits <= 8) {
    static_cast<uint8_t*>(raster)[index] = static_cast<uint8_t>(sample);
  } else if (bits <= 16) {
    static_cast<uint16_t*>(raster)[index] = static_cast<uint16_t>(sample);
  } else {
    static_cast<uint32_t*>(raster)[index] = sample;
  }
}

// W × H × 3 floats from a raster of `components` samples per pixel (1 is replicated).
std::vector<float> ToTriples(const void* raster, size_t pixels, int32_t components, int32_t bits) {
  std::vector<float> floats(pixels * 3);
  for (size_t i = 0; i < pixels; ++i) {
    for (size_t c = 0; c < 3; ++c) {
      const size_t from = components == 1 ? i : i * 3 + c;
      floats[i * 3 + c] = ToFloat(SampleAt(raster, from, bits), bits);
    }
  }
  return floats;
}

std::vector<float> ToSingles(const void* raster, size_t pixels, int32_t bits) {
  std::vector<float> floats(pixels);
  for (size_t i = 0; i < pixels; ++i) floats[i] = ToFloat(SampleAt(raster, i, bits), bits);
  return floats;
}

void UnbindUnit(int32_t unit) {
  glActiveTexture(GL_TEXTURE0 + unit);
  glBindTexture(GL_TEXTURE_2D, 0);
  glDisable(GL_TEXTURE_2D);
}

}  // namespace

CGPGPU::CGPGPU() = default;

CGPGPU::~CGPGPU() {
  if (usable) {
    for (int32_t slot = 0; slot < kGpuProgramSlots; ++slot) {
      if (shaders_[slot] == 0 || programs_[slot] == 0) continue;
      glDetachShader(programs_[slot], shaders_[slot]);
      glDeleteShader(shaders_[slot]);
      glDeleteProgram(programs_[slot]);
    }
    glDeleteFramebuffersEXT(1, &framebuffer_);
    glDeleteTextures(kTextureCount, textures_.data());
  }
  DestroyHiddenGlWindow(*this);
}

void CGPGPU::ClearNames() {
  framebuffer_ = 0;
  textures_.fill(0);
  shaders_.fill(0);
  programs_.fill(0);
  usable = false;
}

bool CGPGPU::BuildProgram(GpuProgramId id) {
  const GpuProgramText& text = GpuProgram(id);
  const GLuint shader = glCreateShader(GL_FRAGMENT_SHADER);
  glShaderSource(shader, 1, &text.source, nullptr);
  glCompileShader(shader);
  const GLuint program = glCreateProgram();
  glAttachShader(program, shader);
  glLinkProgram(program);
  shaders_[id] = shader;
  programs_[id] = program;
  GLint compiled = GL_FALSE;
  GLint linked = GL_FALSE;
  glGetShaderiv(shader, GL_COMPILE_STATUS, &compiled);
  glGetProgramiv(program, GL_LINK_STATUS, &linked);
  if (compiled == GL_TRUE && linked == GL_TRUE) return true;
  char log[2048] = "";
  if (compiled == GL_TRUE) {
    glGetProgramInfoLog(program, sizeof log, nullptr, log);
  } else {
    glGetShaderInfoLog(shader, sizeof log, nullptr, log);
  }
  ReportLibraryMessage("OpenGL", std::string(text.name) + " failed to build: " + log);
  return false;
}

void CGPGPU::BuildPrograms() {
  if (!usable) return;
  glGenFramebuffersEXT(1, &framebuffer_);
  glGenTextures(kTextureCount, textures_.data());
  bool built = true;
  for (int32_t id = 0; id < kGpuProgramCount; ++id) {
    built = BuildProgram(static_cast<GpuProgramId>(id)) && built;
  }
  glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, framebuffer_);
  for (int32_t id = 0; id < kGpuProgramSlots; ++id) {
    uniforms_[id].fill(-1);
    if (id >= kGpuProgramCount) continue;
    const uint32_t declared = GpuProgram(static_cast<GpuProgramId>(id)).uniforms;
    for (int32_t u = 0; u < kGpuUniformCount; ++u) {
      if ((declared & (1u << u)) == 0) continue;
      uniforms_[id][u] = glGetUniformLocation(programs_[id], GpuUniformName(GpuUniform(u)));
    }
  }
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
  pingPong_ = true;
  usable = built;
}

void CGPGPU::DefineTexture(Texture texture, int32_t width, int32_t height, bool three,
                           const float* data) {
  textureSizes_[texture] = {width, height};
  glBindTexture(GL_TEXTURE_2D, textures_[texture]);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP);
  glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_REPLACE);
  glTexImage2D(GL_TEXTURE_2D, 0, three ? GL_RGB32F_ARB : GL_LUMINANCE32F_ARB, width, height, 0,
               three ? GL_BGR : GL_LUMINANCE, GL_FLOAT, data);
}

void CGPGPU::Upload(const void* picture, const void* guide, int32_t w, int32_t h,
                    int32_t pictureComps, int32_t guideComps, int32_t r, int32_t bits) {
  tileWidth_ = w;
  tileHeight_ = h;
  paddedWidth_ = w + 2 * r + 6;
  paddedHeight_ = h + 2 * r + 6;
  bits_ = bits;
  workingChannels_ = 3;
  replicateSingle_ = pictureComps == 1;
  tripleGuide_ = guideComps == 3;
  const size_t pixels = size_t(paddedWidth_) * paddedHeight_;
  const std::vector<float> pictureFloats = ToTriples(picture, pixels, pictureComps, bits);
  const std::vector<float> guideFloats =
      tripleGuide_ ? ToTriples(guide, pixels, 3, bits) : ToSingles(guide, pixels, bits);
  const std::vector<float> zeros(size_t(w) * h * 3, 0.0f);
  glActiveTexture(GL_TEXTURE0);
  DefineTexture(kPicture, paddedWidth_, paddedHeight_, true, pictureFloats.data());
  DefineTexture(kGuide, paddedWidth_, paddedHeight_, tripleGuide_, guideFloats.data());
  DefineTexture(kDiff, paddedWidth_, paddedHeight_, tripleGuide_, nullptr);
  DefineTexture(kWeight, paddedWidth_, paddedHeight_, tripleGuide_, nullptr);
  DefineTexture(kHalfSum, HalfWidth(), HalfHeight(), tripleGuide_, nullptr);
  DefineTexture(kDistance, HalfWidth(), HalfHeight(), tripleGuide_, nullptr);
  for (Texture sum : {kWeightSumA, kValueSumA, kWeightSumB, kValueSumB}) {
    DefineTexture(sum, w, h, true, zeros.data());
  }
  DefineTexture(kResult, w, h, true, nullptr);
  glBindTexture(GL_TEXTURE_2D, 0);
  pingPong_ = true;
}

void CGPGPU::UploadSingleGuide(const void* picture, const void* guide, int32_t w, int32_t h,
                               int32_t components, int32_t r, int32_t bits) {
  Upload(picture, guide, w, h, components, 1, r, bits);
}

void CGPGPU::UploadTripleGuide(const void* picture, const void* guide, int32_t w, int32_t h,
                               int32_t r, int32_t bits) {
  Upload(picture, guide, w, h, 3, 3, r, bits);
}

// Renders into `texture` through attachment 0: projection (0, 0) … (projWidth, projHeight), the
// texture's own size as viewport.
void CGPGPU::Target(Texture texture, float projWidth, float projHeight, bool clear) {
  glFramebufferTexture2DEXT(GL_FRAMEBUFFER_EXT, GL_COLOR_ATTACHMENT0_EXT, GL_TEXTURE_2D,
                            textures_[texture], 0);
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  gluOrtho2D(0.0, projWidth, 0.0, projHeight);
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
  glViewport(0, 0, textureSizes_[texture][0], textureSizes_[texture][1]);
  if (!clear) return;
  glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
  glClear(GL_COLOR_BUFFER_BIT);
}

void CGPGPU::Bind(int32_t unit, Texture texture, GpuProgramId id, GpuUniform sampler) {
  glActiveTexture(GL_TEXTURE0 + unit);
  glEnable(GL_TEXTURE_2D);
  glBindTexture(GL_TEXTURE_2D, textures_[texture]);
  glUniform1i(uniforms_[id][sampler], unit);
}

void CGPGPU::SetFloat(GpuProgramId id, GpuUniform uniform, float value) {
  glUniform1f(uniforms_[id][uniform], value);
}

// texDiff(p) = |guide(p + d) − guide(p)| where both lie inside the padded tile, else 0.
void CGPGPU::DrawDifference(int32_t dx, int32_t dy, bool triple) {
  const auto W = static_cast<float>(paddedWidth_);
  const auto H = static_cast<float>(paddedHeight_);
  const auto a = static_cast<float>(std::max(-dx, 0));
  const auto b = static_cast<float>(std::max(-dy, 0));
  const auto spanX = W - static_cast<float>(std::abs(dx));
  const auto spanY = H - static_cast<float>(std::abs(dy));
  const GpuProgramId diff = triple ? kAbsDiff3 : kAbsDiff1;
  Target(kDiff, W, H, true);
  glUseProgram(programs_[diff]);
  Bind(0, kGuide, diff, kTexture0);
  DrawQuad({a,
            b,
            a + spanX,
            b + spanY,
            {{(a + dx) / W, (b + dy) / H, (a + spanX + dx) / W, (b + spanY + dy) / H},
             {a / W, b / H, (a + spanX) / W, (b + spanY) / H}}});
}

// texDistance: 2 × 2 sums of texDiff, then 3 × 3 box sums of those, the 6 × 6 patch distance.
void CGPGPU::DrawPatchDistance(int32_t dx, int32_t dy, bool triple) {
  const auto W = static_cast<float>(paddedWidth_);
  const auto H = static_cast<float>(paddedHeight_);
  const float K = W * 0.5f;
  const float L = H * 0.5f;
  const GpuProgramId sum = triple ? kSum4_3 : kSum4_1;
  const float s1 = 1.0f - 1.0f / W;
  const float t1 = 1.0f - 1.0f / H;
  Target(kHalfSum, K, L, true);
  glUseProgram(programs_[sum]);
  Bind(0, kDiff, sum, kTexture0);
  DrawQuad({0,
            0,
            K,
            L,
            {{0, 0, s1, t1},
             {1 / W, 0, s1 + 1 / W, t1},
             {1 / W, 1 / H, s1 + 1 / W, t1 + 1 / H},
             {0, 1 / H, s1, t1 + 1 / H}}});

  // The first column and row keep these plain half sums; the box sums overwrite the rest.
  Target(kDistance, K, L, true);
  glUseProgram(0);
  glActiveTexture(GL_TEXTURE0);
  glEnable(GL_TEXTURE_2D);
  glBindTexture(GL_TEXTURE_2D, textures_[kHalfSum]);
  DrawQuad({0, 0, K, L, {{0, 0, s1, t1}}});

  const GpuProgramId box = triple ? kBox9_3 : kBox9_1;
  const auto spanX = W - static_cast<float>(std::abs(dx));
  const auto spanY = H - static_cast<float>(std::abs(dy));
  Target(kDistance, K, L, false);
  glUseProgram(programs_[box]);
  Bind(0, kHalfSum, box, kTexture0);
  SetFloat(box, kDeltaX, 1.0f / K);
  SetFloat(box, kDeltaY, 1.0f / L);
  DrawQuad({1, 1, spanX + 1, spanY + 1, {{0, 0, spanX / K, spanY / L}}});
}

void CGPGPU::DrawWeights(GpuProgramId id,
                         std::initializer_list<std::pair<GpuUniform, float>> floats) {
  Target(kWeight, static_cast<float>(paddedWidth_), static_cast<float>(paddedHeight_), true);
  glUseProgram(programs_[id]);
  for (const auto& [uniform, value] : floats) SetFloat(id, uniform, value);
  Bind(0, kDistance, id, kTexSum);
  Bind(1, kPicture, id, kTexSrc);
  DrawQuad(
      {0, 0, static_cast<float>(paddedWidth_), static_cast<float>(paddedHeight_), {{0, 0, 1, 1}}});
}

void CGPGPU::DrawAccumulation(int32_t dx, int32_t dy, int32_t r) {
  const auto w = static_cast<float>(tileWidth_);
  const auto h = static_cast<float>(tileHeight_);
  const auto W = static_cast<float>(paddedWidth_);
  const auto H = static_cast<float>(paddedHeight_);
  const int32_t o = r + 3;
  const auto at = [&](int32_t x, int32_t y) {
    return PaddedSet(x, y, tileWidth_, tileHeight_, W, H);
  };
  const std::array<float, 4> whole{0, 0, 1, 1};
  if (dx == 0 && dy == 0) {
    Target(NextWeightSum(), w, h, true);
    glUseProgram(programs_[kAccumulate]);
    Bind(0, CurrentWeightSum(), kAccumulate, kTexDbl1);
    Bind(1, kWeight, kAccumulate, kTexDbl2);
    DrawQuad({0, 0, w, h, {whole, at(o, o)}});
    Target(NextValueSum(), w, h, true);
    glUseProgram(programs_[kAccumulateWeighted]);
    Bind(0, CurrentValueSum(), kAccumulateWeighted, kTexDbl1);
    Bind(1, kWeight, kAccumulateWeighted, kTexDbl2);
    Bind(2, kPicture, kAccumulateWeighted, kTexture0);
    DrawQuad({0, 0, w, h, {whole, at(o, o), at(o, o)}});
    return;
  }
  glFramebufferTexture2DEXT(GL_FRAMEBUFFER_EXT, GL_COLOR_ATTACHMENT1_EXT, GL_TEXTURE_2D,
                            textures_[NextValueSum()], 0);
  const GLenum buffers[2] = {GL_COLOR_ATTACHMENT0_EXT, GL_COLOR_ATTACHMENT1_EXT};
  glDrawBuffers(2, buffers);
  Target(NextWeightSum(), w, h, true);
  glUseProgram(programs_[kAccumulatePair]);
  Bind(0, CurrentWeightSum(), kAccumulatePair, kTexDbl1);
  Bind(1, CurrentValueSum(), kAccumulatePair, kTexDbl2);
  Bind(2, kWeight, kAccumulatePair, kTexDbl1X);
  Bind(3, kWeight, kAccumulatePair, kTexDbl2X);
  Bind(4, kPicture, kAccumulatePair, kTexture0);
  Bind(5, kPicture, kAccumulatePair, kTexture0X);
  DrawQuad({0,
            0,
            w,
            h,
            {whole, whole, at(o - dx, o - dy), at(o, o), at(o - dx, o - dy), at(o + dx, o + dy)}});
}

void CGPGPU::FinishPass() {
  pingPong_ = !pingPong_;
  glFinish();
  glDrawBuffer(GL_COLOR_ATTACHMENT0_EXT);
  glFramebufferTexture2DEXT(GL_FRAMEBUFFER_EXT, GL_COLOR_ATTACHMENT1_EXT, GL_TEXTURE_2D, 0, 0);
  for (int32_t unit = 1; unit <= 5; ++unit) UnbindUnit(unit);
  glActiveTexture(GL_TEXTURE0);
}

void CGPGPU::RunOffsetPass1(int32_t dx, int32_t dy, int32_t r, float variance, float dynamics) {
  DrawDifference(dx, dy, false);
  DrawPatchDistance(dx, dy, false);
  const bool inverse = dynamics < 0;
  DrawWeights(inverse ? kWeightInverse1 : kWeightDirect1,
              {{kVariance, variance * 300.0f},
               {kSuperDynamicity, (inverse ? -dynamics : dynamics) / 256.0f}});
  DrawAccumulation(dx, dy, r);
  FinishPass();
}

void CGPGPU::RunOffsetPass3(int32_t dx, int32_t dy, int32_t r, float varianceY, float varianceUV,
                            float dynamics) {
  DrawDifference(dx, dy, true);
  DrawPatchDistance(dx, dy, true);
  const bool inverse = dynamics < 0.00001f;
  DrawWeights(inverse ? kWeightInverse3 : kWeightDirect3,
              {{kVarianceY, varianceY * 300.0f},
               {kVarianceUV, varianceUV * 300.0f},
               {kSuperDynamicity, (inverse ? -dynamics : dynamics) / 256.0f}});
  DrawAccumulation(dx, dy, r);
  FinishPass();
}

void CGPGPU::ResolveAndRead(void* destination) {
  const auto w = static_cast<float>(tileWidth_);
  const auto h = static_cast<float>(tileHeight_);
  Target(kResult, w, h, true);
  glUseProgram(programs_[kNormalize]);
  Bind(0, CurrentWeightSum(), kNormalize, kTexDbl1);
  Bind(1, CurrentValueSum(), kNormalize, kTexDbl2);
  DrawQuad({0, 0, w, h, {{0, 0, 1, 1}}});
  glUseProgram(0);
  const size_t pixels = size_t(tileWidth_) * tileHeight_;
  std::vector<float> floats(pixels * workingChannels_);
  glReadPixels(0, 0, tileWidth_, tileHeight_, GL_BGR, GL_FLOAT, floats.data());
  for (size_t i = 0; i < pixels; ++i) {
    if (replicateSingle_) {
      StoreSample(destination, i, floats[i * 3], bits_);
      continue;
    }
    for (size_t c = 0; c < 3; ++c) StoreSample(destination, i * 3 + c, floats[i * 3 + c], bits_);
  }
  UnbindUnit(1);
  UnbindUnit(0);
}
