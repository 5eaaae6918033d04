// The engine on the graphics card (Mesa's software OpenGL in CI) against the engine on the CPU:
// whole pictures, the CPU+GPU tile sharing, the self-test and the admission of acceleration.
#include <GL/gl.h>
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <string>

#include "engine/denoise.h"
#include "engine/denoise_tile.h"
#include "engine/tile_driver.h"
#include "engine/tile_sharing.h"
#include "engine/gpu_self_test.h"
#include "gpu/gpu_session.h"
#include "picture/photo_loading.h"
#include "platform/cpu_affinity.h"
#include "support/photo_files.h"
#include "support/test_pictures.h"

namespace {

using testpics::Picture;

struct Difference {
  double mean;
  double largest;
};

Difference Compare(const Picture& a, const Picture& b) {
  return {testpics::MeanAbsDifference(a, b), testpics::MaxAbsDifference(a, b)};
}

Picture Denoised(const Picture& in, bool gpu, bool fusion, double large, int32_t quality) {
  Picture out(in.buf().width, in.buf().height, in.buf().components, in.buf().bitsPerComponent);
  DenoisePicture(out, in, 20, 20, large, quality, 0.5, nullptr, NoiseLevels{-1, -1, -1},
                 in.buf().components == 3, gpu, fusion, kMedianNone,
                 gpu ? gputest::SharedGpu() : nullptr);
  return out;
}

TEST(GpuEngine, SelfTestPassesAndAdmitsAcceleration) {
  SKIP_WITHOUT_GPU(gpu);
  const GpuSelfTestResult result = RunGpuSelfTestDetailed(gpu);
  EXPECT_TRUE(result.passed) << "largest |G - C| " << result.largestDifference;
  EXPECT_LT(result.largestDifference, 6);
  EXPECT_EQ(AdmitHardwareAcceleration(1, gpu), 1);
  EXPECT_EQ(AdmitHardwareAcceleration(0, gpu), 0);
}

// The timed probe's verdict follows its times; Mesa's software renderer is slower than the CPU
// filter, so it is not admitted, and its run is stopped instead of waited for.
TEST(GpuEngine, TheTimedProbeAdmitsTheCardOnlyWhereItIsFasterThanTheCpu) {
  SKIP_WITHOUT_GPU(gpu);
  const std::string renderer = reinterpret_cast<const char*>(glGetString(GL_RENDERER));
  const auto start = std::chrono::steady_clock::now();
  const AccelerationAdmission card = AdmitGraphicsCard(gpu, 3);
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  std::printf("%s: CPU %.3f s, card %.3f s, whole admission %.3f s\n", renderer.c_str(),
              card.cpuSeconds, card.gpuSeconds, seconds);
  EXPECT_GT(card.cpuSeconds, 0);
  EXPECT_EQ(card.verdict, JudgeProbe(card.gpuSeconds, card.cpuSeconds));
  if (renderer.find("llvmpipe") != std::string::npos ||
      renderer.find("softpipe") != std::string::npos) {
    EXPECT_EQ(card.verdict, AccelerationVerdict::kSlowerThanCpu);
    EXPECT_LT(seconds, 3 * card.cpuSeconds + 1.0);
  }
}

TEST(GpuEngine, WholePicturesAgreeWithTheCpuWithinAFewLevels) {
  SKIP_WITHOUT_GPU(gpu);
  struct Case {
    uint32_t components, bits;
    double large;
    double meanBound, largestBound;  // in units of the depth
  };
  // The GPU evaluates the weights in float with pow(); the CPU rounds them into integer tables.
  for (const Case& c : {Case{1, 8, 0, 0.2, 2}, Case{3, 8, 10, 0.3, 3}, Case{1, 16, 0, 30, 257},
                        Case{3, 16, 0, 30, 257}}) {
    const Picture noisy =
        testpics::AddNoise(testpics::SmoothScene(96, 72, c.components, c.bits), 5.0, 11);
    const Difference d =
        Compare(Denoised(noisy, true, false, c.large, 2), Denoised(noisy, false, false, c.large, 2));
    EXPECT_LE(d.mean, c.meanBound) << c.components << "x" << c.bits << " largest " << d.largest;
    EXPECT_LE(d.largest, c.largestBound) << c.components << "x" << c.bits << " mean " << d.mean;
  }
}

TEST(GpuEngine, CameraPhotoAgreesWithTheCpuAtBothDepthsGreyAndColour) {
  SKIP_WITHOUT_GPU(gpu);
  const std::filesystem::path photo = testphotos::TestPhoto(testphotos::kSonyPhoto);
  if (photo.empty()) GTEST_SKIP() << "fetched test photos are missing (make photos)";
  PhotoDocument document;
  ASSERT_FALSE(OpenPhoto(document, photo, true));
  Picture crop(160, 120, 3, 8);
  CBxPicBufAPI::CopyRect(crop, document.sourcePicture, {0, 0}, {2900, 1900}, {160, 120});
  ReleasePhotoDocument(document);
  const Picture noisy = testpics::AddNoise(crop, 6.0, 13);
  struct Case {
    uint32_t components, bits;
    double meanBound, largestBound;
  };
  // Largest differences stay below the self-test's tolerance of 6 levels (of 8 bits).
  for (const Case& c : {Case{3, 8, 0.3, 5}, Case{1, 8, 0.3, 3}, Case{3, 16, 60, 1280}}) {
    Picture picture(noisy);
    ASSERT_FALSE(CBxPicBufAPI::ConvertBpcComp(picture, c.bits, c.components));
    const Difference d =
        Compare(Denoised(picture, true, false, 10, 2), Denoised(picture, false, false, 10, 2));
    EXPECT_LE(d.mean, c.meanBound) << c.components << "x" << c.bits << " largest " << d.largest;
    EXPECT_LE(d.largest, c.largestBound) << c.components << "x" << c.bits << " mean " << d.mean;
  }
}

TEST(GpuEngine, SharedTilesMatchTheCpuEverywhereTileBordersIncluded) {
  SKIP_WITHOUT_GPU(gpu);
  if (AffinityCpuBitLength() == 1) GTEST_SKIP() << "one CPU: tiles are not shared";
  const Picture noisy = testpics::AddNoise(testpics::SmoothScene(1100, 60, 3, 8), 5.0, 12);
  const Difference d =
      Compare(Denoised(noisy, true, true, 0, 1), Denoised(noisy, false, false, 0, 1));
  EXPECT_LE(d.mean, 0.3) << "largest " << d.largest;
  EXPECT_LE(d.largest, 3.0) << "mean " << d.mean;
}

// Tiles cut by the pipeline's footprint: the card's tiles give the card's result for the picture in
// one piece (tiled on the sequential grid, or shared), the worker's the CPU's, to the bit.
TEST(GpuEngine, EachTileGivesTheWholePicturesResultOfTheDeviceThatRanIt) {
  SKIP_WITHOUT_GPU(gpu);
  const Picture noisy = testpics::AddNoise(testpics::SmoothScene(530, 300, 3, 8), 8.0, 13);
  DenoiseRequest request;
  request.strength = 30;  // pre-blurred
  request.strengthChroma = 20;
  request.strengthChromaLarge = 10;
  request.quality = 1;
  request.medianMode = kMedianCommon;
  request.useGpu = true;
  const RunControl onCard(nullptr, nullptr, gpu);
  Picture cardWhole(noisy);
  RunTiles(cardWhole, noisy, request, onCard, 2, 1000);
  Picture tiled(noisy);
  RunTiles(tiled, noisy, request, onCard, 2, 200);
  EXPECT_TRUE(testpics::BitIdentical(tiled, cardWhole));

  DenoiseRequest cpu = request;
  cpu.useGpu = false;
  Picture cpuWhole(noisy);
  RunTiles(cpuWhole, noisy, cpu, {}, 2, 1000);
  RunSharedTiles(tiled, noisy, request, onCard, 2, 200);
  for (const Tile& tile : SharingGrid(530, 300, 200, DenoiseFootprint(request))) {
    const Picture core = testpics::CutOut(tiled, tile.core);
    EXPECT_TRUE(testpics::BitIdentical(core, testpics::CutOut(cardWhole, tile.core)) ||
                testpics::BitIdentical(core, testpics::CutOut(cpuWhole, tile.core)))
        << "tile at " << tile.core.x0 << "," << tile.core.y0;
  }
}

}  // namespace
