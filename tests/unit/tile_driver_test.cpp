#include "engine/tile_driver.h"

#include <gtest/gtest.h>

#include <vector>

#include "engine/denoise.h"
#include "engine/denoise_tile.h"
#include "support/recording_progress.h"
#include "support/test_pictures.h"

namespace {

using testpics::Picture;

TEST(SequentialGrid, CutsThousandPixelCoresWithSourcesAroundThemForTheFootprint) {
  const std::vector<Tile> tiles = SequentialGrid(2500, 1200, kTileLimit, {13, 2, 72});
  ASSERT_EQ(tiles.size(), 6u);
  // Row-major: row 0 columns 0, 1, 2, then row 1.
  EXPECT_EQ(tiles[0].source, (TileRect{0, 0, 1014, 1014}));
  EXPECT_EQ(tiles[0].core, (TileRect{0, 0, 1000, 1000}));
  EXPECT_EQ(tiles[1].source, (TileRect{986, 0, 2014, 1014}));
  EXPECT_EQ(tiles[1].core, (TileRect{1000, 0, 2000, 1000}));
  EXPECT_EQ(tiles[2].source, (TileRect{1986, 0, 2500, 1014}));
  EXPECT_EQ(tiles[2].core, (TileRect{2000, 0, 2500, 1000}));
  EXPECT_EQ(tiles[4].source, (TileRect{986, 986, 2014, 1200}));
  EXPECT_EQ(tiles[4].core, (TileRect{1000, 1000, 2000, 1200}));
}

TEST(SequentialGrid, NarrowPictureIsOneTile) {
  const std::vector<Tile> tiles = SequentialGrid(1000, 10, kTileLimit, {98, 8, 288});
  ASSERT_EQ(tiles.size(), 1u);
  EXPECT_EQ(tiles[0].source, (TileRect{0, 0, 1000, 10}));
  EXPECT_EQ(tiles[0].core, (TileRect{0, 0, 1000, 10}));
}

TEST(ProgressEstimate, FollowsWindowThreadsComponentsAndChromaPass) {
  struct Case {
    int32_t quality;
    bool gpu;
    uint32_t components;
    double large;
    bool yuv;
    uint32_t threads;
    uint32_t o, perUnit;
  };
  const Case cases[] = {
      {1, false, 1, 0, true, 1, 49, 24},      // grey: o div 2
      {2, false, 3, 0, true, 2, 84, 126},     // 169 div 2 = 84; 3o div 2
      {3, false, 3, 10, true, 2, 220, 550},   // 441 div 2 = 220; 5o div 2
      {3, false, 3, 10, false, 2, 220, 110},  // without YUV: o div 2
      {3, true, 3, 10, true, 2, 441, 661},    // GPU: 3o div 2
      {3, true, 3, 0, true, 2, 441, 220},     // GPU without the chroma pass: o div 2
      {7, false, 3, 1.0, true, 4, 110, 165},  // quality 7 is 21 × 21; 1.0 runs no chroma pass
  };
  for (const Case& c : cases) {
    DenoiseRequest p;
    p.quality = c.quality;
    p.useGpu = c.gpu;
    p.strengthChromaLarge = c.large;
    p.processInYUV = c.yuv;
    const ProgressEstimate e = EstimateProgress(p, c.components, c.threads);
    EXPECT_EQ(e.offsetsPerComponent, c.o) << "quality " << c.quality << " gpu " << c.gpu;
    EXPECT_EQ(e.perUnit, c.perUnit) << "quality " << c.quality << " gpu " << c.gpu;
  }
}

DenoiseRequest GreyParams(int32_t quality) {
  DenoiseRequest p;
  p.strength = p.strengthChroma = 20;
  p.quality = quality;
  p.processInYUV = true;
  return p;
}

TEST(RunTiles, UntiledPictureInitialisesTheBarToOneUnitThenStepsPerOffset) {
  const Picture noisy = testpics::AddNoise(testpics::SmoothScene(999, 20, 1, 8), 5.0, 1);
  Picture out(999, 20, 1, 8);
  RecordingProgress progress;
  RunTiles(out, noisy, GreyParams(1), &progress, 1);
  const std::vector<std::string> calls = progress.Calls();
  ASSERT_GE(calls.size(), 4u);
  EXPECT_EQ(calls[0], "delta 1");
  EXPECT_EQ(calls[1], "step 1");
  EXPECT_EQ(calls[2], "range 0 24");
  EXPECT_EQ(calls[3], "pos 1");
  EXPECT_EQ(progress.Steps(), 25);
}

TEST(RunTiles, TiledPictureInitialisesTheBarForAllTiles) {
  // 2 × 1 tiles of a grey picture: each sends one step per offset of its calling thread.
  const Picture noisy = testpics::AddNoise(testpics::SmoothScene(1500, 20, 1, 8), 5.0, 2);
  Picture out(1500, 20, 1, 8);
  RecordingProgress progress;
  RunTiles(out, noisy, GreyParams(1), &progress, 2);
  const std::vector<std::string> calls = progress.Calls();
  ASSERT_GE(calls.size(), 4u);
  EXPECT_EQ(calls[2], "range 0 24");  // 2 tiles × (49 div 2) div 2
  EXPECT_EQ(progress.Steps(), 2 * 13);
}

TEST(RunTiles, TiledResultEqualsEachTileDenoisedOnItsOwn) {
  const Picture noisy = testpics::AddNoise(testpics::SmoothScene(1100, 40, 1, 8), 5.0, 3);
  Picture out(1100, 40, 1, 8);
  RunTiles(out, noisy, GreyParams(2), nullptr, 2);
  for (const Tile& tile :
       SequentialGrid(1100, 40, kTileLimit, DenoiseFootprint(GreyParams(2)))) {
    Picture source(tile.source.Width(), tile.source.Height(), 1, 8);
    CBxPicBufAPI::CopyRect(source, noisy, {0, 0}, {tile.source.x0, tile.source.y0},
                           {tile.source.Width(), tile.source.Height()});
    Picture result(source.buf().width, source.buf().height, 1, 8);
    RunTiles(result, source, GreyParams(2), nullptr, 1);
    for (int32_t y = tile.core.y0; y < tile.core.y1; ++y) {
      for (int32_t x = tile.core.x0; x < tile.core.x1; ++x) {
        ASSERT_EQ(out.At(x, y), result.At(x - tile.source.x0, y - tile.source.y0)) << x << "," << y;
      }
    }
  }
}

TEST(RunTiles, CancelStopsAfterTheCurrentTileAndKeepsWhatWasPasted) {
  const Picture noisy = testpics::AddNoise(testpics::SmoothScene(2100, 24, 1, 8), 5.0, 4);
  const Picture before(noisy);
  Picture out = testpics::Constant(2100, 24, 1, 8, 3);
  RecordingProgress progress(30);  // the 31st advance (init + 25 + 5) raises the flag
  RunTiles(out, noisy, GreyParams(1), progress.Run(), 1);
  EXPECT_TRUE(testpics::BitIdentical(noisy, before));
  EXPECT_NE(out.At(500, 10), 3);                    // first tile denoised and pasted
  EXPECT_EQ(out.At(1500, 10), noisy.At(1500, 10));  // cancelled tile pasted undenoised
  EXPECT_EQ(out.At(2050, 10), 3);                   // third tile never run
  EXPECT_EQ(progress.Steps(), 30);                  // 25 for the first tile, 5 for the second
}

}  // namespace
