// The CPU+GPU tile sharing: the calling thread denoises tiles on the graphics card while one
// `TileWorker` thread denoises tiles on the CPU, both taking them from one `TileQueue`. Near the
// end of the picture each thread predicts whether its partner would finish the remaining tiles
// sooner and, if so, stops taking tiles; the partner then takes all that are left.
#pragma once

#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <vector>

#include "engine/denoise.h"
#include "engine/denoise.h"
#include "engine/tile_driver.h"
#include "picture/pic_buf.h"
#include "engine/run_control.h"

// Context around the core of a shared tile.
constexpr int32_t kSharingMargin = 100;

// The shared grid: ⌈W/u⌉ × ⌈H/u⌉ tiles in row-major order with cores of ⌈W/columns⌉ × ⌈H/rows⌉
// pixels, sources grown by 100 pixels, both clamped to the picture.
std::vector<Tile> SharingGrid(int32_t width, int32_t height, int32_t tileLimit);

// The 32-bit millisecond tick counter of the system (steady clock).
uint32_t SystemTickCount();

// Denoises one tile raster under `run`, which has no progress sink (the shared run steps once per
// tile): on the run's graphics card when params.useGpu is set, stopping early when the run's stop
// flag is raised. True when the tile could not be denoised.
using TileFunction =
    std::function<bool(SBxPicBuf& out, const SBxPicBuf& in, const DenoiseRequest& params,
                       int32_t threadCount, const RunControl& run)>;

// `DenoiseTile` in the order of a TileFunction; the pipeline itself never fails a tile (only a
// replaced pipeline, as in tests, does).
bool DenoiseTileQuietly(SBxPicBuf& out, const SBxPicBuf& in, const DenoiseRequest& params,
                        int32_t threadCount, const RunControl& run);

// What a shared run works with; tests replace the clock and the per-tile pipeline.
struct SharingServices {
  std::function<uint32_t()> tickCount = SystemTickCount;
  TileFunction denoiseTile = DenoiseTileQuietly;
};

// The state the two threads share. Counters, times, flags and the thread count are read and
// written only while holding `mutex`.
struct TileQueue {
  TileQueue(SBxPicBuf& out, const SBxPicBuf& in, const DenoiseRequest& params,
            const RunControl& run, int32_t threadCount, int32_t tileLimit,
            SharingServices services);

  uint32_t totalTiles;
  uint32_t nextTile = 0;
  uint32_t tilesLeft;
  int32_t threadCount;  // CPU filter threads of a tile: one fewer than the caller's at first
  uint32_t workerAcquisitions = 0;
  uint32_t callerAcquisitions = 0;
  double workerBusyMs = 0;
  double callerBusyMs = 0;
  double workerLastStart = 0;  // tick counts
  double callerLastStart = 0;
  uint8_t callerAdaptive = 1;
  uint8_t workerAdaptive = 1;
  std::mutex mutex;
  const SBxPicBuf& input;
  SBxPicBuf& output;
  int32_t columns;
  int32_t rows;
  double strength;
  double strengthChroma;
  double strengthChromaLarge;
  int32_t quality;
  int32_t medianMode;
  double dynamics;
  RunControl run;
  NoiseLevels noiseLevels;
  uint8_t processInYUV;
  int32_t tileLimit;
  // The caller's CPU thread count, which the worker takes over once the caller has stopped.
  int32_t cpuCount;
  SharingServices services;
  // Held around every tile run on the CPU: the weight table cache of the CPU filter is unlocked, so
  // a tile the calling thread takes back from the graphics card waits for the worker's.
  std::mutex cpuFilter;
};

enum class TileThread { kCaller, kWorker };

// A tile handed out: its index and the CPU thread count to run it with.
struct TileGrant {
  uint32_t index;
  int32_t threadCount;
};

// Hands the next tile to `thread`, or nothing when that thread is to stop taking tiles: all tiles
// are handed out, or its partner is predicted to finish the rest sooner. Either way the partner
// then takes every remaining tile. One progress step per tile handed out.
std::optional<TileGrant> AcquireTile(TileQueue& queue, TileThread thread);

// For a thread that stops after a failed tile: makes its partner take every remaining tile and
// returns true, or returns false when the partner has stopped already and `thread` must go on.
bool LeaveTilesToPartner(TileQueue& queue, TileThread thread);

// The worker thread: takes tiles and denoises them on the CPU until acquisition or a cancel stops
// it.
void TileWorker(TileQueue& queue);

// The shared run: initialises the bar to tiles + 3, starts the worker, denoises tiles on the
// graphics card on the calling thread and waits for the worker. A tile that fails on the graphics
// card is denoised on the CPU instead, and the worker takes the rest; a cancel discards the tiles
// in progress.
void RunSharedTiles(SBxPicBuf& out, const SBxPicBuf& in, const DenoiseRequest& params,
                    const RunControl& run, int32_t threadCount, int32_t tileLimit,
                    SharingServices services = {});
