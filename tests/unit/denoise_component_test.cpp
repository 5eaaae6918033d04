#include "engine/denoise_component.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "engine/denoise.h"
#include "engine/non_local_means.h"
#include "support/recording_progress.h"
#include "support/test_pictures.h"

namespace {

using testpics::Picture;

TEST(DenoiseComponent, OddSidesArePaddedWithBlackAndCroppedBack) {
  const Picture noisy = testpics::AddNoise(testpics::SmoothScene(101, 75, 1, 8), 5.0, 4);
  Picture out(101, 75, 1, 8);
  DenoiseComponent(out, noisy, 20, 2, 0.5, nullptr, -1.0, false, 1);

  // The same filter run by hand on the 102 × 76 raster with a black last column and row.
  Picture padded(102, 76, 1, 8);
  CBxPicBufAPI::CopyRect(padded, noisy, {0, 0}, {0, 0}, {101, 75});
  Picture filtered(102, 76, 1, 8);
  ASSERT_FALSE(NonLocalMeans8(filtered, padded, padded, 20, 2, 1.0, nullptr, -1.0));
  Picture expected(101, 75, 1, 8);
  CBxPicBufAPI::CopyRect(expected, filtered, {0, 0}, {0, 0}, {101, 75});

  EXPECT_EQ(out.buf().width, 101);
  EXPECT_EQ(out.buf().height, 75);
  EXPECT_TRUE(testpics::BitIdentical(out, expected));
}

TEST(DenoiseComponent, InputIsBitIdenticalAfterTheCall) {
  for (uint32_t bits : {8u, 16u}) {
    const Picture noisy = testpics::AddNoise(testpics::SmoothScene(45, 38, 1, bits), 5.0, 6);
    const Picture before(noisy);
    Picture out(45, 38, 1, bits);
    DenoiseComponent(out, noisy, 20, 3, 1.0, nullptr, -1.0, false, 3);
    EXPECT_TRUE(testpics::BitIdentical(noisy, before)) << bits << " bits";
    EXPECT_FALSE(testpics::BitIdentical(out, before)) << bits << " bits: nothing was denoised";
  }
}

TEST(DenoiseComponent, ThreadCountsAboveSixteenRunSixteenThreads) {
  const Picture noisy = testpics::AddNoise(testpics::SmoothScene(40, 40, 1, 8), 5.0, 7);
  RecordingProgress sixteen;
  RecordingProgress forty;
  Picture a(40, 40, 1, 8);
  Picture b(40, 40, 1, 8);
  DenoiseComponent(a, noisy, 20, 3, 0, &sixteen, -1.0, false, 16);
  DenoiseComponent(b, noisy, 20, 3, 0, &forty, -1.0, false, 40);
  EXPECT_TRUE(testpics::BitIdentical(a, b));
  EXPECT_EQ(forty.Steps(), 14);  // ⌈221 / 16⌉ offsets on the calling thread
  EXPECT_EQ(sixteen.Steps(), 14);
}

TEST(DenoiseComponent, SixteenBitStrengthIsTruncatedToAWholeNumber) {
  const Picture noisy = testpics::AddNoise(testpics::SmoothScene(40, 36, 1, 16), 5.0, 8);
  Picture whole(40, 36, 1, 16);
  Picture fraction(40, 36, 1, 16);
  DenoiseComponent(whole, noisy, 20.0, 1, 0, nullptr, -1.0, false, 1);
  DenoiseComponent(fraction, noisy, 20.9, 1, 0, nullptr, -1.0, false, 2);
  EXPECT_TRUE(testpics::BitIdentical(whole, fraction));
}

TEST(DenoiseComponent, CancelledRunGivesTheInputBack) {
  for (uint32_t bits : {8u, 16u}) {
    const Picture noisy = testpics::AddNoise(testpics::SmoothScene(41, 39, 1, bits), 5.0, 9);
    RecordingProgress progress(1);
    Picture out(41, 39, 1, bits);
    DenoiseComponent(out, noisy, 20, 3, 0, progress.Run(), -1.0, false, 2);
    EXPECT_TRUE(testpics::BitIdentical(out, noisy)) << bits << " bits";
  }
}

TEST(DenoiseComponent, SeveralComponentsAreDenoisedOneByOne) {
  const Picture noisy = testpics::AddNoise(testpics::SmoothScene(40, 40, 3, 8), 5.0, 10);
  Picture out(40, 40, 3, 8);
  DenoiseComponent(out, noisy, 20, 1, 0, nullptr, -1.0, false, 1);
  for (uint32_t c = 0; c < 3; ++c) {
    Picture plane(40, 40, 1, 8);
    Picture denoised(40, 40, 1, 8);
    Picture got(40, 40, 1, 8);
    CBxPicBufAPI::ExtractComponent(plane, c, noisy);
    DenoiseComponent(denoised, plane, 20, 1, 0, nullptr, -1.0, false, 1);
    CBxPicBufAPI::ExtractComponent(got, c, out);
    EXPECT_TRUE(testpics::BitIdentical(got, denoised)) << "component " << c;
  }
}

TEST(NoiseEstimate, FlatAndTinyRastersHaveNoNoise) {
  EXPECT_EQ(EstimateNoise(testpics::Constant(50, 40, 1, 8, 128)), 0.0);
  for (auto [w, h] : {std::pair{3, 50}, std::pair{50, 3}, std::pair{2, 2}, std::pair{1, 1}}) {
    EXPECT_EQ(EstimateNoise(testpics::RandomPicture(w, h, 1, 8, 1)), 0.0) << w << "x" << h;
    NoiseLevels levels{-1, -1, -1};
    EXPECT_EQ(EstimateNoiseYUV(testpics::RandomPicture(w, h, 3, 8, 1), levels), 0.0);
    EXPECT_EQ(levels.luma, 0.0);
    EXPECT_EQ(levels.chroma, 0.0);
  }
}

TEST(NoiseEstimate, MaskCancelsRampsAndStripesButNotACheckerboard) {
  Picture ramp(30, 20, 1, 8);
  Picture stripes(30, 20, 1, 8);
  Picture checker(30, 20, 1, 8);
  for (int32_t y = 0; y < 20; ++y) {
    for (int32_t x = 0; x < 30; ++x) {
      ramp.Set(x, y, 0, 3 * x + 2 * y);
      stripes.Set(x, y, 0, x % 2 == 0 ? 0 : 255);  // the mask is separable: constant rows vanish
      checker.Set(x, y, 0, (x + y) % 2 == 0 ? 0 : 255);
    }
  }
  EXPECT_EQ(EstimateNoise(ramp), 0.0);
  EXPECT_EQ(EstimateNoise(stripes), 0.0);
  // Every interior response of the checkerboard is ±8 · 255.
  EXPECT_NEAR(EstimateNoise(checker), std::sqrt(8 * 255 * 3.14159265359 / 12), 1e-9);
}

TEST(NoiseEstimate, AcrossTheGridReadsOnlyWhereTheMaskStraddlesABlockLine) {
  // Blocks of 8 × 8 pixels, each flat at a value of its own, as JPEG leaves flattened noise: the
  // mask responds only across the block lines, so the level over those positions alone is the
  // whole level scaled by the share of positions. Interior of 30 × 22: columns 7, 8, 15, 16, 23,
  // 24 and rows 7, 8, 15, 16 lie on lines, 660 − 24 · 18 = 228 positions.
  Picture blocks(32, 24, 1, 8);
  std::mt19937 random(3);
  std::uniform_int_distribution<int32_t> level(100, 140);
  for (int32_t by = 0; by < 3; ++by) {
    for (int32_t bx = 0; bx < 4; ++bx) {
      const int32_t value = level(random);
      for (int32_t y = 0; y < 8; ++y) {
        for (int32_t x = 0; x < 8; ++x) blocks.Set(8 * bx + x, 8 * by + y, 0, value);
      }
    }
  }
  const double whole = EstimateNoise(blocks);
  EXPECT_GT(whole, 0.0);
  EXPECT_NEAR(EstimateNoiseAcrossGrid(blocks, 8), whole * std::sqrt(660.0 / 228.0), 1e-9);
  // White noise reads alike on and off the lines.
  const Picture noise = testpics::AddNoise(testpics::Constant(240, 160, 1, 8, 128), 6.0, 4);
  EXPECT_NEAR(EstimateNoiseAcrossGrid(noise, 8), EstimateNoise(noise), 0.03 * EstimateNoise(noise));
  EXPECT_EQ(EstimateNoiseAcrossGrid(noise, 1), 0.0);
  EXPECT_EQ(EstimateNoiseAcrossGrid(testpics::Constant(3, 50, 1, 8, 9), 8), 0.0);
}

TEST(NoiseEstimate, GrowsWithTheNoiseAndSplitsLumaFromChroma) {
  const Picture clean = testpics::SmoothScene(120, 90, 1, 8);
  const double low = EstimateNoise(testpics::AddNoise(clean, 3.0, 1));
  const double high = EstimateNoise(testpics::AddNoise(clean, 12.0, 1));
  EXPECT_GT(low, 0.0);
  EXPECT_GT(high, 1.8 * low);

  // Noise on Y only: the chroma level stays small.
  Picture yuv = testpics::Constant(80, 60, 3, 8, 128);
  const Picture noise = testpics::AddNoise(testpics::Constant(80, 60, 1, 8, 128), 8.0, 2);
  CBxPicBufAPI::InsertComponent(yuv, 0, noise);
  NoiseLevels levels{};
  const double luma = EstimateNoiseYUV(yuv, levels);
  EXPECT_EQ(luma, levels.luma);
  EXPECT_NEAR(luma, EstimateNoise(noise), 1e-12);
  EXPECT_EQ(levels.chroma, 0.0);
  // The chroma level is sqrt(0.5 · Σ|rU + rV| · π / N): with U = Y and V flat it is luma · √0.5,
  // with U = V = Y it equals the luma level.
  CBxPicBufAPI::InsertComponent(yuv, 1, noise);
  EstimateNoiseYUV(yuv, levels);
  EXPECT_NEAR(levels.chroma, luma * std::sqrt(0.5), 1e-12);
  CBxPicBufAPI::InsertComponent(yuv, 2, noise);
  EstimateNoiseYUV(yuv, levels);
  EXPECT_NEAR(levels.chroma, luma, 1e-12);
}

}  // namespace
