#include "engine/detail_sharpening.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <utility>
#include <vector>

#include "support/test_pictures.h"

namespace {

using testpics::BitIdentical;
using testpics::MaxAbsDifference;
using testpics::Picture;

double Scale(uint32_t bits) { return bits == 16 ? 257.0 : 1.0; }

Picture NoisyScene(int32_t width, int32_t height, uint32_t components, uint32_t bits) {
  return testpics::AddNoise(testpics::SmoothScene(width, height, components, bits), 6.0, 11);
}

// Builds a pyramid of `picture` and applies the gains to a copy of it.
Picture Sharpened(const Picture& picture, double tiny, double medium, double rough) {
  DetailPyramid pyramid;
  EXPECT_FALSE(BuildDetailPyramid(pyramid, picture));
  Picture result(picture);
  EXPECT_FALSE(ApplyDetailGains(result, pyramid, tiny, medium, rough));
  ReleaseDetailPyramid(pyramid);
  return result;
}

// Sum of absolute differences between horizontal and vertical neighbours of component 0: it
// shrinks when detail is removed.
double TotalVariation(const Picture& picture) {
  const SBxPicBuf& buf = picture.buf();
  double sum = 0.0;
  for (int32_t y = 0; y + 1 < buf.height; ++y) {
    for (int32_t x = 0; x + 1 < buf.width; ++x) {
      sum += std::fabs(picture.At(x + 1, y) - picture.At(x, y)) +
             std::fabs(picture.At(x, y + 1) - picture.At(x, y));
    }
  }
  return sum;
}

// Sum of squares of detail level `level` of component 0.
double DetailEnergy(const Picture& picture, uint32_t level) {
  DetailPyramid pyramid;
  EXPECT_FALSE(BuildDetailPyramid(pyramid, picture));
  double sum = 0.0;
  for (float d : pyramid.detail[0][level]) sum += static_cast<double>(d) * d;
  return sum;
}

float PlaneAt(const DetailPyramid& pyramid, const std::vector<float>& plane, uint32_t level,
              uint32_t x, uint32_t y) {
  return plane[static_cast<size_t>(y) * pyramid.levelWidth[level] + x];
}

TEST(BuildDetailPyramid, LevelsFollowTheSmallerSideAndHalveWithTruncation) {
  const struct {
    int32_t width, height;
    uint32_t levels;
    uint32_t widths[4], heights[4];
  } cases[] = {
      {4, 100, 0, {4}, {100}},
      {5, 5, 1, {5, 2}, {5, 2}},
      {40, 9, 1, {40, 20}, {9, 4}},
      {10, 10, 2, {10, 5, 2}, {10, 5, 2}},
      {19, 30, 2, {19, 9, 4}, {30, 15, 7}},
      {20, 20, 3, {20, 10, 5, 2}, {20, 10, 5, 2}},
      {37, 23, 3, {37, 18, 9, 4}, {23, 11, 5, 2}},
      {640, 480, 3, {640, 320, 160, 80}, {480, 240, 120, 60}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.width) + " x " + std::to_string(c.height));
    DetailPyramid pyramid;
    ASSERT_FALSE(BuildDetailPyramid(pyramid, Picture(c.width, c.height, 3, 8)));
    ASSERT_EQ(pyramid.levels, c.levels);
    for (uint32_t l = 0; l <= c.levels; ++l) {
      EXPECT_EQ(pyramid.levelWidth[l], c.widths[l]);
      EXPECT_EQ(pyramid.levelHeight[l], c.heights[l]);
      const size_t size = static_cast<size_t>(c.widths[l]) * c.heights[l];
      EXPECT_EQ(pyramid.base[2][l].size(), size);
      EXPECT_EQ(pyramid.detail[2][l].size(), size);
    }
  }
  DetailPyramid pyramid;
  ASSERT_FALSE(BuildDetailPyramid(pyramid, Picture(8, 8, 1, 8)));
  double sum = 0.0;
  for (const auto& row : pyramid.kernel) {
    for (float k : row) sum += k;
  }
  EXPECT_NEAR(sum, 1.0, 1e-6);
  EXPECT_FLOAT_EQ(pyramid.kernel[2][2], 0.16f);
  EXPECT_FLOAT_EQ(pyramid.kernel[0][3], 0.0125f);
}

// On the ramp f = x + 10 y every window sum is its first sample plus 2 (the weighted mean offset),
// so the level-1 values show where each 5 × 5 window starts: at 0 for the first two targets, at
// 2i − 2 inside, shifted back to fit at the far border (never mirrored).
TEST(BuildDetailPyramid, ReduceShiftsItsWindowInwardAtTheBorders) {
  Picture ramp(20, 12, 1, 8);
  for (int32_t y = 0; y < 12; ++y) {
    for (int32_t x = 0; x < 20; ++x) ramp.Set(x, y, 0, x + 10 * y);
  }
  DetailPyramid pyramid;
  ASSERT_FALSE(BuildDetailPyramid(pyramid, ramp));
  const float columns[10] = {2, 2, 4, 6, 8, 10, 12, 14, 16, 17};
  const float rows[6] = {2, 2, 4, 6, 8, 9};
  for (uint32_t i = 0; i < 6; ++i) {
    for (uint32_t j = 0; j < 10; ++j) {
      EXPECT_NEAR(PlaneAt(pyramid, pyramid.base[0][1], 1, j, i), columns[j] + 10 * rows[i], 1e-3)
          << "row " << i << ", column " << j;
    }
  }
}

// A constant picture of odd height: the expansion restores unit gain everywhere except the last
// three rows, whose window reaches the even row that has no coarse sample (weights 0.05 + 0.4
// instead of one half), so their detail keeps a tenth of the value.
TEST(BuildDetailPyramid, ExpandLosesGainOnlyWhereTheCoarseLevelEnds) {
  DetailPyramid pyramid;
  ASSERT_FALSE(BuildDetailPyramid(pyramid, testpics::Constant(20, 21, 1, 8, 200)));
  for (uint32_t y = 0; y < 21; ++y) {
    for (uint32_t x = 0; x < 20; ++x) {
      EXPECT_NEAR(PlaneAt(pyramid, pyramid.detail[0][0], 0, x, y), y >= 18 ? 20.0f : 0.0f, 1e-3)
          << "x " << x << ", y " << y;
    }
  }
}

// The expansion of a coarse level written straight from its definition: 4 · Σ K · coarse over the
// even rows and columns of the window, rows outer, columns inner, in float.
std::vector<float> ExpandedByDefinition(const DetailPyramid& pyramid, uint32_t level,
                                        const std::vector<float>& coarse) {
  const uint32_t width = pyramid.levelWidth[level];
  const uint32_t height = pyramid.levelHeight[level];
  const uint32_t w = pyramid.levelWidth[level + 1];
  const uint32_t h = pyramid.levelHeight[level + 1];
  auto windowStart = [](uint32_t i, uint32_t n) { return i < 2 ? 0 : std::min(i - 2, n - 5); };
  std::vector<float> fine(static_cast<size_t>(width) * height);
  for (uint32_t i = 0; i < height; ++i) {
    const uint32_t rs = windowStart(i, height);
    for (uint32_t j = 0; j < width; ++j) {
      const uint32_t cs = windowStart(j, width);
      float sum = 0.0f;
      for (uint32_t y = rs; y < std::min(rs + 5, 2 * h); ++y) {
        for (uint32_t x = cs; x < std::min(cs + 5, 2 * w); ++x) {
          if (y % 2 == 0 && x % 2 == 0)
            sum += pyramid.kernel[y - rs][x - cs] * coarse[y / 2 * w + x / 2];
        }
      }
      fine[static_cast<size_t>(i) * width + j] = 4.0f * sum;
    }
  }
  return fine;
}

// Each detail level is its Gaussian level minus the expansion of the next, to the bit, for even and
// odd sides and for levels tall enough to be shared among threads.
TEST(BuildDetailPyramid, DetailIsTheLevelMinusItsExpansionByDefinition) {
  for (auto [width, height] : {std::pair{23, 17}, std::pair{64, 41}, std::pair{157, 300}}) {
    DetailPyramid pyramid;
    ASSERT_FALSE(BuildDetailPyramid(pyramid, NoisyScene(width, height, 3, 16)));
    for (uint32_t c = 0; c < 3; ++c) {
      for (uint32_t l = 0; l < pyramid.levels; ++l) {
        const std::vector<float> expanded =
            ExpandedByDefinition(pyramid, l, pyramid.base[c][l + 1]);
        size_t mismatches = 0;
        for (size_t k = 0; k < expanded.size(); ++k) {
          mismatches += pyramid.detail[c][l][k] != pyramid.base[c][l][k] - expanded[k];
        }
        EXPECT_EQ(mismatches, 0u) << width << "x" << height << ", component " << c << ", level "
                                  << l;
      }
    }
  }
}

// The identity is decided from the gains alone: a pyramid of another picture of the same geometry
// changes nothing.
TEST(ApplyDetailGains, UnitGainsReturnThePictureUntouched) {
  const double gains[][3] = {{1, 1, 1}, {1.000009, 0.99999, 1}};
  for (const auto& g : gains) {
    DetailPyramid pyramid;
    ASSERT_FALSE(BuildDetailPyramid(pyramid, testpics::RandomPicture(33, 27, 3, 16, 4)));
    const Picture original = NoisyScene(33, 27, 3, 16);
    Picture picture(original);
    EXPECT_FALSE(ApplyDetailGains(picture, pyramid, g[0], g[1], g[2]));
    EXPECT_TRUE(BitIdentical(picture, original)) << g[0] << " " << g[1] << " " << g[2];
  }
}

// Gains just outside the identity window rebuild the picture through every level; float rounding
// and the final truncation may cost one step, never more.
TEST(ApplyDetailGains, NearUnitGainsRebuildThePictureWithinOneStep) {
  const struct { int32_t width, height; } sizes[] = {{37, 23}, {64, 48}, {21, 100}, {7, 9}};
  for (const auto& size : sizes) {
    for (uint32_t components : {1u, 3u}) {
      for (uint32_t bits : {8u, 16u}) {
        SCOPED_TRACE(std::to_string(size.width) + " x " + std::to_string(size.height) + ", " +
                     std::to_string(components) + " components, " + std::to_string(bits) + " bits");
        const Picture picture = NoisyScene(size.width, size.height, components, bits);
        EXPECT_LE(MaxAbsDifference(Sharpened(picture, 1, 1, 1.00002), picture), 1.0);
        EXPECT_LE(MaxAbsDifference(Sharpened(picture, 1.00002, 1, 1), picture), 1.0);
      }
    }
  }
}

// The local contrast of one scale is the energy of that detail level in a pyramid of the result.
// The levels are not independent (a pyramid of the result sees some of the neighbouring scales), so
// the energy follows the gain in direction, not by its square.
TEST(ApplyDetailGains, GainsAboveOneSharpenAndBelowOneSoftenEachScale) {
  for (uint32_t bits : {8u, 16u}) {
    const Picture picture = NoisyScene(96, 80, 1, bits);
    for (uint32_t level = 0; level < 3; ++level) {
      SCOPED_TRACE(std::to_string(bits) + " bits, level " + std::to_string(level));
      double gains[3] = {1, 1, 1};
      gains[level] = 2;
      const double original = DetailEnergy(picture, level);
      EXPECT_GT(DetailEnergy(Sharpened(picture, gains[0], gains[1], gains[2]), level),
                original * 1.5);
      gains[level] = 0.5;
      EXPECT_LT(DetailEnergy(Sharpened(picture, gains[0], gains[1], gains[2]), level),
                original * 0.75);
    }
  }
}

// With every detail removed the result is the expanded coarsest level: strongly blurred, and a
// flat picture whose levels are all of even size stays flat.
TEST(ApplyDetailGains, ZeroGainsLeaveOnlyTheExpandedCoarsestLevel) {
  const Picture noisy = NoisyScene(100, 100, 3, 8);
  EXPECT_LT(TotalVariation(Sharpened(noisy, 0, 0, 0)), TotalVariation(noisy) * 0.15);
  const Picture flat = testpics::Constant(96, 64, 1, 16, 40000);
  EXPECT_LE(MaxAbsDifference(Sharpened(flat, 0, 0, 0), flat), 1.0);
}

TEST(ApplyDetailGains, SixteenPixelPictureHasNoRoughLevel) {
  const Picture picture = testpics::RandomPicture(16, 16, 1, 8, 9);
  DetailPyramid pyramid;
  ASSERT_FALSE(BuildDetailPyramid(pyramid, picture));
  EXPECT_EQ(pyramid.levels, 2u);
  const Picture reference = Sharpened(picture, 1.5, 0.5, 1);
  EXPECT_FALSE(BitIdentical(reference, picture));
  EXPECT_TRUE(BitIdentical(Sharpened(picture, 1.5, 0.5, 3.7), reference));
  EXPECT_LE(MaxAbsDifference(Sharpened(picture, 1, 1, 3), picture), 1.0);
}

// A flat picture whose finest detail is shifted by `delta`: the rebuilt value is limited to the
// depth's range and truncated, not rounded.
TEST(ApplyDetailGains, ResultsAreLimitedToTheDepthAndTruncated) {
  const struct {
    uint32_t bits;
    double value;
    float delta;
    double expected;
  } cases[] = {
      {8, 254, 0.9f, 254},       {8, 100, 0.5f, 100},  {8, 254, 3.0f, 255},
      {8, 0, -0.5f, 0},          {8, 3, -10.0f, 0},    {16, 65534, 0.9f, 65534},
      {16, 65530, 10.0f, 65535}, {16, 300, 0.6f, 300}, {16, 2, -5.0f, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.bits) + " bits, " + std::to_string(c.value) + " + " +
                 std::to_string(c.delta));
    Picture picture = testpics::Constant(96, 64, 1, c.bits, c.value);
    DetailPyramid pyramid;
    ASSERT_FALSE(BuildDetailPyramid(pyramid, picture));
    for (float& d : pyramid.detail[0][0]) d += c.delta;
    ASSERT_FALSE(ApplyDetailGains(picture, pyramid, 1, 1, 1.5));
    EXPECT_EQ(picture.At(0, 0), c.expected);
    EXPECT_EQ(picture.At(50, 30), c.expected);
  }
}

// Strong gains at a black-to-white edge overshoot on both sides; the overshoot stops at the
// depth's limits instead of wrapping around.
TEST(ApplyDetailGains, OvershootAtAnEdgeStopsAtTheLimits) {
  for (uint32_t bits : {8u, 16u}) {
    const double full = 255 * Scale(bits);
    Picture edge(48, 40, 3, bits);
    for (int32_t y = 0; y < 40; ++y) {
      for (int32_t x = 24; x < 48; ++x) {
        for (uint32_t c = 0; c < 3; ++c) edge.Set(x, y, c, full * (0.9 + 0.05 * c));
      }
    }
    const Picture result = Sharpened(edge, 4, 4, 4);
    for (uint32_t c = 0; c < 3; ++c) {
      EXPECT_EQ(result.At(24, 20, c), full) << bits << " bits, component " << c;
      EXPECT_EQ(result.At(23, 20, c), 0) << bits << " bits, component " << c;
    }
  }
}

// Each component is rebuilt from its own planes and inserted at its own index: sharpening a colour
// picture equals sharpening its components one by one; a fourth component passes unchanged.
TEST(ApplyDetailGains, ComponentsAreSharpenedIndependently) {
  for (uint32_t bits : {8u, 16u}) {
    SCOPED_TRACE(std::to_string(bits) + " bits");
    const Picture colour = NoisyScene(45, 33, 4, bits);
    const Picture result = Sharpened(colour, 2.5, 0.5, 1.5);
    for (uint32_t c = 0; c < 4; ++c) {
      Picture grey(45, 33, 1, bits);
      CBxPicBufAPI::ExtractComponent(grey, c, colour);
      const Picture expected = c < 3 ? Sharpened(grey, 2.5, 0.5, 1.5) : grey;
      Picture actual(45, 33, 1, bits);
      CBxPicBufAPI::ExtractComponent(actual, c, result);
      EXPECT_TRUE(BitIdentical(actual, expected)) << "component " << c;
    }
  }
}

TEST(ApplyDetailGains, RefusesPicturesThePyramidWasNotBuiltFor) {
  const Picture source = NoisyScene(40, 30, 3, 8);
  const struct {
    const char* what;
    Picture picture;
    bool release;
  } cases[] = {
      {"other width", NoisyScene(41, 30, 3, 8), false},
      {"other height", NoisyScene(40, 29, 3, 8), false},
      {"other depth", NoisyScene(40, 30, 3, 16), false},
      {"other component count", NoisyScene(40, 30, 1, 8), false},
      {"released pyramid", NoisyScene(40, 30, 3, 8), true},
  };
  for (const auto& c : cases) {
    DetailPyramid pyramid;
    ASSERT_FALSE(BuildDetailPyramid(pyramid, source));
    if (c.release) ReleaseDetailPyramid(pyramid);
    Picture picture(c.picture);
    EXPECT_TRUE(ApplyDetailGains(picture, pyramid, 2, 2, 2)) << c.what;
    EXPECT_TRUE(BitIdentical(picture, c.picture)) << c.what;
  }
}

// Float pictures are not sharpened; a picture with a side below 5 has no levels and no detail to
// scale, so it stays as it is.
TEST(BuildDetailPyramid, FloatPicturesFailAndTinyPicturesStayAsTheyAre) {
  DetailPyramid pyramid;
  EXPECT_TRUE(BuildDetailPyramid(pyramid, Picture(16, 16, 3, 32)));
  const Picture tiny = testpics::RandomPicture(4, 30, 3, 8, 2);
  EXPECT_TRUE(BitIdentical(Sharpened(tiny, 3, 0, 2), tiny));
}

}  // namespace
