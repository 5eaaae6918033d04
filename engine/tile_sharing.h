// The CPU+GPU tile sharing: the calling thread denoises tiles on the graphics card while one
// `TileWorker` thread denoises tiles on the CPU, both taking them from one `TileQueue`. Near the
// end of the picture each thread predicts whether its partner would finish the remaining tiles
// sooner and, if so, stops taking tiles; the partner then takes all that are left.
//
// That prediction needs a finished tile of each partner, and a tile is a large share of a picture
// (a sixth of a 6-megapixel one). So before the card takes a tile, a small cut of the first tile
// runs on it for a few offsets: a card many times slower than the CPU (a software renderer on the
// same cores) is found out there and takes no tile. And each thread reports the progress of the
// tile in hand: a thread whose tile is predicted to end later than its partner could finish that
// tile and every remaining one hands the tile back and stops. Until the card has finished a tile
// the worker uses every CPU; from then on it leaves one to the card's thread.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <vector>

#include "engine/denoise.h"
#include "engine/run_control.h"
#include "engine/tile_driver.h"
#include "picture/pic_buf.h"

// The shared grid: ⌈W/u⌉ × ⌈H/u⌉ tiles in row-major order with cores of ⌈W/columns⌉ × ⌈H/rows⌉
// pixels clamped to the picture, sources the regions around them for `footprint`. A tile has the
// same source on the graphics card and on the CPU.
std::vector<Tile> SharingGrid(int32_t width, int32_t height, int32_t tileLimit,
                              const Footprint& footprint);

// The 32-bit millisecond tick counter of the system (steady clock).
uint32_t SystemTickCount();

// Denoises one tile raster, on the graphics card when params.useGpu is set. `run` is the tile's
// own: its sink counts the tile's progress steps (the shared run's bar steps once per tile) and its
// stop flag ends the tile early, on a cancel or when the tile is handed back. True when the tile
// could not be denoised.
using TileFunction =
    std::function<bool(SBxPicBuf& out, const SBxPicBuf& in, const DenoiseRequest& params,
                       int32_t threadCount, const RunControl& run)>;

// `DenoiseTile` with the tile's run control; the pipeline itself never fails a tile (only a
// replaced pipeline, as in tests, does).
bool DenoiseQueuedTile(SBxPicBuf& out, const SBxPicBuf& in, const DenoiseRequest& params,
                       int32_t threadCount, const RunControl& run);

// What a shared run works with; tests replace the clock and the per-tile pipeline.
struct SharingServices {
  std::function<uint32_t()> tickCount = SystemTickCount;
  TileFunction denoiseTile = DenoiseQueuedTile;
};

// The tile a thread has in hand and what its progress has shown so far. Tick counts in ms.
struct TileInHand {
  bool busy = false;
  uint32_t index = 0;
  double start = 0;            // when it was handed out
  uint32_t steps = 0;          // progress steps of the tile so far
  uint32_t expectedSteps = 1;  // the steps a whole tile takes, estimated (engine/tile_driver.h)
  double firstStep = 0;        // when its first and its latest step came
  double lastStep = 0;
  StopFlag stop;  // raised on a cancel of the run and when the tile is handed back
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
  TileInHand callerTile;
  TileInHand workerTile;
  std::vector<uint32_t> handedBack;  // tiles given back unfinished, handed out again first
  bool gpuTimed = false;             // the graphics card has finished a tile
  std::mutex mutex;
  std::condition_variable tileEnded;  // a tile in hand was finished, given up or handed back
  const SBxPicBuf& input;
  SBxPicBuf& output;
  int32_t columns;
  int32_t rows;
  Footprint footprint;     // of the pipeline, which every tile's source covers
  DenoiseRequest request;  // the run's values; each tile's run says itself where it runs
  RunControl run;
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

// Hands the next tile to `thread` (a tile handed back first), or nothing when that thread is to
// stop taking tiles: all tiles are handed out, or its partner is predicted to finish the rest
// sooner. Either way the partner then takes every remaining tile. While the partner has a tile in
// hand that it may still hand back, a thread that finds no tile left waits for it instead of
// stopping. One progress step per tile handed out the first time.
std::optional<TileGrant> AcquireTile(TileQueue& queue, TileThread thread);

// One progress step of the tile `thread` has in hand. Hands the tile back (raises its stop flag and
// makes the partner take every remaining tile) when it is predicted to end later than the partner
// could finish it and all remaining tiles; returns true then.
bool NoteTileStep(TileQueue& queue, TileThread thread);

// The end of the tile `thread` had in hand, finished or not; `finishedOnGpu` when the graphics card
// finished it, which times the card.
void EndTile(TileQueue& queue, TileThread thread, bool finishedOnGpu);

// For a thread that stops after a failed tile: makes its partner take every remaining tile and
// returns true, or returns false when the partner has stopped already and `thread` must go on.
bool LeaveTilesToPartner(TileQueue& queue, TileThread thread);

// The worker thread: takes tiles and denoises them on the CPU until acquisition or a cancel stops
// it.
void TileWorker(TileQueue& queue);

// The shared run: initialises the bar to tiles + 3, starts the worker, probes the graphics card and
// denoises tiles on it on the calling thread unless it is far too slow, and waits for the worker. A
// tile that fails on the graphics card is denoised on the CPU instead, and the worker takes the
// rest; a cancel discards the tiles in progress.
void RunSharedTiles(SBxPicBuf& out, const SBxPicBuf& in, const DenoiseRequest& params,
                    const RunControl& run, int32_t threadCount, int32_t tileLimit,
                    SharingServices services = {});
