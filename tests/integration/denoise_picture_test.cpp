// The engine's entry, end to end on pictures made in code.
#include <gtest/gtest.h>

#include <cmath>

#include "engine/denoise.h"
#include "platform/cpu_affinity.h"
#include "support/recording_progress.h"
#include "support/test_pictures.h"

namespace {

using testpics::Picture;

constexpr NoiseLevels kLevels{-1.0, -1.0, -1.0};

void Denoise(Picture& out, const Picture& in, double strength, double large, int32_t median,
             const RunControl& run = {}, bool useGpu = false) {
  DenoiseRequest request;
  request.strength = strength;
  request.strengthChroma = strength;
  request.strengthChromaLarge = large;
  request.dynamics = 0.5;
  request.medianMode = median;
  request.useGpu = useGpu;
  request.fusion = useGpu;
  request.noiseLevels = kLevels;
  DenoisePicture(out, in, request, run);
}

TEST(DenoisePicture, RaisesPsnrOnGreyAndColourAtBothDepths) {
  struct Case {
    uint32_t components, bits;
    double large;
  };
  for (const Case& c : {Case{1, 8, 0}, Case{3, 8, 0}, Case{3, 8, 10}, Case{1, 16, 0},
                        Case{3, 16, 10}}) {
    const Picture clean = testpics::SmoothScene(240, 180, c.components, c.bits);
    const Picture noisy = testpics::AddNoise(clean, 5.0, 42);
    Picture out(240, 180, c.components, c.bits);
    Denoise(out, noisy, 20, c.large, kMedianNone);
    const double before = testpics::Psnr(clean, noisy);
    const double after = testpics::Psnr(clean, out);
    EXPECT_GT(after, before + 5.0) << c.components << " components, " << c.bits
                                   << " bits, large " << c.large << ": " << before << " → "
                                   << after;
  }
}

TEST(DenoisePicture, TiledPictureIsDenoisedAcrossEveryTile) {
  const Picture clean = testpics::SmoothScene(2100, 64, 3, 8);
  const Picture noisy = testpics::AddNoise(clean, 5.0, 7);
  const Picture before(noisy);
  Picture out(2100, 64, 3, 8);
  Denoise(out, noisy, 20, 0, kMedianStrong);
  EXPECT_TRUE(testpics::BitIdentical(noisy, before));
  for (int32_t x0 : {0, 1000, 2000}) {
    Picture cleanPart(100, 64, 3, 8);
    Picture noisyPart(100, 64, 3, 8);
    Picture outPart(100, 64, 3, 8);
    CBxPicBufAPI::CopyRect(cleanPart, clean, {0, 0}, {x0, 0}, {100, 64});
    CBxPicBufAPI::CopyRect(noisyPart, noisy, {0, 0}, {x0, 0}, {100, 64});
    CBxPicBufAPI::CopyRect(outPart, out, {0, 0}, {x0, 0}, {100, 64});
    EXPECT_GT(testpics::Psnr(cleanPart, outPart), testpics::Psnr(cleanPart, noisyPart) + 4.0)
        << "tile at " << x0;
  }
}

TEST(DenoisePicture, ConstantPicturesComeBack) {
  for (uint32_t bits : {8u, 16u}) {
    const double grey = bits == 8 ? 90 : 23130;
    for (uint32_t components : {1u, 3u}) {
      const Picture flat = testpics::Constant(70, 60, components, bits, grey);
      Picture out(70, 60, components, bits);
      Denoise(out, flat, 40, 10, kMedianCommon);
      EXPECT_TRUE(testpics::BitIdentical(out, flat)) << components << " components, " << bits;
    }
  }
  // A flat colour goes through 8-bit Y, U, V and back: within the conversion's ±1.
  Picture colour(70, 60, 3, 8);
  for (int32_t y = 0; y < 60; ++y) {
    for (int32_t x = 0; x < 70; ++x) {
      colour.Set(x, y, 0, 40);
      colour.Set(x, y, 1, 150);
      colour.Set(x, y, 2, 210);
    }
  }
  Picture out(70, 60, 3, 8);
  Denoise(out, colour, 20, 10, kMedianNone);
  EXPECT_LE(testpics::MaxAbsDifference(out, colour), 1.0);
}

TEST(DenoisePicture, InputIsBitIdenticalAfterTheCallAndAfterACancel) {
  const Picture noisy = testpics::AddNoise(testpics::SmoothScene(120, 90, 3, 16), 5.0, 3);
  const Picture before(noisy);
  Picture out(120, 90, 3, 16);
  Denoise(out, noisy, 30, 10, kMedianStrong);
  EXPECT_TRUE(testpics::BitIdentical(noisy, before));

  RecordingProgress cancelling(5);
  Denoise(out, noisy, 30, 10, kMedianStrong, cancelling.Run());
  EXPECT_TRUE(testpics::BitIdentical(noisy, before));
}

TEST(DenoisePicture, InitialisesTheBarForTheThreadsOfTheProcess) {
  const Picture noisy = testpics::AddNoise(testpics::SmoothScene(60, 50, 3, 8), 5.0, 4);
  Picture out(60, 50, 3, 8);
  RecordingProgress progress;
  Denoise(out, noisy, 20, 0, kMedianNone, &progress);
  EXPECT_EQ(EngineThreadCount(), AffinityCpuBitLength());
  const std::vector<std::string> calls = progress.Calls();
  ASSERT_GE(calls.size(), 4u);
  const uint32_t o = 441 / EngineThreadCount();
  EXPECT_EQ(calls[2], "range 0 " + std::to_string(3 * o / 2));
}

TEST(DenoisePicture, GpuRequestWithoutACardGivesTheCpuResult) {
  const Picture noisy = testpics::AddNoise(testpics::SmoothScene(64, 48, 3, 8), 5.0, 5);
  Picture cpu(64, 48, 3, 8);
  Picture gpu(64, 48, 3, 8);
  Denoise(cpu, noisy, 20, 10, kMedianNone);
  Denoise(gpu, noisy, 20, 10, kMedianNone, nullptr, true);
  EXPECT_TRUE(testpics::BitIdentical(cpu, gpu));
}

TEST(DenoisePicture, UnsupportedInputIsPassedThrough) {
  const Picture floats = testpics::RandomPicture(40, 30, 3, 32, 6);
  Picture out(40, 30, 3, 32);
  Denoise(out, floats, 20, 0, kMedianNone);
  EXPECT_TRUE(testpics::BitIdentical(out, floats));

  const Picture noisy = testpics::AddNoise(testpics::SmoothScene(40, 30, 3, 8), 5.0, 6);
  for (double strength : {-1.0, std::nan(""), HUGE_VAL}) {
    Picture passed(40, 30, 3, 8);
    Denoise(passed, noisy, strength, 0, kMedianNone);
    EXPECT_TRUE(testpics::BitIdentical(passed, noisy)) << "strength " << strength;
  }
}

TEST(DenoisePicture, OutputOfAnotherGeometryIsRecreated) {
  const Picture noisy = testpics::AddNoise(testpics::SmoothScene(50, 40, 1, 16), 5.0, 8);
  Picture expected(50, 40, 1, 16);
  Denoise(expected, noisy, 20, 0, kMedianNone);
  Picture out(7, 3, 3, 8);
  Denoise(out, noisy, 20, 0, kMedianNone);
  EXPECT_TRUE(testpics::BitIdentical(out, expected));
}

TEST(DenoisePicture, SixteenBitStrengthBelowOneKeepsThePicture) {
  // The 16-bit filter works with whole strengths: 0.5 becomes 0, which weighs only the centre.
  const Picture noisy = testpics::AddNoise(testpics::SmoothScene(50, 40, 1, 16), 5.0, 9);
  Picture out(50, 40, 1, 16);
  Denoise(out, noisy, 0.5, 0, kMedianNone);
  EXPECT_TRUE(testpics::BitIdentical(out, noisy));
}

}  // namespace
