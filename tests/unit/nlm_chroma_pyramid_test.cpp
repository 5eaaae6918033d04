// The pyramid of the coarse-scale chroma pass, whose REDUCE and EXPAND run four samples at a time,
// against the plain loops of their definition, bit for bit: the decomposition on random planes of
// many sizes, and the whole pass (with the quarter-resolution denoising in the middle) on noisy
// components of both depths.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <random>
#include <vector>

#include "engine/denoise_component.h"
#include "engine/large_chroma_pass.h"
#include "support/test_pictures.h"

namespace {

using testpics::Picture;

namespace plain {

constexpr std::array<float, 5> kTaps = {0.05f, 0.25f, 0.4f, 0.25f, 0.05f};

float Kernel(int32_t i, int32_t j) { return kTaps[i] * kTaps[j]; }

int32_t WindowStart(int32_t start, int32_t size) { return std::min(std::max(start, 0), size - 5); }

bool HoldsWindow(const PyramidLevel& level) { return level.width > 4 && level.height > 4; }

void Reduce(const PyramidLevel& fine, PyramidLevel& coarse) {
  for (int32_t v = 0; v < coarse.height; ++v) {
    const int32_t r0 = WindowStart(2 * v - 2, fine.height);
    for (int32_t x = 0; x < coarse.width; ++x) {
      const int32_t c0 = WindowStart(2 * x - 2, fine.width);
      float sum = 0.0f;
      for (int32_t i = 0; i < 5; ++i) {
        for (int32_t j = 0; j < 5; ++j) {
          sum += Kernel(i, j) * fine.gauss[(r0 + i) * fine.width + c0 + j];
        }
      }
      coarse.gauss[v * coarse.width + x] = sum;
    }
  }
}

void Expand(const PyramidLevel& coarse, const PyramidLevel& fine, std::vector<float>& expanded) {
  for (int32_t y = 0; y < fine.height; ++y) {
    const int32_t r0 = WindowStart(y - 2, fine.height);
    const int32_t rowEnd = std::min(r0 + 5, 2 * coarse.height);
    for (int32_t x = 0; x < fine.width; ++x) {
      const int32_t c0 = WindowStart(x - 2, fine.width);
      const int32_t columnEnd = std::min(c0 + 5, 2 * coarse.width);
      float sum = 0.0f;
      for (int32_t j = r0 + (r0 & 1); j < rowEnd; j += 2) {
        for (int32_t u = c0 + (c0 & 1); u < columnEnd; u += 2) {
          sum += Kernel(j - r0, u - c0) * coarse.gauss[(j / 2) * coarse.width + u / 2];
        }
      }
      expanded[y * fine.width + x] = 4.0f * sum;
    }
  }
}

void Decompose(std::vector<PyramidLevel>& levels) {
  for (int32_t k = 0; k < kPyramidLevels - 1; ++k) {
    PyramidLevel& level = levels[k];
    if (HoldsWindow(levels[k + 1])) Reduce(level, levels[k + 1]);
    if (!HoldsWindow(level)) continue;
    Expand(levels[k + 1], level, level.laplace);
    for (size_t i = 0; i < level.gauss.size(); ++i)
      level.laplace[i] = level.gauss[i] - level.laplace[i];
  }
}

// The whole pass on an 8- or 16-bit component, level 2 denoised by `DenoiseComponent`.
Picture LargeChroma(const Picture& in, int32_t strength, int32_t quality, double dynamics) {
  const SBxPicBuf& b = in.buf();
  const double maximum = b.bitsPerComponent == 8 ? 255 : 65535;
  std::vector<PyramidLevel> levels = AllocatePyramid(b.width, b.height);
  for (int32_t y = 0; y < b.height; ++y) {
    for (int32_t x = 0; x < b.width; ++x) {
      levels[0].gauss[y * b.width + x] = static_cast<float>(in.At(x, y));
    }
  }
  Decompose(levels);
  auto toRaster = [&](const PyramidLevel& level, Picture& raster) {
    for (int32_t y = 0; y < level.height; ++y) {
      for (int32_t x = 0; x < level.width; ++x) {
        const double rounded = static_cast<double>(level.gauss[y * level.width + x]) + 0.5;
        raster.Set(x, y, 0, std::clamp(rounded, 0.0, maximum));
      }
    }
  };
  for (int32_t k = 2; k >= 0; --k) {
    if (k == 1) {
      PyramidLevel& two = levels[2];
      Picture noisy(two.width, two.height, 1, b.bitsPerComponent);
      Picture denoised(two.width, two.height, 1, b.bitsPerComponent);
      toRaster(two, noisy);
      DenoiseComponent(denoised, noisy, strength, quality, dynamics, nullptr, -1.0, false, 1);
      for (int32_t y = 0; y < two.height; ++y) {
        for (int32_t x = 0; x < two.width; ++x) {
          two.gauss[y * two.width + x] = static_cast<float>(denoised.At(x, y));
        }
      }
    }
    PyramidLevel& level = levels[k];
    if (!HoldsWindow(level)) continue;
    Expand(levels[k + 1], level, level.gauss);
    for (size_t i = 0; i < level.gauss.size(); ++i) level.gauss[i] += level.laplace[i];
  }
  Picture out(b.width, b.height, 1, b.bitsPerComponent);
  toRaster(levels[0], out);
  return out;
}

}  // namespace plain

// Sizes just past the smallest that reduce (10) and around the four-sample steps, odd and even,
// and tile-like ones.
struct Size {
  int32_t width, height;
};
const Size kSizes[] = {{10, 10}, {11, 13}, {17, 9},   {18, 18},  {23, 40},  {30, 30},
                       {37, 21}, {64, 64}, {101, 75}, {257, 66}, {1100, 24}};

TEST(ChromaPyramid, DecompositionMatchesThePlainLoops) {
  std::mt19937 rng(7);
  std::uniform_real_distribution<float> sample(0.0f, 65535.0f);
  for (const Size& size : kSizes) {
    std::vector<PyramidLevel> fast = AllocatePyramid(size.width, size.height);
    for (float& v : fast[0].gauss) v = sample(rng);
    std::vector<PyramidLevel> expected = fast;
    DecomposePyramid(fast);
    plain::Decompose(expected);
    for (int32_t k = 0; k < kPyramidLevels; ++k) {
      EXPECT_EQ(fast[k].gauss, expected[k].gauss) << size.width << "x" << size.height << " G" << k;
      EXPECT_EQ(fast[k].laplace, expected[k].laplace)
          << size.width << "x" << size.height << " L" << k;
    }
  }
}

TEST(ChromaPyramid, WholePassMatchesThePlainLoopsAtBothDepths) {
  struct Case {
    Size size;
    uint32_t bits;
    int32_t strength, quality;
    double dynamics;
  };
  const Case cases[] = {
      {{101, 75}, 8, 10, 3, 0},
      {{160, 120}, 8, 20, 2, 0.5},
      {{37, 21}, 8, 10, 1, 0},
      {{90, 134}, 16, 12, 3, -1},
      {{257, 66}, 16, 30, 1, 0},
      // Levels of 64 rows and more are cut among the threads.
      {{96, 300}, 8, 10, 2, 0},
      {{70, 263}, 16, 14, 1, 0.4},
  };
  for (const Case& c : cases) {
    const Picture clean = testpics::SmoothScene(c.size.width, c.size.height, 1, c.bits);
    const Picture noisy = testpics::AddNoise(clean, 8.0, 5);
    const Picture expected = plain::LargeChroma(noisy, c.strength, c.quality, c.dynamics);
    Picture out(c.size.width, c.size.height, 1, c.bits);
    ASSERT_FALSE(LargeChromaPass(out, noisy, c.strength, c.quality, c.dynamics, nullptr, false, 3));
    EXPECT_TRUE(testpics::BitIdentical(out, expected))
        << c.size.width << "x" << c.size.height << ", " << c.bits << " bits: max diff "
        << testpics::MaxAbsDifference(out, expected);
  }
}

}  // namespace
