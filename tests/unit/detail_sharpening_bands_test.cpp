#include "engine/detail_sharpening_bands.h"

#include <gtest/gtest.h>

#include <array>

#include "engine/detail_sharpening.h"
#include "support/test_pictures.h"

namespace {

using testpics::Picture;

// The whole pyramid of the picture, built and applied as one.
Picture SharpenedWhole(const Picture& picture, const std::array<float, 3>& gains) {
  DetailPyramid pyramid;
  EXPECT_FALSE(BuildDetailPyramid(pyramid, picture));
  Picture result(picture);
  EXPECT_FALSE(ApplyDetailGains(result, pyramid, gains[0], gains[1], gains[2]));
  return result;
}

// Bands of every height, down to one row, on one and two threads, give the whole pyramid's result
// to the bit: for pictures whose coarsest level is too small to be reduced into (9 × 10, 19 × 30),
// of odd and even sides, and tall enough for bands far from both borders.
TEST(SharpenInBands, EveryBandHeightGivesTheWholePyramidsResult) {
  const std::array<float, 3> gains = {2.5f, 0.3f, 1.7f};
  const struct {
    int32_t width, height;
  } sizes[] = {{5, 5}, {9, 10}, {19, 30}, {37, 23}, {64, 48}, {45, 301}};
  for (const auto& size : sizes) {
    for (uint32_t bits : {8u, 16u}) {
      const Picture picture =
          testpics::AddNoise(testpics::SmoothScene(size.width, size.height, 3, bits), 8, 5);
      const Picture expected = SharpenedWhole(picture, gains);
      for (uint32_t bandRows : {1u, 2u, 5u, 16u, 256u}) {
        for (int32_t threads : {1, 2}) {
          Picture result(size.width, size.height, 3, bits);
          ASSERT_FALSE(SharpenInBands(result, picture, gains, threads, bandRows));
          EXPECT_TRUE(testpics::BitIdentical(result, expected))
              << size.width << "x" << size.height << ", " << bits << " bits, bands of " << bandRows
              << ", " << threads << " threads, max diff "
              << testpics::MaxAbsDifference(result, expected);
        }
      }
    }
  }
}

}  // namespace
