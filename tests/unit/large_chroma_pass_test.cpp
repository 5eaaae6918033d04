#include "engine/large_chroma_pass.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <vector>

#include "support/test_pictures.h"

namespace {

using testpics::BitIdentical;
using testpics::MaxAbsDifference;
using testpics::Picture;

struct Size {
  int32_t width;
  int32_t height;
};

float At(const PyramidLevel& level, const std::vector<float>& plane, int32_t x, int32_t y) {
  return plane[static_cast<size_t>(y) * level.width + x];
}

// Level 0 of a W × H pyramid filled from value(x, y), then decomposed.
template <typename Fill>
std::vector<PyramidLevel> Decomposed(Size size, Fill value) {
  std::vector<PyramidLevel> levels = AllocatePyramid(size.width, size.height);
  for (int32_t y = 0; y < size.height; ++y) {
    for (int32_t x = 0; x < size.width; ++x) {
      levels[0].gauss[static_cast<size_t>(y) * size.width + x] = value(x, y);
    }
  }
  DecomposePyramid(levels);
  return levels;
}

TEST(AllocatePyramid, HalvesEachLevelAndClearsItsPlanes) {
  const struct {
    Size component;
    Size levels[kPyramidLevels];
  } cases[] = {
      {{101, 75}, {{101, 75}, {50, 37}, {25, 18}, {12, 9}}},
      {{30, 30}, {{30, 30}, {15, 15}, {7, 7}, {3, 3}}},
      {{3, 2}, {{3, 2}, {1, 1}, {0, 0}, {0, 0}}},
  };
  for (const auto& c : cases) {
    const std::vector<PyramidLevel> levels = AllocatePyramid(c.component.width, c.component.height);
    ASSERT_EQ(levels.size(), static_cast<size_t>(kPyramidLevels));
    for (int32_t k = 0; k < kPyramidLevels; ++k) {
      SCOPED_TRACE(testing::Message()
                   << c.component.width << "x" << c.component.height << ", level " << k);
      const PyramidLevel& level = levels[k];
      EXPECT_EQ(level.width, c.levels[k].width);
      EXPECT_EQ(level.height, c.levels[k].height);
      const size_t count = static_cast<size_t>(level.width) * level.height;
      ASSERT_EQ(level.gauss.size(), count);
      ASSERT_EQ(level.laplace.size(), count);
      EXPECT_TRUE(
          std::all_of(level.gauss.begin(), level.gauss.end(), [](float v) { return v == 0; }));
      EXPECT_TRUE(
          std::all_of(level.laplace.begin(), level.laplace.end(), [](float v) { return v == 0; }));
    }
  }
}

// On a ramp x + 200 y the symmetric kernel returns the value at the centre of its window, so each
// reduced sample tells where its window was placed: two columns and rows before twice its position,
// moved inward where that would leave the level. Only an even side needs the move at its far end.
TEST(DecomposePyramid, ReduceShiftsTheWindowInwardAtTheBorders) {
  const struct {
    Size component;
    int32_t x, y;  // position in level 1
    float expected;
  } cases[] = {
      {{100, 60}, 0, 0, 2 + 200 * 2},     {{100, 60}, 1, 1, 2 + 200 * 2},
      {{100, 60}, 2, 3, 4 + 200 * 6},     {{100, 60}, 49, 29, 97 + 200 * 57},
      {{101, 61}, 49, 29, 98 + 200 * 58}, {{101, 61}, 49, 0, 98 + 200 * 2},
      {{100, 61}, 49, 29, 97 + 200 * 58}, {{101, 60}, 10, 29, 20 + 200 * 57},
  };
  for (const auto& c : cases) {
    const std::vector<PyramidLevel> levels = Decomposed(
        c.component, [](int32_t x, int32_t y) { return static_cast<float>(x + 200 * y); });
    EXPECT_NEAR(At(levels[1], levels[1].gauss, c.x, c.y), c.expected, 0.02)
        << c.component.width << "x" << c.component.height << " at (" << c.x << ", " << c.y << ")";
  }
}

// A flat level expands to itself wherever the window holds its full share (0.5 per direction) of
// even positions. On an odd side the shifted windows of the last three rows or columns end on the
// last one, whose even position has no coarse sample (it would be at 2 · coarse side): they receive
// only 0.45 per direction, and the Laplacian keeps the rest.
TEST(DecomposePyramid, ExpandReadsOnlyPositionsBelowTwiceTheCoarseSide) {
  constexpr float kFlat = 100.0f;
  const struct {
    Size component;
    int32_t x, y;
    float laplace;
  } cases[] = {
      {{101, 75}, 0, 0, 0.0f},     {{101, 75}, 50, 37, 0.0f},   {{101, 75}, 50, 71, 0.0f},
      {{101, 75}, 50, 72, 10.0f},  {{101, 75}, 50, 74, 10.0f},  {{101, 75}, 97, 37, 0.0f},
      {{101, 75}, 98, 37, 10.0f},  {{101, 75}, 100, 37, 10.0f}, {{101, 75}, 99, 73, 19.0f},
      {{101, 75}, 100, 74, 19.0f}, {{100, 74}, 99, 73, 0.0f},   {{100, 74}, 0, 73, 0.0f},
      {{100, 74}, 99, 0, 0.0f},
  };
  for (const auto& c : cases) {
    const std::vector<PyramidLevel> levels =
        Decomposed(c.component, [=](int32_t, int32_t) { return kFlat; });
    EXPECT_NEAR(At(levels[0], levels[0].laplace, c.x, c.y), c.laplace, 1e-3)
        << c.component.width << "x" << c.component.height << " at (" << c.x << ", " << c.y << ")";
  }
}

// When the next level is too small to reduce into, it stays zero and the Laplacian level is the
// Gaussian level itself.
TEST(DecomposePyramid, LevelTooSmallToReduceIntoStaysZero) {
  const struct {
    Size component;
    int32_t zeroLevel;
  } cases[] = {{{30, 30}, 3}, {{8, 8}, 1}, {{40, 9}, 1}};
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.component.width << "x" << c.component.height);
    const std::vector<PyramidLevel> levels = Decomposed(c.component, [](int32_t x, int32_t y) {
      return static_cast<float>((x * 37 + y * 11) % 97);
    });
    const PyramidLevel& zero = levels[c.zeroLevel];
    EXPECT_TRUE(std::all_of(zero.gauss.begin(), zero.gauss.end(), [](float v) { return v == 0; }));
    const PyramidLevel& above = levels[c.zeroLevel - 1];
    EXPECT_EQ(above.laplace, above.gauss);
  }
}

// Level 2 with a side of 16 or less comes back from the filter unchanged, so the only change is
// level 2's rounding to whole samples. Expansion weights are positive and sum to at most 1, so that
// error reaches level 0 below half a step and the final rounding restores every input sample.
TEST(LargeChromaPass, UnfilteredLevelTwoChangesOnlyByRounding) {
  const struct {
    Size component;
    uint32_t bits;
  } cases[] = {
      {{64, 64}, 8}, {{101, 67}, 8}, {{101, 67}, 16}, {{30, 30}, 8}, {{30, 30}, 16}, {{67, 40}, 16},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message()
                 << c.component.width << "x" << c.component.height << ", " << c.bits << " bits");
    for (const Picture& in :
         {testpics::SmoothScene(c.component.width, c.component.height, 1, c.bits),
          testpics::RandomPicture(c.component.width, c.component.height, 1, c.bits, 4)}) {
      ScopedPicBuf out;
      ASSERT_FALSE(LargeChromaPass(*out, in, 10, 3, 0.0, nullptr, false, 1));
      EXPECT_EQ(MaxAbsDifference(*out, in), 0.0);
    }
  }
}

// Components without a level that holds a 5 × 5 window pass through exactly, including those whose
// quarter-resolution level is empty.
TEST(LargeChromaPass, TinyComponentsPassThroughUnchanged) {
  const Size sizes[] = {{1, 1}, {3, 5}, {4, 4}, {9, 9}, {2, 40}, {40, 3}};
  for (const Size& s : sizes) {
    const Picture in = testpics::RandomPicture(s.width, s.height, 1, 8, 6);
    ScopedPicBuf out;
    ASSERT_FALSE(LargeChromaPass(*out, in, 20, 3, 0.0, nullptr, false, 1));
    EXPECT_TRUE(BitIdentical(*out, in)) << s.width << "x" << s.height;
  }
}

TEST(LargeChromaPass, InPlaceMatchesSeparateOutput) {
  for (uint32_t bits : {8u, 16u}) {
    const Picture in = testpics::AddNoise(testpics::SmoothScene(96, 80, 1, bits), 12.0, 8);
    const Picture untouched(in);
    ScopedPicBuf out;
    ASSERT_FALSE(LargeChromaPass(*out, in, 20, 2, 0.0, nullptr, false, 2));
    EXPECT_TRUE(BitIdentical(in, untouched)) << bits;
    EXPECT_FALSE(BitIdentical(*out, in)) << bits;

    Picture inPlace(in);
    ASSERT_FALSE(LargeChromaPass(inPlace, inPlace, 20, 2, 0.0, nullptr, false, 2));
    EXPECT_TRUE(BitIdentical(inPlace, *out)) << bits;
  }
}

class StepCounter : public ProgressSink {
 public:
  void SetRange(uint32_t, uint32_t) override {}
  void SetStep(int32_t) override {}
  void DeltaPos(int32_t delta) override { steps += delta; }
  void SetPos(uint32_t) override {}
  int32_t steps = 0;
};

TEST(LargeChromaPass, ProgressAdvancesOncePerQuarterResolutionOffset) {
  const Picture in = testpics::AddNoise(testpics::SmoothScene(80, 80, 1, 8), 10.0, 3);
  StepCounter counter;
  ScopedPicBuf out;
  ASSERT_FALSE(LargeChromaPass(*out, in, 20, 1, 0.0, &counter, false, 1));
  EXPECT_EQ(counter.steps, 25);  // quality 1: a 7 × 7 search window, 24 / 2 + 1 offsets
}

// Chroma noise that is smooth over a few pixels: random values on a grid every 4 pixels,
// interpolated bilinearly, over a gentle gradient.
Picture BlotchyChroma(int32_t side, double amplitude, uint32_t seed) {
  constexpr int32_t kGrid = 4;
  const int32_t nodes = side / kGrid + 2;
  std::mt19937 rng(seed);
  std::normal_distribution<double> noise(0.0, 1.0);
  std::vector<double> grid(static_cast<size_t>(nodes) * nodes);
  for (double& g : grid) g = amplitude * noise(rng);
  Picture p(side, side, 1, 8);
  for (int32_t y = 0; y < side; ++y) {
    for (int32_t x = 0; x < side; ++x) {
      const int32_t gx = x / kGrid;
      const int32_t gy = y / kGrid;
      const double fx = static_cast<double>(x % kGrid) / kGrid;
      const double fy = static_cast<double>(y % kGrid) / kGrid;
      auto node = [&](int32_t i, int32_t j) { return grid[static_cast<size_t>(j) * nodes + i]; };
      const double blotch = (1 - fy) * ((1 - fx) * node(gx, gy) + fx * node(gx + 1, gy)) +
                            fy * ((1 - fx) * node(gx, gy + 1) + fx * node(gx + 1, gy + 1));
      p.Set(x, y, 0, std::floor(110.0 + 30.0 * x / side + 10.0 * y / side + blotch + 0.5));
    }
  }
  return p;
}

// Root mean square of the 8 × 8 block means of test − reference: the part of the error that the
// coarse-scale pass is meant to remove.
double CoarseError(const Picture& reference, const Picture& test) {
  const SBxPicBuf& b = reference.buf();
  double sum = 0;
  int32_t blocks = 0;
  for (int32_t by = 0; by + 8 <= b.height; by += 8) {
    for (int32_t bx = 0; bx + 8 <= b.width; bx += 8) {
      double mean = 0;
      for (int32_t y = by; y < by + 8; ++y) {
        for (int32_t x = bx; x < bx + 8; ++x) mean += test.At(x, y) - reference.At(x, y);
      }
      mean /= 64;
      sum += mean * mean;
      ++blocks;
    }
  }
  return std::sqrt(sum / blocks);
}

TEST(LargeChromaPass, LowersCoarseChromaNoise) {
  constexpr int32_t kSide = 256;
  const Picture clean = BlotchyChroma(kSide, 0.0, 1);
  const Picture noisy = BlotchyChroma(kSide, 8.0, 1);
  ScopedPicBuf out;
  ASSERT_FALSE(LargeChromaPass(*out, noisy, 20, 3, 0.0, nullptr, false, 2));
  Picture denoised(kSide, kSide, 1, 8);
  CBxPicBufAPI::Copy(denoised, *out);
  const double before = CoarseError(clean, noisy);
  const double after = CoarseError(clean, denoised);
  EXPECT_LT(after, 0.65 * before) << "before " << before << ", after " << after;
}

}  // namespace
