#include "engine/tile_driver.h"

#include <algorithm>

#include "engine/denoise_tile.h"
#include "engine/engine_progress.h"
#include "engine/non_local_means.h"
#include "engine/split_rows.h"
#include "engine/tile_sharing.h"

namespace {

int32_t CeilDiv(int32_t a, int32_t b) { return (a + b - 1) / b; }

// Cuts the tile's source out of the picture, runs the pipeline and pastes the core (also after a
// cancel, which leaves the tile undenoised). True when the tile could not be allocated.
bool RunTile(SBxPicBuf& out, const SBxPicBuf& in, const Tile& tile, const DenoiseRequest& params,
             const RunControl& run, int32_t threadCount) {
  ScopedPicBuf source;
  ScopedPicBuf result;
  const TileRect& s = tile.source;
  if (CBxPicBufAPI::ReinitHeap(*source, s.Width(), s.Height(), in.components,
                               in.bitsPerComponent) ||
      CBxPicBufAPI::ReinitHeap(*result, *source)) {
    return true;
  }
  CopyRectInBands(*source, in, {0, 0}, {s.x0, s.y0}, {s.Width(), s.Height()}, threadCount);
  const TileRect& c = tile.core;
  const TileRect core{c.x0 - s.x0, c.y0 - s.y0, c.x1 - s.x0, c.y1 - s.y0};
  DenoiseTile(*result, *source, params, run, threadCount, &core);
  CopyRectInBands(out, *result, {c.x0, c.y0}, {c.x0 - s.x0, c.y0 - s.y0},
                  {c.Width(), c.Height()}, threadCount);
  return false;
}

}  // namespace

std::vector<Tile> SequentialGrid(int32_t width, int32_t height, int32_t tileLimit,
                                 const Footprint& footprint) {
  const int32_t columns = CeilDiv(width, tileLimit);
  const int32_t rows = CeilDiv(height, tileLimit);
  std::vector<Tile> tiles;
  tiles.reserve(static_cast<size_t>(columns) * rows);
  for (int32_t j = 0; j < rows; ++j) {
    for (int32_t i = 0; i < columns; ++i) {
      const int32_t x = tileLimit * i;
      const int32_t y = tileLimit * j;
      const TileRect core{x, y, std::min(x + tileLimit, width), std::min(y + tileLimit, height)};
      tiles.push_back({RegionAround(core, footprint, width, height), core});
    }
  }
  return tiles;
}

ProgressEstimate EstimateProgress(const DenoiseRequest& params, uint32_t components,
                                  uint32_t threadCount) {
  const auto side = static_cast<uint32_t>(SearchWindowSide(params.quality));
  const uint32_t windowOffsets = side * side;
  // On the GPU every offset of a component is one step of the calling thread.
  const uint32_t o = params.useGpu ? windowOffsets : windowOffsets / std::max(threadCount, 1u);
  const uint32_t r = o / 2;
  const bool colour = components == 3;
  const bool largeChroma = params.strengthChromaLarge > 1;
  uint32_t t = r;
  if (colour && params.useGpu) {
    t = largeChroma ? 3 * o / 2 : r;
  } else if (colour) {
    t = largeChroma ? 5 * o / 2 : 3 * o / 2;
  }
  return {o, params.processInYUV ? t : r};
}

TileMode ChooseTileMode(int32_t width, int32_t height, const DenoiseRequest& params,
                        int32_t threadCount, int32_t tileLimit) {
  if (width < tileLimit && height < tileLimit) return TileMode::kUntiled;
  if (params.useGpu && params.fusion && threadCount != 1) return TileMode::kShared;
  return TileMode::kSequential;
}

void RunTiles(SBxPicBuf& out, const SBxPicBuf& in, const DenoiseRequest& params,
              const RunControl& run, int32_t threadCount, int32_t tileLimit,
              const TileRect* needed) {
  const ProgressEstimate estimate =
      EstimateProgress(params, in.components, static_cast<uint32_t>(threadCount));
  const TileMode mode = ChooseTileMode(in.width, in.height, params, threadCount, tileLimit);
  if (mode == TileMode::kUntiled) {
    InitProgress(run, estimate.perUnit);
    DenoiseTile(out, in, params, run, threadCount, needed);
    return;
  }
  // The graphics card's largest tile edge is 1000 as well, so the shared grid uses the same limit.
  if (mode == TileMode::kShared) {
    RunSharedTiles(out, in, params, run, threadCount, tileLimit);
    return;
  }
  const std::vector<Tile> tiles =
      SequentialGrid(in.width, in.height, tileLimit, DenoiseFootprint(params));
  const auto count = static_cast<uint32_t>(tiles.size());
  InitProgress(run, params.processInYUV ? count * estimate.perUnit
                                             : count * estimate.offsetsPerComponent / 2);
  for (const Tile& tile : tiles) {
    if (RunTile(out, in, tile, params, run, threadCount) || run.StopRequested()) break;
  }
}
