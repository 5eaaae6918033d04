#include "engine/tile_sharing.h"

#include <algorithm>
#include <chrono>
#include <system_error>
#include <thread>
#include <utility>

#include "engine/denoise_tile.h"
#include "engine/engine_progress.h"

namespace {

int32_t CeilDiv(int32_t a, int32_t b) { return (a + b - 1) / b; }

// Tile k of a columns × rows grid over a width × height picture.
Tile SharedTile(int32_t width, int32_t height, int32_t columns, int32_t rows, uint32_t k) {
  const int32_t tw = CeilDiv(width, columns);
  const int32_t th = CeilDiv(height, rows);
  const auto c = static_cast<int32_t>(k % static_cast<uint32_t>(columns));
  const auto r = static_cast<int32_t>(k / static_cast<uint32_t>(columns));
  const TileRect core{std::clamp(c * tw, 0, width), std::clamp(r * th, 0, height),
                      std::clamp((c + 1) * tw, 0, width), std::clamp((r + 1) * th, 0, height)};
  const TileRect source{
      std::max(core.x0 - kSharingMargin, 0), std::max(core.y0 - kSharingMargin, 0),
      std::min(core.x1 + kSharingMargin, width), std::min(core.y1 + kSharingMargin, height)};
  return {source, core};
}

// One thread's counters in the queue.
struct ThreadSide {
  uint32_t& acquisitions;
  double& busyMs;
  double& lastStart;
  uint8_t& adaptive;
};

ThreadSide SideOf(TileQueue& queue, TileThread thread) {
  if (thread == TileThread::kCaller) {
    return {queue.callerAcquisitions, queue.callerBusyMs, queue.callerLastStart,
            queue.callerAdaptive};
  }
  return {queue.workerAcquisitions, queue.workerBusyMs, queue.workerLastStart,
          queue.workerAdaptive};
}

TileThread PartnerOf(TileThread thread) {
  return thread == TileThread::kCaller ? TileThread::kWorker : TileThread::kCaller;
}

// True when X, taking one more tile, would finish later than Y would finish its current tile and
// all remaining ones. Averages are over the tiles each has finished (all acquisitions but the
// current one).
bool PartnerFinishesSooner(TileQueue& queue, const ThreadSide& x, const ThreadSide& y) {
  const double avgY = y.busyMs / (y.acquisitions - 1);
  const double avgX = x.busyMs / (x.acquisitions - 1);
  const double n = queue.tilesLeft;
  const double finishY = n * avgY + y.lastStart;
  const double limit = (n + 1) * avgY + y.lastStart;
  const double finishX = queue.services.tickCount() + avgX;
  return std::max(finishY, finishX) > limit;
}

DenoiseRequest TileParams(const TileQueue& queue, bool useGpu) {
  DenoiseRequest params;
  params.strength = queue.strength;
  params.strengthChroma = queue.strengthChroma;
  params.strengthChromaLarge = queue.strengthChromaLarge;
  params.quality = queue.quality;
  params.dynamics = queue.dynamics;
  params.noiseLevels = queue.noiseLevels;
  params.processInYUV = queue.processInYUV != 0;
  params.useGpu = useGpu;
  params.medianMode = queue.medianMode;
  return params;
}

bool DenoiseQueuedTile(TileQueue& queue, SBxPicBuf& out, const SBxPicBuf& in, bool useGpu,
                       int32_t threadCount) {
  const DenoiseRequest params = TileParams(queue, useGpu);
  const RunControl quiet(nullptr, queue.run.stop, queue.run.gpu);
  if (useGpu) return queue.services.denoiseTile(out, in, params, threadCount, quiet);
  const std::lock_guard<std::mutex> lock(queue.cpuFilter);
  return queue.services.denoiseTile(out, in, params, threadCount, quiet);
}

enum class TileOutcome { kPasted, kFailed, kCancelled };

// Cuts the tile's source out of the input, denoises it and pastes its core into the output. After
// a cancel the tile is discarded; a tile that failed is not pasted either.
TileOutcome RunQueuedTile(TileQueue& queue, const Tile& tile, bool useGpu, int32_t threadCount) {
  ScopedPicBuf source;
  ScopedPicBuf result;
  const TileRect& s = tile.source;
  if (CBxPicBufAPI::ReinitHeap(*source, s.Width(), s.Height(), queue.input.components,
                               queue.input.bitsPerComponent) ||
      CBxPicBufAPI::ReinitHeap(*result, *source)) {
    return TileOutcome::kFailed;
  }
  CBxPicBufAPI::CopyRect(*source, queue.input, {0, 0}, {s.x0, s.y0}, {s.Width(), s.Height()});
  const bool failed = DenoiseQueuedTile(queue, *result, *source, useGpu, threadCount);
  if (queue.run.StopRequested()) return TileOutcome::kCancelled;
  if (failed) return TileOutcome::kFailed;
  const TileRect& c = tile.core;
  CBxPicBufAPI::CopyRect(queue.output, *result, {c.x0, c.y0}, {c.x0 - s.x0, c.y0 - s.y0},
                         {c.Width(), c.Height()});
  return TileOutcome::kPasted;
}

// The loop of either thread. The calling thread runs its tiles on the graphics card; one that
// fails there is denoised on the CPU. After a failure the partner takes the tiles that are left,
// or, when it has stopped already, this thread goes on with them on the CPU.
void TakeTiles(TileQueue& queue, TileThread thread) {
  bool useGpu = thread == TileThread::kCaller;
  while (const std::optional<TileGrant> grant = AcquireTile(queue, thread)) {
    const Tile tile =
        SharedTile(queue.input.width, queue.input.height, queue.columns, queue.rows, grant->index);
    TileOutcome outcome = RunQueuedTile(queue, tile, useGpu, grant->threadCount);
    const bool failed = outcome == TileOutcome::kFailed;
    if (failed && useGpu) outcome = RunQueuedTile(queue, tile, false, grant->threadCount);
    if (outcome == TileOutcome::kCancelled) return;
    if (failed) {
      if (LeaveTilesToPartner(queue, thread)) return;
      useGpu = false;
    }
  }
}

}  // namespace

std::vector<Tile> SharingGrid(int32_t width, int32_t height, int32_t tileLimit) {
  const int32_t columns = CeilDiv(width, tileLimit);
  const int32_t rows = CeilDiv(height, tileLimit);
  const auto count = static_cast<uint32_t>(columns * rows);
  std::vector<Tile> tiles;
  tiles.reserve(count);
  for (uint32_t k = 0; k < count; ++k) tiles.push_back(SharedTile(width, height, columns, rows, k));
  return tiles;
}

uint32_t SystemTickCount() {
  const auto now = std::chrono::steady_clock::now().time_since_epoch();
  return static_cast<uint32_t>(std::chrono::duration_cast<std::chrono::milliseconds>(now).count());
}

bool DenoiseTileQuietly(SBxPicBuf& out, const SBxPicBuf& in, const DenoiseRequest& params,
                        int32_t threadCount, const RunControl& run) {
  DenoiseTile(out, in, params, run, threadCount);
  return false;
}

TileQueue::TileQueue(SBxPicBuf& out, const SBxPicBuf& in, const DenoiseRequest& params,
                     const RunControl& runControl, int32_t callerThreads, int32_t limit,
                     SharingServices tileServices)
    : threadCount(callerThreads - 1),
      input(in),
      output(out),
      columns(CeilDiv(in.width, limit)),
      rows(CeilDiv(in.height, limit)),
      strength(params.strength),
      strengthChroma(params.strengthChroma),
      strengthChromaLarge(params.strengthChromaLarge),
      quality(params.quality),
      medianMode(params.medianMode),
      dynamics(params.dynamics),
      run(runControl),
      noiseLevels(params.noiseLevels),
      processInYUV(params.processInYUV ? 1 : 0),
      tileLimit(limit),
      cpuCount(callerThreads),
      services(std::move(tileServices)) {
  totalTiles = static_cast<uint32_t>(columns * rows);
  tilesLeft = totalTiles;
}

// The tick counts are compared as they come: a run across the counter's wrap (every 49.7 days)
// only misjudges when to stop, it never leaves a tile untaken.
std::optional<TileGrant> AcquireTile(TileQueue& queue, TileThread thread) {
  const std::lock_guard<std::mutex> lock(queue.mutex);
  const ThreadSide x = SideOf(queue, thread);
  const ThreadSide y = SideOf(queue, PartnerOf(thread));
  const uint32_t now = queue.services.tickCount();
  if (x.acquisitions > 0) x.busyMs += now - x.lastStart;
  ++x.acquisitions;
  x.lastStart = now;
  if (queue.nextTile == queue.totalTiles ||
      (x.adaptive != 0 && x.acquisitions >= 2 && y.acquisitions >= 2 &&
       PartnerFinishesSooner(queue, x, y))) {
    y.adaptive = 0;
    return std::nullopt;
  }
  // Once the calling thread has stopped, the worker's tiles get every CPU thread.
  if (thread == TileThread::kWorker && x.adaptive == 0) queue.threadCount = queue.cpuCount;
  const uint32_t k = queue.nextTile++;
  --queue.tilesLeft;
  StepProgress(queue.run);
  return TileGrant{k, queue.threadCount};
}

bool LeaveTilesToPartner(TileQueue& queue, TileThread thread) {
  const std::lock_guard<std::mutex> lock(queue.mutex);
  // A partner that stopped cleared this thread's flag.
  if (SideOf(queue, thread).adaptive == 0) return false;
  SideOf(queue, PartnerOf(thread)).adaptive = 0;
  return true;
}

void TileWorker(TileQueue& queue) { TakeTiles(queue, TileThread::kWorker); }

void RunSharedTiles(SBxPicBuf& out, const SBxPicBuf& in, const DenoiseRequest& params,
                    const RunControl& run, int32_t threadCount, int32_t tileLimit,
                    SharingServices services) {
  TileQueue queue(out, in, params, run, threadCount, tileLimit, std::move(services));
  InitProgress(run, queue.totalTiles + 3);
  std::thread worker;
  try {
    worker = std::thread(TileWorker, std::ref(queue));
  } catch (const std::system_error&) {
    // Without a worker the partner never acquires, so the calling thread takes every tile.
  }
  TakeTiles(queue, TileThread::kCaller);
  if (worker.joinable()) worker.join();
}
