#include "engine/tile_sharing.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <random>
#include <thread>
#include <vector>

#include "engine/denoise.h"
#include "support/recording_progress.h"
#include "support/test_pictures.h"

namespace {

using testpics::Picture;

TEST(SharingGrid, CutsEvenCoresWithSourcesAroundThemForTheFootprint) {
  const std::vector<Tile> tiles = SharingGrid(2500, 1200, kTileLimit, {98, 8, 288});
  ASSERT_EQ(tiles.size(), 6u);
  EXPECT_EQ(tiles[0].core, (TileRect{0, 0, 834, 600}));
  EXPECT_EQ(tiles[0].source, (TileRect{0, 0, 936, 704}));
  EXPECT_EQ(tiles[2].core, (TileRect{1668, 0, 2500, 600}));
  EXPECT_EQ(tiles[2].source, (TileRect{1568, 0, 2500, 704}));
  EXPECT_EQ(tiles[4].core, (TileRect{834, 600, 1668, 1200}));
  EXPECT_EQ(tiles[4].source, (TileRect{736, 496, 1768, 1200}));
}

TEST(SharingGrid, CoresCoverThePictureExactlyOnce) {
  const int32_t sizes[][3] = {{2500, 1200, 1000}, {1000, 10, 1000}, {3001, 2999, 1000},
                              {17, 5, 3},         {10, 7, 2},       {1, 1, 1}};
  for (const auto& [width, height, limit] : sizes) {
    std::vector<int> covered(static_cast<size_t>(width) * height, 0);
    for (const Tile& tile : SharingGrid(width, height, limit, {})) {
      for (int32_t y = tile.core.y0; y < tile.core.y1; ++y) {
        for (int32_t x = tile.core.x0; x < tile.core.x1; ++x) ++covered[y * width + x];
      }
    }
    for (size_t i = 0; i < covered.size(); ++i) {
      ASSERT_EQ(covered[i], 1) << width << "x" << height << " pixel " << i;
    }
  }
}

// A queue of `tiles` tiles over a tiles × 1 picture for a caller with 4 CPU threads, driven by a
// fake clock.
struct QueueFixture {
  explicit QueueFixture(uint32_t tiles)
      : in(static_cast<int32_t>(tiles), 1, 1, 8),
        out(static_cast<int32_t>(tiles), 1, 1, 8),
        queue(out, in, {}, &progress, 4, 1, {[this] { return now; }, nullptr}) {}
  uint32_t now = 0;
  Picture in;
  Picture out;
  RecordingProgress progress;
  TileQueue queue;
};

TEST(AcquireTile, StopsWhenItsNextTileWouldFinishAfterThePartnersLast) {
  // The caller has finished 2 tiles in 20 ms and started its third at 100; 2 tiles are left, so it
  // would finish everything at 130. The worker has finished one tile in 30 ms and asks again: its
  // second took 30 or 31 ms, so it predicts 130 or 131.5.
  struct Case {
    uint32_t now;
    bool callerLeftTheRest;  // the caller stopped after a failed tile
    bool granted;
  };
  const Case cases[] = {{100, false, true}, {101, false, false}, {101, true, true}};
  for (const Case& c : cases) {
    QueueFixture f(10);
    TileQueue& q = f.queue;
    q.nextTile = 8;
    q.tilesLeft = 2;
    q.callerAcquisitions = 3;
    q.callerBusyMs = 20;
    q.callerLastStart = 100;
    q.workerAcquisitions = 2;
    q.workerBusyMs = 30;
    q.workerLastStart = 70;
    q.gpuTimed = true;
    f.now = c.now;
    if (c.callerLeftTheRest) {
      ASSERT_TRUE(LeaveTilesToPartner(q, TileThread::kCaller));
    }
    const std::optional<TileGrant> grant = AcquireTile(q, TileThread::kWorker);
    ASSERT_EQ(grant.has_value(), c.granted) << "now " << c.now;
    EXPECT_EQ(q.workerBusyMs, c.now - 70 + 30);
    EXPECT_EQ(f.progress.Steps(), c.granted ? 1 : 0);
    if (grant) {
      EXPECT_EQ(grant->index, 8u);
      EXPECT_EQ(grant->threadCount, c.callerLeftTheRest ? 4 : 3);
    } else {
      // The worker's stop leaves the rest to the caller, which then cannot hand them back.
      EXPECT_FALSE(LeaveTilesToPartner(q, TileThread::kCaller));
    }
  }
}

// Two simulated devices with random tile times take tiles from one queue until both stop. A thread
// that finds no tile left while its partner may still hand one back waits for the partner's tile to
// end: its turn comes after the partner's.
TEST(AcquireTile, EveryTileIsHandedOutOnceUnderAnyTiming) {
  std::mt19937 random(7);
  const auto draw = [&random](uint32_t n) { return static_cast<uint32_t>(random() % n); };
  int earlyStops = 0;
  for (int run = 0; run < 3000; ++run) {
    const uint32_t tiles = 1 + draw(40);
    QueueFixture f(tiles);
    const uint32_t slowest[2] = {1 + draw(200), 1 + draw(200)};
    uint32_t nextCall[2] = {draw(5), draw(5)};
    bool stopped[2] = {false, false};
    std::vector<int> handedOut(tiles, 0);
    while (!stopped[0] || !stopped[1]) {
      const int t = stopped[0] ? 1 : stopped[1] ? 0 : nextCall[1] < nextCall[0] ? 1 : 0;
      f.now = nextCall[t];
      const TileThread thread = t == 0 ? TileThread::kCaller : TileThread::kWorker;
      const TileInHand& partnerTile = t == 0 ? f.queue.workerTile : f.queue.callerTile;
      const uint8_t partnerAdaptive = t == 0 ? f.queue.workerAdaptive : f.queue.callerAdaptive;
      EndTile(f.queue, thread, t == 0 && f.queue.callerTile.busy);
      if (f.queue.nextTile == tiles && partnerTile.busy && partnerAdaptive != 0) {
        nextCall[t] = nextCall[1 - t] + 1;
        continue;
      }
      const uint32_t leftBefore = f.queue.tilesLeft;
      const std::optional<TileGrant> grant = AcquireTile(f.queue, thread);
      if (!grant) {
        stopped[t] = true;
        if (leftBefore > 0) ++earlyStops;
        continue;
      }
      ++handedOut[grant->index];
      // The worker gets every thread until the caller has finished a tile on the card and once the
      // caller has stopped; the caller never does.
      EXPECT_EQ(grant->threadCount, t == 1 && (stopped[0] || !f.queue.gpuTimed) ? 4 : 3);
      nextCall[t] += 1 + draw(slowest[t]);
    }
    for (uint32_t k = 0; k < tiles; ++k) ASSERT_EQ(handedOut[k], 1) << "run " << run;
    ASSERT_EQ(f.progress.Steps(), static_cast<int32_t>(tiles));
  }
  EXPECT_GT(earlyStops, 100);  // the adaptive stop really happened
}

// Steps of a thread's tile at the given ticks; the result of the last.
bool StepsAt(QueueFixture& f, TileThread thread, std::initializer_list<uint32_t> ticks) {
  bool handedBack = false;
  for (uint32_t tick : ticks) {
    f.now = tick;
    handedBack = NoteTileStep(f.queue, thread);
  }
  return handedBack;
}

// Six tiles; at 0 the caller takes tile 0 (220 steps expected) and the worker tile 1 (100 steps,
// one a millisecond: it ends its tile at 100 and could do the 4 left and the card's by 600). A card
// whose tile is predicted to end after that hands it back at its second step (not before: the first
// carries the set-up), unless its pace is not yet measurable or it must finish every tile anyway.
TEST(NoteTileStep, HandsBackATileThatWouldEndAfterThePartnerFinishedEverything) {
  struct Case {
    const char* what;
    std::initializer_list<uint32_t> cardSteps;
    bool cardMustFinish;
    bool handedBack;
  };
  const Case cases[] = {
      {"slow card", {300, 400}, false, true},
      {"one step only", {300}, false, false},
      {"steps in the same millisecond", {300, 300}, false, false},
      {"card a little faster (ends at 468)", {30, 32}, false, false},
      {"card a little slower (ends at 687)", {30, 33}, false, true},
      {"slow card that must finish", {300, 400}, true, false},
  };
  for (const Case& c : cases) {
    QueueFixture f(6);
    TileQueue& q = f.queue;
    ASSERT_EQ(AcquireTile(q, TileThread::kCaller)->index, 0u);
    ASSERT_EQ(AcquireTile(q, TileThread::kWorker)->index, 1u);
    q.callerTile.expectedSteps = 220;
    q.workerTile.expectedSteps = 100;
    if (c.cardMustFinish) {
      ASSERT_TRUE(LeaveTilesToPartner(q, TileThread::kWorker));
    }
    EXPECT_FALSE(StepsAt(f, TileThread::kWorker, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10})) << c.what;
    EXPECT_EQ(StepsAt(f, TileThread::kCaller, c.cardSteps), c.handedBack) << c.what;
    EXPECT_EQ(q.callerTile.stop.Requested(), c.handedBack) << c.what;
    if (!c.handedBack) continue;
    // The worker takes the tile back first, with every CPU and without a second progress step,
    // then goes on with the rest.
    EXPECT_EQ(q.workerAdaptive, 0) << c.what;
    EndTile(q, TileThread::kCaller, false);
    EndTile(q, TileThread::kWorker, false);
    const std::optional<TileGrant> back = AcquireTile(q, TileThread::kWorker);
    ASSERT_TRUE(back.has_value());
    EXPECT_EQ(back->index, 0u);
    EXPECT_EQ(back->threadCount, 4);
    EXPECT_EQ(f.progress.Steps(), 2);
    EXPECT_EQ(AcquireTile(q, TileThread::kWorker)->index, 2u);
    EXPECT_EQ(f.progress.Steps(), 3);
  }
}

// A thread that finds no tile left waits while its partner may still hand its tile back: it takes
// the tile when the partner hands it back and stops when the partner finishes it.
TEST(AcquireTile, WaitsForThePartnersTileInsteadOfStopping) {
  for (const bool partnerHandsBack : {true, false}) {
    QueueFixture f(2);
    TileQueue& q = f.queue;
    ASSERT_EQ(AcquireTile(q, TileThread::kWorker)->index, 0u);
    ASSERT_EQ(AcquireTile(q, TileThread::kCaller)->index, 1u);
    q.callerTile.expectedSteps = 100;
    q.workerTile.expectedSteps = 100;
    // The worker finished its tile in 10 ms; the card needs 10 ms a step.
    f.now = 10;
    EndTile(q, TileThread::kWorker, false);
    std::optional<TileGrant> grant;
    std::thread worker([&] { grant = AcquireTile(q, TileThread::kWorker); });
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    if (partnerHandsBack) {
      // Under the queue's lock the clock no longer moves, so the fake one is safe to set here.
      EXPECT_TRUE(StepsAt(f, TileThread::kCaller, {20, 30}));
    } else {
      EndTile(q, TileThread::kCaller, true);
    }
    worker.join();
    EXPECT_EQ(grant.has_value(), partnerHandsBack);
    if (grant) {
      EXPECT_EQ(grant->index, 1u);
    }
  }
}

DenoiseRequest GreyParams(int32_t quality) {
  DenoiseRequest p;
  p.strength = p.strengthChroma = 20;
  p.quality = quality;
  p.processInYUV = true;
  p.useGpu = true;
  p.fusion = true;
  return p;
}

TEST(ChooseTileMode, SharesTilesOnlyWithGpuFusionAndMoreThanOneThread) {
  struct Case {
    int32_t width, height;
    bool gpu, fusion;
    int32_t threads;
    TileMode mode;
  };
  const Case cases[] = {
      {1500, 20, true, true, 2, TileMode::kShared},
      {1500, 20, true, true, 1, TileMode::kSequential},
      {1500, 20, true, false, 2, TileMode::kSequential},
      {1500, 20, false, true, 2, TileMode::kSequential},
      {999, 999, true, true, 2, TileMode::kUntiled},
  };
  for (const Case& c : cases) {
    DenoiseRequest params;
    params.useGpu = c.gpu;
    params.fusion = c.fusion;
    EXPECT_EQ(ChooseTileMode(c.width, c.height, params, c.threads), c.mode)
        << c.width << " " << c.gpu << " " << c.fusion << " " << c.threads;
  }
}

TEST(RunSharedTiles, GivesThePictureDenoisedInOnePiece) {
  // The "graphics card" is the CPU filter, whose weight table cache admits one filter at a time.
  // The card's tiles and the worker's have the same sources, around their cores by the pipeline's
  // footprint, and both give the cores of the picture denoised whole.
  std::mutex cache;
  const SharingServices services{
      SystemTickCount, [&cache](SBxPicBuf& out, const SBxPicBuf& in, const DenoiseRequest& p,
                                int32_t threads, const RunControl& run) {
        const std::lock_guard<std::mutex> lock(cache);
        DenoiseRequest cpu = p;
        cpu.useGpu = false;
        return DenoiseQueuedTile(out, in, cpu, threads, run);
      }};
  for (const uint32_t components : {1u, 3u}) {
    const Picture noisy =
        testpics::AddNoise(testpics::SmoothScene(700, 330, components, 8), 6.0, components);
    DenoiseRequest params = GreyParams(1);
    params.strengthChromaLarge = 10;
    Picture out(700, 330, components, 8);
    RunSharedTiles(out, noisy, params, nullptr, 3, 200, services);
    Picture whole(700, 330, components, 8);
    params.useGpu = false;
    DenoiseQueuedTile(whole, noisy, params, 1, {});
    EXPECT_TRUE(testpics::BitIdentical(out, whole)) << components << " components";
  }
}

// A per-tile stand-in that inverts every 8-bit sample; the graphics card fails when told to.
struct InvertingTiles {
  bool gpuFails = false;
  bool cancels = false;
  StopFlag stop;  // raised by every tile when `cancels`
  std::atomic<int> gpuCalls{0};
  std::atomic<int> cpuCalls{0};
  std::atomic<int> cpuInside{0};
  std::atomic<int> mostCpuInside{0};

  SharingServices Services() {
    return {SystemTickCount, [this](SBxPicBuf& out, const SBxPicBuf& in, const DenoiseRequest& p,
                                    int32_t, const RunControl&) {
              ++(p.useGpu ? gpuCalls : cpuCalls);
              if (!p.useGpu) {
                const int inside = ++cpuInside;
                if (inside > mostCpuInside) mostCpuInside = inside;
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
                --cpuInside;
              }
              for (int32_t i = 0; i < in.size; ++i) out.data[i] = static_cast<uint8_t>(~in.data[i]);
              if (cancels) stop.Request();
              return p.useGpu && gpuFails;
            }};
  }
};

TEST(RunSharedTiles, EveryTileIsPastedOnceAndAFailedGpuTileIsRedoneOnTheCpu) {
  for (const bool gpuFails : {false, true}) {
    const Picture in = testpics::RandomPicture(37, 23, 3, 8, 5);
    Picture out = testpics::Constant(37, 23, 3, 8, 0);
    InvertingTiles tiles;
    tiles.gpuFails = gpuFails;
    RecordingProgress progress;
    RunSharedTiles(out, in, GreyParams(1), &progress, 2, 4, tiles.Services());
    for (int32_t y = 0; y < 23; ++y) {
      for (int32_t x = 0; x < 37; ++x) {
        for (uint32_t c = 0; c < 3; ++c) {
          ASSERT_EQ(out.At(x, y, c), 255 - in.At(x, y, c)) << gpuFails << " " << x << "," << y;
        }
      }
    }
    EXPECT_EQ(progress.Calls()[2], "range 0 63");  // 10 × 6 tiles + 3
    EXPECT_EQ(progress.Steps(), 60);
    // One call on the card is its probe. After its first failure the calling thread hands the rest
    // to the worker.
    if (gpuFails) {
      EXPECT_EQ(tiles.gpuCalls, 2);
    }
    EXPECT_EQ(tiles.gpuCalls + tiles.cpuCalls, 1 + 60 + (gpuFails ? 1 : 0));
    EXPECT_LE(tiles.mostCpuInside, 1);  // the taken-back tile waited for the worker's
  }
}

// The probe of the card against a worker whose tiles take 36 steps of a millisecond: a card that
// takes 100 ms an offset (67 times slower on a whole tile) is found out at the probe's second step
// and takes no tile; one that takes 5 ms (3 times slower) takes tiles as usual. Every core is
// pasted once either way.
TEST(RunSharedTiles, TheProbeKeepsAMuchSlowerCardOutOfTheSharing) {
  for (const int cardMsPerStep : {100, 5}) {
    std::atomic<int> cardCalls{0};
    std::atomic<int> cardSteps{0};
    const SharingServices services{
        SystemTickCount, [&](SBxPicBuf& out, const SBxPicBuf& in, const DenoiseRequest& p, int32_t,
                             const RunControl& run) {
          if (p.useGpu) ++cardCalls;
          for (int step = 0; step < 36 && !run.StopRequested(); ++step) {
            std::this_thread::sleep_for(std::chrono::milliseconds(p.useGpu ? cardMsPerStep : 1));
            if (p.useGpu) ++cardSteps;
            run.progress->DeltaPos(1);
          }
          for (int32_t i = 0; i < in.size; ++i) out.data[i] = static_cast<uint8_t>(~in.data[i]);
          return false;
        }};
    const Picture in = testpics::RandomPicture(40, 30, 3, 8, 8);
    Picture out = testpics::Constant(40, 30, 3, 8, 0);
    RecordingProgress progress;
    RunSharedTiles(out, in, GreyParams(1), &progress, 2, 10, services);
    for (int32_t y = 0; y < 30; ++y) {
      for (int32_t x = 0; x < 40; ++x) {
        for (uint32_t c = 0; c < 3; ++c) ASSERT_EQ(out.At(x, y, c), 255 - in.At(x, y, c));
      }
    }
    EXPECT_EQ(progress.Steps(), 12);
    if (cardMsPerStep == 100) {
      EXPECT_EQ(cardCalls, 1);
      EXPECT_EQ(cardSteps, 2);
    } else {
      EXPECT_GT(cardCalls, 1);
    }
  }
}

TEST(RunSharedTiles, CancelDiscardsTheTilesInProgress) {
  const Picture in = testpics::RandomPicture(40, 10, 1, 8, 6);
  Picture out = testpics::Constant(40, 10, 1, 8, 3);
  InvertingTiles tiles;
  tiles.cancels = true;
  RecordingProgress progress;
  RunSharedTiles(out, in, GreyParams(1), RunControl(&progress, &tiles.stop), 2, 10,
                 tiles.Services());
  EXPECT_TRUE(testpics::BitIdentical(out, testpics::Constant(40, 10, 1, 8, 3)));
  EXPECT_EQ(progress.Steps(), 2);  // each thread took one tile and stopped
}

}  // namespace
