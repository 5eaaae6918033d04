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

// Tile k of a columns × rows grid over a width × height picture, its source the region around its
// core for `footprint`.
Tile SharedTile(int32_t width, int32_t height, int32_t columns, int32_t rows, uint32_t k,
                const Footprint& footprint) {
  const int32_t tw = CeilDiv(width, columns);
  const int32_t th = CeilDiv(height, rows);
  const auto c = static_cast<int32_t>(k % static_cast<uint32_t>(columns));
  const auto r = static_cast<int32_t>(k / static_cast<uint32_t>(columns));
  const TileRect core{std::clamp(c * tw, 0, width), std::clamp(r * th, 0, height),
                      std::clamp((c + 1) * tw, 0, width), std::clamp((r + 1) * th, 0, height)};
  return {RegionAround(core, footprint, width, height), core};
}

// One thread's counters in the queue.
struct ThreadSide {
  uint32_t& acquisitions;
  double& busyMs;
  double& lastStart;
  uint8_t& adaptive;
  TileInHand& tile;
};

ThreadSide SideOf(TileQueue& queue, TileThread thread) {
  if (thread == TileThread::kCaller) {
    return {queue.callerAcquisitions, queue.callerBusyMs, queue.callerLastStart,
            queue.callerAdaptive, queue.callerTile};
  }
  return {queue.workerAcquisitions, queue.workerBusyMs, queue.workerLastStart, queue.workerAdaptive,
          queue.workerTile};
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

// When the tile in hand is predicted to end, from the pace of its steps after the first (which
// also carries the tile's set-up): none before two steps a measurable time apart.
std::optional<double> PredictedEnd(const TileInHand& tile) {
  if (tile.steps < 2 || tile.lastStep <= tile.firstStep) return std::nullopt;
  const double perStep = (tile.lastStep - tile.firstStep) / (tile.steps - 1);
  const uint32_t stepsLeft = tile.steps < tile.expectedSteps ? tile.expectedSteps - tile.steps : 1;
  const double remaining = stepsLeft * perStep;
  return tile.lastStep + remaining;
}

// A thread's time for one tile: the average over the tiles it has finished, else the predicted
// length of the one in hand.
std::optional<double> TileMs(const ThreadSide& side) {
  if (side.acquisitions >= 2) return side.busyMs / (side.acquisitions - 1);
  const std::optional<double> end = side.tile.busy ? PredictedEnd(side.tile) : std::nullopt;
  if (!end) return std::nullopt;
  return *end - side.tile.start;
}

// True when the tile Y has in hand is predicted to end later than X could finish its own tile,
// every remaining one and Y's tile besides.
bool PartnerWouldFinishItSooner(const TileQueue& queue, const ThreadSide& x, const ThreadSide& y,
                                double now) {
  const std::optional<double> yEnd = PredictedEnd(y.tile);
  const std::optional<double> xTile = TileMs(x);
  if (!yEnd || !xTile) return false;
  double xFree = now;
  if (x.tile.busy) xFree = std::max(now, PredictedEnd(x.tile).value_or(x.tile.start + *xTile));
  const double tilesForX = queue.tilesLeft + queue.handedBack.size() + 1.0;
  return *yEnd > xFree + tilesForX * *xTile;
}

DenoiseRequest TileParams(const TileQueue& queue, bool useGpu) {
  DenoiseRequest params = queue.request;
  params.useGpu = useGpu;
  params.fusion = false;
  return params;
}

// A sink for the steps of one tile: the range and position calls of a run's bar do not concern it.
class StepSink : public ProgressSink {
 public:
  void SetRange(uint32_t, uint32_t) override {}
  void SetStep(int32_t) override {}
  void SetPos(uint32_t) override {}
};

// Counts the progress steps of one thread's tile into the queue.
class TileProgress : public StepSink {
 public:
  TileProgress(TileQueue& queue, TileThread thread) : queue_(queue), thread_(thread) {}
  void DeltaPos(int32_t) override { NoteTileStep(queue_, thread_); }

 private:
  TileQueue& queue_;
  TileThread thread_;
};

// The probe of the card: a cut of at most kProbeSide × kProbeSide pixels of the first tile, run on
// the card for a few offsets before it is handed any tile, while the worker starts on its own. Its
// pace, scaled to a whole tile, tells a card many times slower than the CPU (a software renderer on
// the same cores) for the price of a few small offsets; such a card takes no tile at all. A card
// within kSlowCard of the CPU takes tiles as usual, and the hand-back settles the rest. The margin
// is wide because a small cut can show a fast card slower than it is (each pass has a fixed cost),
// never faster; and the pace is judged over at least kProbeMs, which a fast card's whole probe
// hardly lasts, so that the millisecond ticks cannot make it look slow.
constexpr int32_t kProbeSide = 256;
constexpr double kSlowCard = 10;
constexpr double kProbeMs = 10;

class CardProbe : public StepSink {
 public:
  CardProbe(TileQueue& queue, double tileSteps) : queue_(queue), tileSteps_(tileSteps) {}

  // Ends the probe as soon as the card's pace and the worker's are known, or when nothing is left
  // to share or the run is cancelled.
  void DeltaPos(int32_t) override {
    const std::lock_guard<std::mutex> lock(queue_.mutex);
    const double now = queue_.services.tickCount();
    if (++steps_ == 1) first_ = now;
    if (queue_.run.StopRequested() || queue_.nextTile == queue_.totalTiles) stop.Request();
    const std::optional<double> workerTile = TileMs(SideOf(queue_, TileThread::kWorker));
    if (steps_ < 2 || now - first_ < kProbeMs || !workerTile) return;
    slow = (now - first_) / (steps_ - 1) * tileSteps_ > kSlowCard * *workerTile;
    stop.Request();
  }

  StopFlag stop;
  bool slow = false;

 private:
  TileQueue& queue_;
  double tileSteps_;  // a whole tile's steps, times its area over the cut's
  uint32_t steps_ = 0;
  double first_ = 0;
};

// True when the probe shows the card too slow to share with.
bool CardTooSlow(TileQueue& queue) {
  const Tile first = SharedTile(queue.input.width, queue.input.height, queue.columns, queue.rows, 0,
                                queue.footprint);
  const TileRect& s = first.source;
  const int32_t width = std::min(s.Width(), kProbeSide);
  const int32_t height = std::min(s.Height(), kProbeSide);
  ScopedPicBuf cut;
  ScopedPicBuf result;
  if (CBxPicBufAPI::ReinitHeap(*cut, width, height, queue.input.components,
                               queue.input.bitsPerComponent) ||
      CBxPicBufAPI::ReinitHeap(*result, *cut)) {
    return false;
  }
  CBxPicBufAPI::CopyRect(*cut, queue.input, {0, 0}, {s.x0, s.y0}, {width, height});
  const DenoiseRequest params = TileParams(queue, true);
  const double area = static_cast<double>(s.Width()) * s.Height() / (width * height);
  CardProbe probe(queue, EstimateProgress(params, queue.input.components, 1).perUnit * area);
  queue.services.denoiseTile(*result, *cut, params, queue.cpuCount,
                             RunControl(&probe, &probe.stop, queue.run.gpu));
  return probe.slow;
}

// Starts the run of the tile in hand on the card or the CPU: the pace of its steps is measured
// afresh, against the steps a tile takes there.
void BeginTileRun(TileQueue& queue, TileThread thread, bool useGpu, int32_t threadCount) {
  const std::lock_guard<std::mutex> lock(queue.mutex);
  TileInHand& tile = SideOf(queue, thread).tile;
  tile.start = queue.services.tickCount();
  tile.steps = 0;
  tile.expectedSteps = EstimateProgress(TileParams(queue, useGpu), queue.input.components,
                                        static_cast<uint32_t>(threadCount))
                           .perUnit;
}

bool DenoiseTileOn(TileQueue& queue, SBxPicBuf& out, const SBxPicBuf& in, bool useGpu,
                   int32_t threadCount, const RunControl& run) {
  const DenoiseRequest params = TileParams(queue, useGpu);
  if (useGpu) return queue.services.denoiseTile(out, in, params, threadCount, run);
  const std::lock_guard<std::mutex> lock(queue.cpuFilter);
  return queue.services.denoiseTile(out, in, params, threadCount, run);
}

enum class TileOutcome { kPasted, kFailed, kCancelled, kHandedBack };

// Cuts the tile's source out of the input, denoises it and pastes its core into the output. After
// a cancel or a hand-back the tile is discarded; a tile that failed is not pasted either.
TileOutcome RunQueuedTile(TileQueue& queue, TileThread thread, uint32_t index, bool useGpu,
                          int32_t threadCount) {
  const Tile tile = SharedTile(queue.input.width, queue.input.height, queue.columns, queue.rows,
                               index, queue.footprint);
  ScopedPicBuf source;
  ScopedPicBuf result;
  const TileRect& s = tile.source;
  if (CBxPicBufAPI::ReinitHeap(*source, s.Width(), s.Height(), queue.input.components,
                               queue.input.bitsPerComponent) ||
      CBxPicBufAPI::ReinitHeap(*result, *source)) {
    return TileOutcome::kFailed;
  }
  CBxPicBufAPI::CopyRect(*source, queue.input, {0, 0}, {s.x0, s.y0}, {s.Width(), s.Height()});
  BeginTileRun(queue, thread, useGpu, threadCount);
  TileProgress progress(queue, thread);
  const StopFlag& stop = SideOf(queue, thread).tile.stop;
  const bool failed = DenoiseTileOn(queue, *result, *source, useGpu, threadCount,
                                    RunControl(&progress, &stop, queue.run.gpu));
  if (queue.run.StopRequested()) return TileOutcome::kCancelled;
  if (stop.Requested()) return TileOutcome::kHandedBack;
  if (failed) return TileOutcome::kFailed;
  const TileRect& c = tile.core;
  CBxPicBufAPI::CopyRect(queue.output, *result, {c.x0, c.y0}, {c.x0 - s.x0, c.y0 - s.y0},
                         {c.Width(), c.Height()});
  return TileOutcome::kPasted;
}

// The loop of either thread. The calling thread runs its tiles on the graphics card; one that
// fails there is denoised on the CPU. After a failure the partner takes the tiles that are left,
// or, when it has stopped already, this thread goes on with them on the CPU. A thread that has
// handed its tile back takes no more.
void TakeTiles(TileQueue& queue, TileThread thread) {
  bool useGpu = thread == TileThread::kCaller;
  while (const std::optional<TileGrant> grant = AcquireTile(queue, thread)) {
    TileOutcome outcome = RunQueuedTile(queue, thread, grant->index, useGpu, grant->threadCount);
    const bool failed = outcome == TileOutcome::kFailed;
    if (failed && useGpu) {
      outcome = RunQueuedTile(queue, thread, grant->index, false, grant->threadCount);
    }
    EndTile(queue, thread, useGpu && !failed && outcome == TileOutcome::kPasted);
    if (outcome == TileOutcome::kCancelled || outcome == TileOutcome::kHandedBack) return;
    if (failed) {
      if (LeaveTilesToPartner(queue, thread)) return;
      useGpu = false;
    }
  }
}

}  // namespace

std::vector<Tile> SharingGrid(int32_t width, int32_t height, int32_t tileLimit,
                              const Footprint& footprint) {
  const int32_t columns = CeilDiv(width, tileLimit);
  const int32_t rows = CeilDiv(height, tileLimit);
  const auto count = static_cast<uint32_t>(columns * rows);
  std::vector<Tile> tiles;
  tiles.reserve(count);
  for (uint32_t k = 0; k < count; ++k) {
    tiles.push_back(SharedTile(width, height, columns, rows, k, footprint));
  }
  return tiles;
}

uint32_t SystemTickCount() {
  const auto now = std::chrono::steady_clock::now().time_since_epoch();
  return static_cast<uint32_t>(std::chrono::duration_cast<std::chrono::milliseconds>(now).count());
}

bool DenoiseQueuedTile(SBxPicBuf& out, const SBxPicBuf& in, const DenoiseRequest& params,
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
      footprint(DenoiseFootprint(params)),
      request(params),
      run(runControl),
      tileLimit(limit),
      cpuCount(callerThreads),
      services(std::move(tileServices)) {
  totalTiles = static_cast<uint32_t>(columns * rows);
  tilesLeft = totalTiles;
}

// The tick counts are compared as they come: a run across the counter's wrap (every 49.7 days)
// only misjudges when to stop, it never leaves a tile untaken.
std::optional<TileGrant> AcquireTile(TileQueue& queue, TileThread thread) {
  std::unique_lock<std::mutex> lock(queue.mutex);
  const ThreadSide x = SideOf(queue, thread);
  const ThreadSide y = SideOf(queue, PartnerOf(thread));
  const uint32_t now = queue.services.tickCount();
  if (x.acquisitions > 0) x.busyMs += now - x.lastStart;
  ++x.acquisitions;
  x.lastStart = now;
  if (queue.nextTile == queue.totalTiles) {
    // The partner's tile may still come back while the partner is free to stop.
    queue.tileEnded.wait(lock, [&] {
      return !queue.handedBack.empty() || !y.tile.busy || y.adaptive == 0 ||
             queue.run.StopRequested();
    });
    x.lastStart = queue.services.tickCount();
  }
  uint32_t k = 0;
  if (!queue.handedBack.empty()) {
    k = queue.handedBack.back();
    queue.handedBack.pop_back();
  } else if (queue.nextTile == queue.totalTiles ||
             (x.adaptive != 0 && x.acquisitions >= 2 && y.acquisitions >= 2 &&
              PartnerFinishesSooner(queue, x, y))) {
    y.adaptive = 0;
    return std::nullopt;
  } else {
    k = queue.nextTile++;
    --queue.tilesLeft;
    StepProgress(queue.run);
  }
  x.tile.busy = true;
  x.tile.index = k;
  x.tile.stop.Clear();
  // The worker's tiles get every CPU thread until the graphics card has finished a tile, and again
  // once the calling thread has stopped.
  if (thread == TileThread::kWorker && x.adaptive == 0) queue.threadCount = queue.cpuCount;
  const bool allCpus = thread == TileThread::kWorker && !queue.gpuTimed;
  return TileGrant{k, allCpus ? queue.cpuCount : queue.threadCount};
}

bool NoteTileStep(TileQueue& queue, TileThread thread) {
  const std::lock_guard<std::mutex> lock(queue.mutex);
  const ThreadSide y = SideOf(queue, thread);
  const ThreadSide x = SideOf(queue, PartnerOf(thread));
  TileInHand& tile = y.tile;
  if (!tile.busy) return false;
  if (queue.run.StopRequested()) tile.stop.Request();
  const double now = queue.services.tickCount();
  if (++tile.steps == 1) tile.firstStep = now;
  tile.lastStep = now;
  // Once the partner has stopped, this thread finishes every tile itself.
  if (y.adaptive == 0 || tile.stop.Requested() || !PartnerWouldFinishItSooner(queue, x, y, now)) {
    return false;
  }
  tile.stop.Request();
  queue.handedBack.push_back(tile.index);
  x.adaptive = 0;
  queue.tileEnded.notify_all();
  return true;
}

void EndTile(TileQueue& queue, TileThread thread, bool finishedOnGpu) {
  const std::lock_guard<std::mutex> lock(queue.mutex);
  SideOf(queue, thread).tile.busy = false;
  queue.gpuTimed = queue.gpuTimed || finishedOnGpu;
  queue.tileEnded.notify_all();
}

bool LeaveTilesToPartner(TileQueue& queue, TileThread thread) {
  const std::lock_guard<std::mutex> lock(queue.mutex);
  // A partner that stopped cleared this thread's flag.
  if (SideOf(queue, thread).adaptive == 0) return false;
  SideOf(queue, PartnerOf(thread)).adaptive = 0;
  queue.tileEnded.notify_all();
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
  // A card far slower than the CPU leaves every tile to the worker, unless the worker has stopped
  // already; without a worker the card takes them all.
  if (!worker.joinable() || !CardTooSlow(queue) ||
      !LeaveTilesToPartner(queue, TileThread::kCaller)) {
    TakeTiles(queue, TileThread::kCaller);
  }
  if (worker.joinable()) worker.join();
}
