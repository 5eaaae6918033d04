#include "engine/non_local_means.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <new>
#include <system_error>
#include <thread>
#include <type_traits>
#include <vector>

#include "engine/denoise.h"
#include "engine/engine_progress.h"
#include "engine/mirror_pad.h"
#include "engine/nlm_kernels.h"
#include "engine/nlm_offset_passes.h"
#include "engine/split_rows.h"
#include "engine/weight_table_cache.h"
#include "picture/allocation_failures.h"

namespace {

// The padding radius grows with the raster's smaller side up to this; the 6 × 6 patch is 3 × 3
// boxes of 2 × 2 cells, so it reaches 3 pixels beyond its pixel on either side.
constexpr int32_t kLargestRadius = 35;
constexpr int32_t kCellSide = 2;
constexpr int32_t kPatchReach = 3;

}  // namespace

int32_t SearchWindowSide(int32_t quality) {
  switch (quality) {
    case 1:
      return 7;
    case 2:
      return 13;
    default:
      return 21;
  }
}

NlmGeometry ComputeNlmGeometry(int32_t width, int32_t height, int32_t quality) {
  NlmGeometry g;
  g.width = width;
  g.height = height;
  const int32_t m = std::min(width, height);
  g.radius = std::min(2 * (m / 2) - 1, 2 * kLargestRadius + 1) / 2;
  g.border = g.radius + 3;
  g.paddedWidth = width + 2 * g.border;
  g.paddedHeight = height + 2 * g.border;
  g.cellWidth = g.paddedWidth / 2;
  g.cellHeight = g.paddedHeight / 2;
  g.searchSide = SearchWindowSide(quality);
  g.searchRadius = g.searchSide / 2;
  g.offsetCount = g.searchSide * g.searchSide / 2 + 1;
  return g;
}

// From a smaller side of 2 · (kLargestRadius + 1) on, the radius is kLargestRadius; rasters with a
// side of 16 or less, which are copied, lie below that.
Footprint NlmFootprint(int32_t quality) {
  return {SearchWindowSide(quality) / 2 + kPatchReach, kCellSide, 2 * (kLargestRadius + 1)};
}

NlmOffset OffsetAt(int32_t t, int32_t searchSide) {
  const int32_t r = searchSide / 2;
  return {t / searchSide - r, t % searchSide - r};
}

namespace {

// Bands of rows. A thread takes one band at a time through all offsets, so the band's sums stay in
// the level-2 cache (1 MB a core here) instead of streaming through memory once per offset. For the
// widest tiles of the sequential grid (1100 pixels, 1176 padded) and bands of h rows:
//   sums                h × 1100 × 8 bytes (8-bit) or 12 bytes (16-bit)
//   expanded box rows   (h/2 + 6) × 1176 × 2 bytes for each of the 3 or 4 offsets of a pass
//   guide, value rows   (h + 10) × 1176 × 1 byte (+ 2 bytes for 16-bit values)
// Bands of 48 rows at 8 bits and 32 rows at 16 bits give the same 422 KB of sums, and with the
// rest some 700 KB. Each offset rebuilds the cell rows its box rows need — the window reaches 10
// rows below the band — that is h/2 + 8 rows for h/2 rows of the band: 1.3 × (48 rows) or
// 1.5 × (32 rows) the cells of a whole-raster pass, a small price next to the accumulation.
// Taller bands would leave the cache; lower ones rebuild proportionally more cell rows.
template <typename Sample>
constexpr int32_t kBandRows = sizeof(Sample) == 1 ? 48 : 32;

// The bands of one call: at most kBandRows rows each, as many as a multiple of the thread count so
// that no thread idles through the last band while another finishes (a 1100-row tile at 8 bits
// and two threads: 24 bands of 46 rows rather than 23 of 48). Rows stay even.
struct BandPlan {
  int32_t rows;
  int32_t count;
};

template <typename Sample>
BandPlan PlanBands(int32_t height, int32_t threads) {
  const int32_t fewest = (height + kBandRows<Sample> - 1) / kBandRows<Sample>;
  const int32_t count = std::min((fewest + threads - 1) / threads * threads, (height + 1) / 2);
  const int32_t rows = ((height + count - 1) / count + 1) / 2 * 2;
  return {rows, (height + rows - 1) / rows};
}

// The working memory of the calls made from one thread, kept from call to call. A picture is
// denoised tile by tile and component by component, each call needing the same few megabytes
// (for an 1100-pixel tile: 1.4 MB of padded guide, 1.2 MB of result, some 1 MB of scratch a
// thread), and memory fresh from the system costs a page fault for every 4 KB first touched,
// some 5 % of a run when every call allocated anew. The vectors only grow, so tiles of the
// slightly different sizes of one grid share them.
template <typename Sum>
struct CallMemory {
  std::vector<uint8_t> guide;
  std::vector<uint8_t> values;
  std::vector<uint8_t> result;
  std::vector<NlmBandScratch<Sum>> scratch;
};

template <typename Sum>
CallMemory<Sum>& MemoryOfThisThread() {
  thread_local CallMemory<Sum> memory;
  return memory;
}

// A single-component raster record over `storage`, grown as needed. The record does not own its
// pixels: it is never released through the picture buffer functions. Throws std::bad_alloc.
SBxPicBuf RasterIn(std::vector<uint8_t>& storage, int32_t width, int32_t height, uint32_t bits) {
  const int32_t stride = width * static_cast<int32_t>(bits / 8);
  storage.resize(static_cast<size_t>(stride) * height);
  return {storage.data(), stride * height, stride, width, height, 1, bits};
}

// Copies a single-component raster into the centre of a padded raster of the same depth and
// mirrors it into the border, which writes every border pixel: no clearing is needed.
SBxPicBuf BuildPadded(std::vector<uint8_t>& storage, const SBxPicBuf& image, const NlmGeometry& g,
                      int32_t threads) {
  SBxPicBuf padded = RasterIn(storage, g.paddedWidth, g.paddedHeight, image.bitsPerComponent);
  CopyRectInBands(padded, image, {g.border, g.border}, {0, 0}, {g.width, g.height}, threads);
  MirrorPad(padded, g.border);
  return padded;
}

// The progress steps of the calling thread. Splitting the offsets among n threads, it would own
// t = 0, n, 2n, …, that is ⌈offsets / n⌉ of them, and send one step after each. Threads share bands
// instead, so it sends the same number of steps spread over the run: after each (band, offset)
// unit it finishes, as many as the units finished by all threads so far are worth.
class ProgressShare {
 public:
  ProgressShare(const RunControl& run, int64_t steps, int64_t units)
      : run_(run), steps_(steps), units_(units) {}

  void Update(int64_t unitsDone) {
    const int64_t due = unitsDone * steps_ / units_;
    while (sent_ < due && !run_.StopRequested()) {
      StepProgress(run_);
      ++sent_;
    }
  }
  void Finish() { Update(units_); }

 private:
  const RunControl& run_;
  int64_t steps_;
  int64_t units_;
  int64_t sent_ = 0;
};

// What every thread of one call shares: read-only inputs, the next band to take, the count of
// finished units and the result raster, whose rows each band writes once.
template <typename Sample>
struct FilterJob {
  const NlmGeometry& g;
  NlmPlanes<Sample> planes;
  const CompactWeightTables& tables;
  const NlmRowKernels& kernels;
  BandPlan bands;
  SBxPicBuf& result;
  const RunControl& run;
  std::atomic<int32_t> nextBand{0};
  std::atomic<int64_t> unitsDone{0};
};

NlmBand BandAt(const NlmGeometry& g, const BandPlan& bands, int32_t index) {
  return {index * bands.rows, std::min((index + 1) * bands.rows, g.height)};
}

// out(x) = J(x) / L(x) rounded half up, clamped to the depth's maximum; L is at least 10000. For
// 16-bit values the quotient is formed in double from the exact integer sums, as the sums in
// double of the straightforward filter would give it.
template <typename Sample, typename Sum>
void WriteBand(SBxPicBuf& result, const NlmBandScratch<Sum>& scratch, const NlmGeometry& g,
               NlmBand band) {
  for (int32_t y = band.y0; y < band.y1; ++y) {
    Sample* row = PicRow<Sample>(result, y);
    const size_t base = static_cast<size_t>(y - band.y0) * g.width;
    for (int32_t x = 0; x < g.width; ++x) {
      const uint32_t weight = scratch.weightSum[base + x];
      const Sum sum = scratch.valueSum[base + x];
      if constexpr (std::is_same_v<Sample, uint8_t>) {
        // 2 · sum + weight < 2^32: sum ≤ 441 · 10000 · 255 < 2^31.
        const uint32_t rounded = (2 * sum + weight) / (2 * weight);
        row[x] = static_cast<Sample>(std::min<uint32_t>(rounded, 255));
      } else {
        const double mean = static_cast<double>(sum) / static_cast<double>(weight);
        row[x] = static_cast<Sample>(std::min(mean + 0.5, 65535.0));
      }
    }
  }
}

// Takes bands until none is left, each through all offsets, and writes their result rows. The
// calling thread passes its progress share. Returns early on a cancel; the band in hand is then
// left unwritten.
template <typename Sample, typename Sum>
void FilterBands(NlmBandScratch<Sum>& scratch, FilterJob<Sample>& job, ProgressShare* progress) {
  const NlmGeometry& g = job.g;
  for (;;) {
    const int32_t index = job.nextBand.fetch_add(1, std::memory_order_relaxed);
    if (index >= job.bands.count || job.run.StopRequested()) return;
    const NlmBand band = BandAt(g, job.bands, index);
    StartBandSums(scratch, job.planes, g, band);  // the centre, the last offset
    job.unitsDone.fetch_add(1, std::memory_order_relaxed);
    const int32_t last = g.offsetCount - 1;
    for (int32_t t = 0; t < last; t += kOffsetsPerPass<Sample>) {
      const int32_t count = std::min(kOffsetsPerPass<Sample>, last - t);
      NlmOffset offsets[kOffsetsPerPass<Sample>];
      for (int32_t k = 0; k < count; ++k) offsets[k] = OffsetAt(t + k, g.searchSide);
      AccumulateBandOffsets(scratch, job.planes, g, band, offsets, count, job.tables, job.kernels);
      const int64_t done = job.unitsDone.fetch_add(count, std::memory_order_relaxed) + count;
      if (progress != nullptr) progress->Update(done);
      if (job.run.StopRequested()) return;
    }
    WriteBand<Sample, Sum>(job.result, scratch, g, band);
  }
}

// The common body of the four members. `values` is null for 8-bit input (the guide is averaged).
template <typename Sample, typename Sum>
bool RunNonLocalMeans(SBxPicBuf& out, const SBxPicBuf& in, const SBxPicBuf& guide,
                      const SBxPicBuf* values, double strengthTerm, int32_t quality,
                      double dynamics, int32_t threadCount, const RunControl& run) {
  if (in.width <= 16 || in.height <= 16) {
    if (CBxPicBufAPI::ReinitHeap(out, in)) return true;
    CBxPicBufAPI::Copy(out, in);
    return false;
  }
  const CompactWeightTables* tables =
      WeightTableCache::Process().ObtainCompact(dynamics, strengthTerm);
  if (tables == nullptr) return true;

  const NlmGeometry g = ComputeNlmGeometry(in.width, in.height, quality);
  const int32_t threads = std::clamp(threadCount, 1, 16);
  const BandPlan bands = PlanBands<Sample>(g.height, threads);
  const int32_t busyThreads = std::min(threads, bands.count);
  CallMemory<Sum>& memory = MemoryOfThisThread<Sum>();
  SBxPicBuf paddedGuide;
  SBxPicBuf paddedValues;
  SBxPicBuf result;
  try {
    paddedGuide = BuildPadded(memory.guide, guide, g, threads);
    paddedValues =
        values != nullptr ? BuildPadded(memory.values, *values, g, threads) : paddedGuide;
    result = RasterIn(memory.result, in.width, in.height, in.bitsPerComponent);
    if (memory.scratch.size() < static_cast<size_t>(busyThreads))
      memory.scratch.resize(busyThreads);
    for (int32_t k = 0; k < busyThreads; ++k) {
      memory.scratch[k].Size(g, bands.rows, kOffsetsPerPass<Sample>);
    }
  } catch (const std::bad_alloc&) {
    NoteAllocationFailure();
    return true;
  }
  std::vector<NlmBandScratch<Sum>>& scratch = memory.scratch;
  const NlmPlanes<Sample> planes{paddedGuide.data,
                                 reinterpret_cast<const Sample*>(paddedValues.data)};
  FilterJob<Sample> job{g, planes, *tables, ActiveNlmKernels(), bands, result, run};

  ProgressShare share(run, (g.offsetCount - 1) / threads + 1,
                      static_cast<int64_t>(job.bands.count) * g.offsetCount);
  // When the system refuses a thread, the others take its bands.
  std::vector<std::thread> workers;
  try {
    for (int32_t k = 1; k < busyThreads; ++k) {
      workers.emplace_back([&, k] { FilterBands<Sample, Sum>(scratch[k], job, nullptr); });
    }
  } catch (const std::system_error&) {
  }
  FilterBands<Sample, Sum>(scratch[0], job, &share);
  for (std::thread& worker : workers) worker.join();
  // The steps still due (all of them when the workers took every band) go out before the cancel
  // check, so that a cancel raised from one of them stops the result as one raised earlier would.
  share.Finish();
  if (run.StopRequested()) return false;

  if (CBxPicBufAPI::ReinitHeap(out, in)) return true;
  CopyRectInBands(out, result, {0, 0}, {0, 0}, {in.width, in.height}, threads);
  return false;
}

double StrengthTerm(double strength) { return std::pow(strength, 3.5); }

}  // namespace

bool NonLocalMeans8(SBxPicBuf& out, const SBxPicBuf& in, const SBxPicBuf& guide, double strength,
                    int32_t quality, double dynamics, const RunControl& run, double /*noise*/) {
  return RunNonLocalMeans<uint8_t, uint32_t>(out, in, guide, nullptr, StrengthTerm(strength),
                                             quality, dynamics, 1, run);
}

bool NonLocalMeans8Multi(SBxPicBuf& out, const SBxPicBuf& in, const SBxPicBuf& guide,
                         double strength, int32_t quality, double dynamics, int32_t threadCount,
                         const RunControl& run, double /*noise*/) {
  return RunNonLocalMeans<uint8_t, uint32_t>(out, in, guide, nullptr, StrengthTerm(strength),
                                             quality, dynamics, threadCount, run);
}

bool NonLocalMeans16(SBxPicBuf& out, const SBxPicBuf& in, const SBxPicBuf& guide,
                     const SBxPicBuf& values, int32_t strength, int32_t quality, double dynamics,
                     const RunControl& run, double /*noise*/) {
  return RunNonLocalMeans<uint16_t, uint64_t>(out, in, guide, &values, StrengthTerm(strength),
                                              quality, dynamics, 1, run);
}

bool NonLocalMeans16Multi(SBxPicBuf& out, const SBxPicBuf& in, const SBxPicBuf& guide,
                          const SBxPicBuf& values, int32_t strength, int32_t quality,
                          double dynamics, int32_t threadCount, const RunControl& run,
                          double /*noise*/) {
  return RunNonLocalMeans<uint16_t, uint64_t>(out, in, guide, &values, StrengthTerm(strength),
                                              quality, dynamics, threadCount, run);
}
