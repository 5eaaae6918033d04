// Cutting a picture into overlapping tiles, running the per-tile pipeline on each and pasting each
// tile's core into the output; and the progress estimate of a run. Each tile's source is the region
// around its core that the pipeline's footprint asks for (engine/footprint.h), so the result is the
// same as that of the picture denoised in one piece, whatever the tiles.
#pragma once

#include <cstdint>
#include <vector>

#include "engine/denoise.h"
#include "engine/footprint.h"
#include "picture/pic_buf.h"

// Pictures narrower and lower than this are denoised whole.
constexpr int32_t kTileLimit = 1000;

struct Tile {
  TileRect source;  // what the pipeline sees
  TileRect core;    // what is pasted into the output
};

// The sequential grid: ⌈W/u⌉ × ⌈H/u⌉ tiles in row-major order, cores of u × u pixels clipped to the
// picture, sources the regions around them for `footprint`.
std::vector<Tile> SequentialGrid(int32_t width, int32_t height, int32_t tileLimit,
                                 const Footprint& footprint);

// The progress estimate of one unit (a tile, or the whole untiled picture) and of the sequential
// grid, in steps of the progress bar.
struct ProgressEstimate {
  uint32_t offsetsPerComponent;  // o: the window's offsets, divided among the CPU threads
  uint32_t perUnit;              // t with processInYUV, else o div 2
};
ProgressEstimate EstimateProgress(const DenoiseRequest& params, uint32_t components,
                                  uint32_t threadCount);

// How a picture is run: untiled below the tile limit, else shared between the graphics card and a
// CPU worker when params.useGpu and params.fusion are set and more than one CPU thread is
// available, else on the sequential grid.
enum class TileMode { kUntiled, kShared, kSequential };
TileMode ChooseTileMode(int32_t width, int32_t height, const DenoiseRequest& params,
                        int32_t threadCount, int32_t tileLimit = kTileLimit);

// Denoises `in` into `out` (same geometry) in the mode `ChooseTileMode` gives; with `needed`, exactly
// inside it at least (DenoisePicture). The progress bar is initialised here.
void RunTiles(SBxPicBuf& out, const SBxPicBuf& in, const DenoiseRequest& params,
              const RunControl& run, int32_t threadCount, int32_t tileLimit = kTileLimit,
              const TileRect* needed = nullptr);
