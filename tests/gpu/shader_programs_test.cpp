#include "gpu/shader_programs.h"

#include <GL/glew.h>
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <utility>
#include <vector>

#include "gpu/gpu_session.h"

namespace {

// Draws one program alone over a w × 1 float target, every coordinate set spanning (0, 0) … (1, 1).
// Textures are uploaded and read as RGB, so .x is the first float of a texel.
class ProgramRun {
 public:
  ProgramRun(GpuProgramId id, int32_t width) : width_(width) {
    const char* source = GpuProgram(id).source;
    shader_ = glCreateShader(GL_FRAGMENT_SHADER);
    glShaderSource(shader_, 1, &source, nullptr);
    glCompileShader(shader_);
    program_ = glCreateProgram();
    glAttachShader(program_, shader_);
    glLinkProgram(program_);
    glGenFramebuffersEXT(1, &framebuffer_);
  }
  ~ProgramRun() {
    glUseProgram(0);
    glDeleteTextures(static_cast<GLsizei>(textures_.size()), textures_.data());
    glDeleteFramebuffersEXT(1, &framebuffer_);
    glDeleteProgram(program_);
    glDeleteShader(shader_);
  }

  // Binds a texture of the given texels (three floats each) to the sampler `name`.
  void Sampler(const char* name, const std::vector<float>& rgb) {
    const auto unit = static_cast<GLint>(textures_.size());
    glActiveTexture(GL_TEXTURE0 + unit);
    Texture(rgb.data());
    glUseProgram(program_);
    glUniform1i(glGetUniformLocation(program_, name), unit);
  }
  void Float(const char* name, float value) {
    glUseProgram(program_);
    glUniform1f(glGetUniformLocation(program_, name), value);
  }

  // The texels of the target after one quad.
  std::vector<float> Draw() {
    glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, framebuffer_);
    glActiveTexture(GL_TEXTURE7);  // not a sampler's unit
    glFramebufferTexture2DEXT(GL_FRAMEBUFFER_EXT, GL_COLOR_ATTACHMENT0_EXT, GL_TEXTURE_2D,
                              Texture(nullptr), 0);
    glViewport(0, 0, width_, 1);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(0, 1, 0, 1, -1, 1);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glUseProgram(program_);
    const float corners[4][2] = {{0, 0}, {1, 0}, {1, 1}, {0, 1}};
    glBegin(GL_QUADS);
    for (const auto& c : corners) {
      for (GLenum unit = 0; unit < 6; ++unit) glMultiTexCoord2f(GL_TEXTURE0 + unit, c[0], c[1]);
      glVertex2f(c[0], c[1]);
    }
    glEnd();
    std::vector<float> texels(size_t(width_) * 3);
    glReadPixels(0, 0, width_, 1, GL_RGB, GL_FLOAT, texels.data());
    return texels;
  }

 private:
  GLuint Texture(const float* rgb) {
    GLuint texture = 0;
    glGenTextures(1, &texture);
    textures_.push_back(texture);
    glBindTexture(GL_TEXTURE_2D, texture);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGB32F_ARB, width_, 1, 0, GL_RGB, GL_FLOAT, rgb);
    return texture;
  }

  int32_t width_;
  GLuint shader_ = 0;
  GLuint program_ = 0;
  GLuint framebuffer_ = 0;
  std::vector<GLuint> textures_;
};

// The weight of distance s for source value src: pow(2.718281828, −s³ / v) with v growing with the
// source's darkness (inverse, from `top` = 256 or 255) or brightness (direct).
float ExpectedWeight(float s, float src, float var, float superDynamicity, bool inverse,
                     float top) {
  const float v = ((inverse ? top - src : src) * superDynamicity + 1.0f) * var;
  return std::pow(2.718281828f, -(s * s * s) / v);
}

TEST(ShaderPrograms, WeightsFollowTheirFormula) {
  struct Case {
    GpuProgramId id;
    bool inverse, triple;
    float superDynamicity;
  };
  const Case cases[] = {
      {kWeightInverse1, true, false, 0.003f}, {kWeightDirect1, false, false, 0.003f},
      {kWeightInverse1, true, false, 0.0f},   {kWeightDirect1, false, false, 0.0f},
      {kWeightInverse3, true, true, 0.002f},  {kWeightDirect3, false, true, 0.002f},
      {kWeightInverse3, true, true, 0.0f},    {kWeightDirect3, false, true, 0.0f},
  };
  // Texel 0 has distance 0 in every channel; the channels differ elsewhere.
  const std::vector<float> sums{0, 0, 0, 30, 50, 40, 80, 20, 60, 120, 90, 10};
  const std::vector<float> sources{40, 90, 200, 0, 128, 255, 250, 10, 60, 128, 128, 128};
  const float varianceY = 300.0f * 26000.0f;
  const float varianceUV = 300.0f * 90000.0f;
  SKIP_WITHOUT_GPU(gpu);
  for (const Case& c : cases) {
    ProgramRun run(c.id, 4);
    run.Sampler("texSum", sums);
    run.Sampler("texSrc", sources);
    run.Float("superDynamicity", c.superDynamicity);
    run.Float(c.triple ? "varianceY" : "variance", varianceY);
    if (c.triple) run.Float("varianceUV", varianceUV);
    const std::vector<float> weights = run.Draw();
    for (size_t texel = 0; texel < 4; ++texel) {
      for (size_t k = 0; k < 3; ++k) {
        // Single-channel programs read .x and write it to all three channels; z is luma.
        const size_t from = texel * 3 + (c.triple ? k : 0);
        const float var = c.triple && k < 2 ? varianceUV : varianceY;
        const float top = c.triple ? 255.0f : 256.0f;
        const float expected =
            ExpectedWeight(sums[from], sources[from], var, c.superDynamicity, c.inverse, top);
        EXPECT_NEAR(weights[texel * 3 + k], expected, 2e-5f * expected + 1e-7f)
            << GpuProgram(c.id).name << " texel " << texel << " channel " << k;
        if (texel == 0) {
          EXPECT_EQ(weights[k], 1.0f) << GpuProgram(c.id).name;
        }
      }
    }
  }
}

// Box9 sums the 3 × 3 cells starting at its coordinate: here the three texels i … i + 2 of a row,
// the rows above clamped onto it, so each column counts three times.
TEST(ShaderPrograms, BoxSumsNineCellsFromTheCoordinate) {
  SKIP_WITHOUT_GPU(gpu);
  const std::vector<float> cells{1, 10, 100, 2, 20, 200, 4, 40, 400, 8, 80, 800, 16, 160, 1600};
  for (const GpuProgramId id : {kBox9_1, kBox9_3}) {
    ProgramRun run(id, 5);
    run.Sampler("texture0", cells);
    run.Float("deltaX", 1.0f / 5.0f);
    run.Float("deltaY", 1.0f);
    const std::vector<float> sums = run.Draw();
    for (size_t i = 0; i < 5; ++i) {
      for (size_t k = 0; k < (id == kBox9_3 ? 3u : 1u); ++k) {
        float expected = 0;
        for (size_t j = i; j < i + 3; ++j) expected += 3 * cells[std::min<size_t>(j, 4) * 3 + k];
        EXPECT_EQ(sums[i * 3 + k], expected) << GpuProgram(id).name << " texel " << i;
      }
    }
  }
}

}  // namespace
