#include "engine/sharpen_picture.h"

#include <gtest/gtest.h>

#include "engine/detail_sharpening.h"
#include "support/single_cpu.h"
#include "support/test_pictures.h"

namespace {

using testpics::Picture;

// The step written out: a three-component copy, its pyramid, the gains, and back.
Picture SharpenedByHand(const Picture& picture, double tiny, double medium, double rough) {
  Picture copy(picture);
  EXPECT_FALSE(CBxPicBufAPI::ConvertBpcComp(copy, picture.buf().bitsPerComponent, 3));
  DetailPyramid pyramid;
  EXPECT_FALSE(BuildDetailPyramid(pyramid, copy));
  EXPECT_FALSE(ApplyDetailGains(copy, pyramid, tiny, medium, rough));
  ReleaseDetailPyramid(pyramid);
  EXPECT_FALSE(
      CBxPicBufAPI::ConvertBpcComp(copy, picture.buf().bitsPerComponent, picture.buf().components));
  return copy;
}

TEST(SharpenPicture, AppliesTheGainsThroughAThreeComponentCopy) {
  for (uint32_t components : {1u, 3u}) {
    for (uint32_t bits : {8u, 16u}) {
      const Picture noisy =
          testpics::AddNoise(testpics::SmoothScene(61, 47, components, bits), 4, 1);
      Picture sharpened(noisy);
      ASSERT_FALSE(SharpenPicture(sharpened, 1.8, 0.5, 1.2));
      EXPECT_TRUE(testpics::BitIdentical(sharpened, SharpenedByHand(noisy, 1.8, 0.5, 1.2)))
          << components << " components, " << bits << " bits";
      EXPECT_FALSE(testpics::BitIdentical(sharpened, noisy));
    }
  }
}

// The pyramid's rows are shared among the CPUs; a picture tall enough to be cut must come out the
// same on one.
TEST(SharpenPicture, OneThreadGivesTheSameBits) {
  for (uint32_t bits : {8u, 16u}) {
    const Picture noisy = testpics::AddNoise(testpics::SmoothScene(83, 517, 3, bits), 6, 3);
    Picture allCpus(noisy);
    ASSERT_FALSE(SharpenPicture(allCpus, 2.5, 0.3, 1.7));
    Picture oneCpu(noisy);
    if (!OnCpuZeroOnly([&] { ASSERT_FALSE(SharpenPicture(oneCpu, 2.5, 0.3, 1.7)); })) {
      GTEST_SKIP() << "CPU 0 is not available to this process";
    }
    EXPECT_TRUE(testpics::BitIdentical(allCpus, oneCpu)) << bits << " bits";
    EXPECT_TRUE(testpics::BitIdentical(allCpus, SharpenedByHand(noisy, 2.5, 0.3, 1.7)));
  }
}

TEST(SharpenPicture, UnitGainsLeaveThePictureAsTheFullStepWould) {
  for (uint32_t components : {1u, 3u}) {
    const Picture noisy = testpics::AddNoise(testpics::SmoothScene(40, 30, components, 8), 4, 2);
    Picture sharpened(noisy);
    ASSERT_FALSE(SharpenPicture(sharpened, 1.0, 1.000001, 0.999999));
    EXPECT_TRUE(testpics::BitIdentical(sharpened, noisy));
    EXPECT_TRUE(testpics::BitIdentical(sharpened, SharpenedByHand(noisy, 1.0, 1.000001, 0.999999)));
  }
}

}  // namespace
