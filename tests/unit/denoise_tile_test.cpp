#include "engine/denoise_tile.h"

#include <gtest/gtest.h>

#include "engine/denoise_component.h"
#include "engine/gaussian_blur.h"
#include "support/recording_progress.h"
#include "support/test_pictures.h"

namespace {

using testpics::Picture;

DenoiseRequest Params(double strength, double large, int32_t median = kMedianNone) {
  DenoiseRequest p;
  p.strength = p.strengthChroma = strength;
  p.strengthChromaLarge = large;
  p.quality = 1;
  p.processInYUV = true;
  p.medianMode = median;
  return p;
}

int32_t StepsOfTile(const Picture& in, const DenoiseRequest& params) {
  RecordingProgress progress;
  Picture out(in.buf().width, in.buf().height, in.buf().components, in.buf().bitsPerComponent);
  DenoiseTile(out, in, params, &progress, 1);
  return progress.Steps();
}

TEST(DenoiseTile, ChromaPassRunsAboveOneWithItsWholeNumberPart) {
  const Picture noisy = testpics::AddNoise(testpics::SmoothScene(80, 80, 3, 8), 5.0, 1);
  // Y, U and V take 25 offsets each; the chroma pass adds 25 per chroma plane (level 2 is 20 × 20).
  EXPECT_EQ(StepsOfTile(noisy, Params(20, 0.0)), 75);
  EXPECT_EQ(StepsOfTile(noisy, Params(20, 1.0)), 75);
  EXPECT_EQ(StepsOfTile(noisy, Params(20, 1.5)), 125);

  Picture a(80, 80, 3, 8);
  Picture b(80, 80, 3, 8);
  Picture c(80, 80, 3, 8);
  DenoiseTile(a, noisy, Params(20, 2.9), nullptr, 1);
  DenoiseTile(b, noisy, Params(20, 2.0), nullptr, 1);
  DenoiseTile(c, noisy, Params(20, 30.0), nullptr, 1);
  EXPECT_TRUE(testpics::BitIdentical(a, b));
  EXPECT_FALSE(testpics::BitIdentical(a, c));
}

TEST(DenoiseTile, GreyPictureTakesTheSingleComponentPath) {
  const Picture noisy = testpics::AddNoise(testpics::SmoothScene(50, 40, 1, 8), 5.0, 2);
  EXPECT_EQ(StepsOfTile(noisy, Params(20, 10)), 25);
  Picture viaTile(50, 40, 1, 8);
  Picture direct(50, 40, 1, 8);
  DenoiseTile(viaTile, noisy, Params(20, 10), nullptr, 1);
  DenoiseComponent(direct, noisy, 20, 1, 0, nullptr, -1.0, false, 1);
  EXPECT_TRUE(testpics::BitIdentical(viaTile, direct));
}

TEST(DenoiseTile, PreBlurStartsAboveStrengthTwentyFive) {
  const Picture noisy = testpics::AddNoise(testpics::SmoothScene(50, 40, 1, 16), 9.0, 3);
  for (double strength : {25.0, 26.0, 50.0}) {
    Picture viaTile(50, 40, 1, 16);
    DenoiseTile(viaTile, noisy, Params(strength, 0), nullptr, 1);
    Picture source(noisy);
    if (strength > 25) GaussianBlur11(source, static_cast<float>(PreBlurSigma(strength)));
    Picture direct(50, 40, 1, 16);
    DenoiseComponent(direct, source, strength, 1, 0, nullptr, -1.0, false, 1);
    EXPECT_TRUE(testpics::BitIdentical(viaTile, direct)) << "strength " << strength;
  }
}

TEST(DenoiseTile, PointArtefactPassFiltersACopyAndNeverTheInput) {
  Picture noisy = testpics::AddNoise(testpics::SmoothScene(48, 48, 3, 8), 3.0, 4);
  for (uint32_t c = 0; c < 3; ++c) noisy.Set(20, 20, c, 255);  // a hot pixel
  const Picture before(noisy);
  for (int32_t mode : {0, 1, 2, 7}) {
    Picture out(48, 48, 3, 8);
    DenoiseTile(out, noisy, Params(5, 0, mode), nullptr, 1);
    EXPECT_TRUE(testpics::BitIdentical(noisy, before)) << "mode " << mode;
    const bool filtered = mode == kMedianCommon || mode == kMedianStrong;
    EXPECT_EQ(out.At(20, 20, 1) < 200, filtered) << "mode " << mode;
  }
}

TEST(DenoiseTile, ColourWithoutYuvDenoisesEachComponentAlike) {
  const Picture noisy = testpics::AddNoise(testpics::SmoothScene(40, 40, 3, 8), 5.0, 5);
  DenoiseRequest params = Params(20, 10);
  params.processInYUV = false;
  Picture out(40, 40, 3, 8);
  DenoiseTile(out, noisy, params, nullptr, 1);
  Picture expected(40, 40, 3, 8);
  DenoiseComponent(expected, noisy, 20, 1, 0, nullptr, -1.0, false, 1);
  EXPECT_TRUE(testpics::BitIdentical(out, expected));
}

}  // namespace
