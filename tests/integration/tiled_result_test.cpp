// A picture's result does not depend on how it is cut: DenoisePicture on pictures above the tile
// limit, the sequential grid with tiles whose sources end exactly at the pipeline's reach, one or
// two threads, and the CPU+GPU sharing (the CPU standing for the card) all give the picture
// denoised in one piece, for every stage the pipeline can run.
#include <gtest/gtest.h>

#include <mutex>
#include <string>

#include "engine/denoise.h"
#include "engine/denoise_tile.h"
#include "engine/tile_driver.h"
#include "engine/tile_sharing.h"
#include "support/test_pictures.h"

namespace {

using testpics::Picture;

struct Case {
  std::string name;
  uint32_t components, bits;
  double strength, strengthChroma, strengthChromaLarge;
  int32_t quality;
  double dynamics;
  int32_t median;
  bool yuv;
};

DenoiseRequest RequestOf(const Case& c) {
  DenoiseRequest request;
  request.strength = c.strength;
  request.strengthChroma = c.strengthChroma;
  request.strengthChromaLarge = c.strengthChromaLarge;
  request.quality = c.quality;
  request.dynamics = c.dynamics;
  request.medianMode = c.median;
  request.processInYUV = c.yuv;
  return request;
}

// The smallest tile limit from `least` on whose tiles' sources start exactly `reach` before their
// cores: the limit minus the reach lies on the grid.
int32_t LimitAtTheReach(const Footprint& footprint, int32_t least) {
  int32_t limit = least;
  while ((limit - footprint.reach) % footprint.grid != 0) ++limit;
  return limit;
}

// The CPU pipeline standing for the graphics card; the weight table cache admits one at a time.
SharingServices CpuForTheCard(std::mutex& cache) {
  return {SystemTickCount, [&cache](SBxPicBuf& out, const SBxPicBuf& in, const DenoiseRequest& p,
                                    int32_t threads, const RunControl& run) {
            const std::lock_guard<std::mutex> lock(cache);
            DenoiseRequest cpu = p;
            cpu.useGpu = false;
            return DenoiseQueuedTile(out, in, cpu, threads, run);
          }};
}

TEST(TiledResult, EqualsThePictureDenoisedInOnePieceForEveryStage) {
  const Case cases[] = {
      {"colour 8-bit plain", 3, 8, 10, 10, 0, 3, 0, kMedianNone, true},
      {"colour 8-bit chroma-large", 3, 8, 10, 12, 10, 3, 0, kMedianNone, true},
      {"colour 8-bit pre-blur, chroma-large 30, common median", 3, 8, 30, 32, 30, 1, 0,
       kMedianCommon, true},
      {"colour 16-bit chroma-large, dynamics, strong median", 3, 16, 12, 10, 10, 2, 0.5,
       kMedianStrong, true},
      {"grey 16-bit pre-blur, dynamics, common median", 1, 16, 28, 28, 0, 3, -1, kMedianCommon,
       true},
      {"grey 8-bit strong median", 1, 8, 12, 12, 0, 1, 0, kMedianStrong, true},
      {"colour 8-bit as components", 3, 8, 14, 14, 10, 2, 0, kMedianNone, false},
  };
  const int32_t width = 1237;
  const int32_t height = 333;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const Picture noisy = testpics::AddNoise(
        testpics::SmoothScene(width, height, c.components, c.bits), 9.0, c.components + c.bits);
    const DenoiseRequest request = RequestOf(c);
    Picture whole(width, height, c.components, c.bits);
    RunTiles(whole, noisy, request, {}, 1, width + 1);

    Picture tiled(width, height, c.components, c.bits);
    DenoisePicture(tiled, noisy, request);
    EXPECT_TRUE(testpics::BitIdentical(tiled, whole)) << "DenoisePicture";

    const int32_t limit = LimitAtTheReach(DenoiseFootprint(request), 300);
    RunTiles(tiled, noisy, request, {}, 2, limit);
    EXPECT_TRUE(testpics::BitIdentical(tiled, whole)) << "tiles of " << limit;

    std::mutex cache;
    RunSharedTiles(tiled, noisy, request, {}, 2, limit, CpuForTheCard(cache));
    EXPECT_TRUE(testpics::BitIdentical(tiled, whole)) << "shared tiles of " << limit;
  }
}

}  // namespace
