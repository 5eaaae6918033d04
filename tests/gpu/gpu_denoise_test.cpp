#include "engine/gpu_denoise.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>

#include "engine/denoise.h"
#include "engine/denoise_component.h"
#include "gpu/gpu_session.h"
#include "support/recording_progress.h"
#include "support/test_pictures.h"

namespace {

using testpics::Picture;

struct Difference {
  double mean = 0;
  double max = 0;
};

Difference Compare(const Picture& a, const Picture& b) {
  Difference d;
  const SBxPicBuf& buf = a.buf();
  for (int32_t y = 0; y < buf.height; ++y) {
    for (int32_t x = 0; x < buf.width; ++x) {
      for (uint32_t c = 0; c < buf.components; ++c) {
        const double e = std::abs(a.At(x, y, c) - b.At(x, y, c));
        d.mean += e;
        d.max = std::max(d.max, e);
      }
    }
  }
  d.mean /= double(buf.width) * buf.height * buf.components;
  return d;
}

// The GPU filter on a copy of `in`, the way the engine calls it: an 8-bit guide and twice the
// user's dynamics.
Picture OnGpu(const Picture& in, double strength, int32_t quality, double dynamics,
              const RunControl& run = {}) {
  Picture out(in.buf().width, in.buf().height, in.buf().components, in.buf().bitsPerComponent);
  Picture source(in);
  Picture guide(in.buf().width, in.buf().height, 1, 8);
  const RunControl onCard(run.progress, run.stop, gputest::SharedGpu());
  GpuDenoiseSingleGuide(out, source, guide, strength, quality, 2.0 * dynamics, onCard, -1.0);
  EXPECT_TRUE(testpics::BitIdentical(source, in));
  return out;
}

TEST(GpuPadRadius, FollowsTheSmallerEdge) {
  struct Case {
    int32_t width, height, radius;
  };
  const Case cases[] = {{72, 72, 35}, {500, 80, 35}, {71, 300, 34}, {10, 10, 4},
                        {11, 40, 4},  {2, 2, 0},     {1, 1, 0}};
  for (const Case& c : cases) {
    EXPECT_EQ(GpuPadRadius(c.width, c.height), c.radius) << c.width << "x" << c.height;
  }
}

TEST(GpuDenoise, OneProgressStepPerVisitedOffset) {
  SKIP_WITHOUT_GPU(gpu);
  const Picture in = testpics::RandomPicture(6, 6, 1, 8, 3);
  for (const auto& [quality, steps] : {std::pair{1, 25}, {2, 85}, {0, 221}, {3, 221}}) {
    RecordingProgress progress;
    OnGpu(in, 5.0, quality, 0.0, &progress);
    EXPECT_EQ(progress.Steps(), steps) << "quality " << quality;
  }
}

TEST(GpuDenoise, CancelDuringTheFirstOffsetKeepsTheSource) {
  SKIP_WITHOUT_GPU(gpu);
  const Picture in = testpics::RandomPicture(20, 14, 3, 16, 5);
  RecordingProgress progress(0);
  const Picture out = OnGpu(in, 5.0, 2, 0.0, progress.Run());
  EXPECT_EQ(progress.Steps(), 1);
  EXPECT_EQ(out.buf().width, 20);
  EXPECT_EQ(out.buf().components, 3u);
  EXPECT_EQ(out.buf().bitsPerComponent, 16u);
}

// A flat plane comes back unchanged, 16-bit samples through the 1/256 scaling and the clamp.
TEST(GpuDenoise, FlatSixteenBitPlanesAreRoundedAndClamped) {
  SKIP_WITHOUT_GPU(gpu);
  for (const double value : {0.0, 1.0, 1000.0, 65534.0, 65535.0}) {
    const Picture in = testpics::Constant(18, 12, 1, 16, value);
    const Picture out = OnGpu(in, 10.0, 1, 0.5);
    EXPECT_EQ(testpics::MaxAbsDifference(out, in), 0.0) << value;
  }
}

// A colour tile takes its distances from its last component, so that component comes out as it
// would alone.
TEST(GpuDenoise, ColourTilesTakeDistancesFromTheLastComponent) {
  SKIP_WITHOUT_GPU(gpu);
  const Picture colour = testpics::AddNoise(testpics::SmoothScene(30, 24, 3, 8), 6.0, 9);
  Picture last(30, 24, 1, 8);
  CBxPicBufAPI::ExtractComponent(last, 2, colour);
  const Picture together = OnGpu(colour, 20.0, 1, 0.4);
  Picture denoisedLast(30, 24, 1, 8);
  CBxPicBufAPI::ExtractComponent(denoisedLast, 2, together);
  const Picture alone = OnGpu(last, 20.0, 1, 0.4);
  EXPECT_TRUE(testpics::BitIdentical(denoisedLast, alone));
  EXPECT_GT(testpics::MaxAbsDifference(alone, last), 0.0);
}

// The GPU weighs a patch distance by the same formula as the CPU filter's integer tables, so the
// two agree up to the tables' rounding (and, at 16 bits, the 8-bit guide of the CPU filter).
TEST(GpuDenoise, MatchesTheCpuFilter) {
  struct Case {
    uint32_t components, bits;
    double strength;
    int32_t quality;
    double dynamics;
    double meanLimit, maxLimit;
  };
  const Case cases[] = {
      {1, 8, 20.0, 1, 0.0, 0.01, 1.0},     {1, 8, 16.0, 2, 0.6, 0.2, 1.0},
      {1, 8, 24.0, 1, -0.8, 0.15, 1.0},    {1, 16, 20.0, 1, 0.0, 16.0, 160.0},
      {1, 16, 20.0, 2, -0.5, 32.0, 256.0},
  };
  SKIP_WITHOUT_GPU(gpu);
  for (const Case& c : cases) {
    const Picture clean = testpics::SmoothScene(48, 40, c.components, c.bits);
    const Picture noisy = testpics::AddNoise(clean, 6.0, 7);
    Picture cpu(48, 40, c.components, c.bits);
    DenoiseComponent(cpu, noisy, c.strength, c.quality, c.dynamics, nullptr, -1.0, false, 1);
    const Picture gpuOut = OnGpu(noisy, c.strength, c.quality, c.dynamics);
    const Difference d = Compare(gpuOut, cpu);
    std::printf(
        "components %u, %u bits, strength %.0f, quality %d, dynamics %.1f: "
        "mean |G - C| %.4f, max %.0f\n",
        c.components, c.bits, c.strength, c.quality, c.dynamics, d.mean, d.max);
    EXPECT_LE(d.mean, c.meanLimit);
    EXPECT_LE(d.max, c.maxLimit);
    EXPECT_GT(Compare(noisy, cpu).mean, 5.0 * d.mean + 1e-9);
  }
}

// Distances per channel: each YUV channel agrees with the CPU filter run on that channel alone with
// its own strength.
TEST(GpuDenoise, YuvChannelsMatchTheCpuFilterPerChannel) {
  SKIP_WITHOUT_GPU(gpu);
  const double luma = 20.0;
  const double chroma = 26.0;
  for (const double dynamics : {0.0, 0.7}) {
    const Picture clean = testpics::SmoothScene(40, 36, 3, 8);
    const Picture noisy = testpics::AddNoise(clean, 6.0, 11);
    Picture gpuOut(40, 36, 3, 8);
    Picture source(noisy);
    Picture guide(noisy);
    GpuDenoiseYuv(gpuOut, source, guide, luma, chroma, 1, 2.0 * dynamics,
                  RunControl(nullptr, nullptr, gpu), -1.0, -1.0);
    Picture plane(40, 36, 1, 8);
    Picture denoised(40, 36, 1, 8);
    Picture cpu(40, 36, 3, 8);
    for (uint32_t c = 0; c < 3; ++c) {
      CBxPicBufAPI::ExtractComponent(plane, c, noisy);
      DenoiseComponent(denoised, plane, c == 0 ? luma : chroma, 1, dynamics, nullptr, -1.0, false,
                       1);
      CBxPicBufAPI::InsertComponent(cpu, c, denoised);
    }
    const Difference d = Compare(gpuOut, cpu);
    std::printf("YUV, dynamics %.1f: mean |G - C| %.4f, max %.0f\n", dynamics, d.mean, d.max);
    EXPECT_TRUE(testpics::BitIdentical(source, noisy));
    EXPECT_LE(d.mean, 0.2);
    EXPECT_LE(d.max, 1.0);
    EXPECT_GT(Compare(noisy, cpu).mean, 5.0 * d.mean);
  }
}

}  // namespace
