#include "engine/non_local_means.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>
#include <system_error>
#include <thread>
#include <vector>

#include "engine/denoise.h"
#include "engine/engine_progress.h"
#include "engine/mirror_pad.h"
#include "engine/nlm_offset_passes.h"
#include "engine/weight_table_cache.h"

int32_t SearchWindowSide(int32_t quality) {
  switch (quality) {
    case 1: return 7;
    case 2: return 13;
    default: return 21;
  }
}

NlmGeometry ComputeNlmGeometry(int32_t width, int32_t height, int32_t quality) {
  NlmGeometry g;
  g.width = width;
  g.height = height;
  const int32_t m = std::min(width, height);
  g.radius = std::min(2 * (m / 2) - 1, 71) / 2;
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

NlmOffset OffsetAt(int32_t t, int32_t searchSide) {
  const int32_t r = searchSide / 2;
  return {t / searchSide - r, t % searchSide - r};
}

namespace {

// The sums of the offsets one thread owns, and the scratch rasters it reuses for every offset.
// Everything is allocated once per call.
template <typename Sum>
struct NlmWorkspace {
  explicit NlmWorkspace(const NlmGeometry& g)
      : diff(static_cast<size_t>(g.paddedWidth) * g.paddedHeight),
        cells(static_cast<size_t>(g.cellWidth) * g.cellHeight),
        boxScratch(cells.size()),
        weightSum(static_cast<size_t>(g.width) * g.height),
        valueSum(weightSum.size()) {}

  std::vector<uint8_t> diff;
  std::vector<uint16_t> cells;
  std::vector<uint16_t> boxScratch;
  std::vector<Sum> weightSum;
  std::vector<Sum> valueSum;
};

// The padded guide and value rasters, shared read-only by every thread of one call.
template <typename Sample>
struct PaddedPlanes {
  const uint8_t* guide;
  const Sample* values;
};

// Copies a single-component raster into the centre of a padded raster of the same depth and
// mirrors it into the border. True on allocation failure.
bool BuildPadded(SBxPicBuf& padded, const SBxPicBuf& image, const NlmGeometry& g) {
  if (CBxPicBufAPI::ReinitHeap(padded, g.paddedWidth, g.paddedHeight, 1, image.bitsPerComponent)) {
    return true;
  }
  CBxPicBufAPI::SetConst(padded, 0);
  CBxPicBufAPI::CopyRect(padded, image, {g.border, g.border}, {0, 0}, {g.width, g.height});
  MirrorPad(padded, g.border);
  return false;
}

bool CancelRequested() { return cancelRequested.load(std::memory_order_relaxed) != 0; }

// Runs the offsets t = first, first + step, … of the half window into `ws`. The calling thread
// passes its progress sink and sends one step after each of its offsets.
template <typename Sample, typename Sum>
void RunOffsets(NlmWorkspace<Sum>& ws, const PaddedPlanes<Sample>& planes, const NlmGeometry& g,
                const WeightTables& tables, int32_t first, int32_t step, ProgressSink* progress) {
  for (int32_t t = first; t < g.offsetCount; t += step) {
    const NlmOffset d = OffsetAt(t, g.searchSide);
    DifferencePass(ws.diff.data(), planes.guide, g, d);
    CellSumPass(ws.cells.data(), ws.diff.data(), g);
    BoxSumPass(ws.cells.data(), ws.boxScratch.data(), g);
    AccumulateOffset<Sample, Sum>(ws.weightSum.data(), ws.valueSum.data(), planes.guide,
                                  planes.values, ws.cells.data(), g, d, tables);
    StepProgress(progress);
    if (CancelRequested()) break;
  }
}

// out(x) = J(x) / L(x) rounded half up, clamped to the depth's maximum. L is at least 10000.
template <typename Sample, typename Sum>
void WriteResult(SBxPicBuf& out, const NlmWorkspace<Sum>& ws, const NlmGeometry& g) {
  const double maximum = out.bitsPerComponent == 8 ? 255.0 : 65535.0;
  for (int32_t y = 0; y < g.height; ++y) {
    Sample* row = PicRow<Sample>(out, y);
    const size_t base = static_cast<size_t>(y) * g.width;
    for (int32_t x = 0; x < g.width; ++x) {
      const Sum weight = ws.weightSum[base + x];
      const Sum sum = ws.valueSum[base + x];
      if constexpr (std::is_integral_v<Sum>) {
        const uint64_t rounded = (2 * uint64_t{sum} + weight) / (2 * uint64_t{weight});
        row[x] = static_cast<Sample>(std::min<uint64_t>(rounded, static_cast<uint64_t>(maximum)));
      } else {
        row[x] = static_cast<Sample>(std::min(sum / weight + 0.5, maximum));
      }
    }
  }
}

template <typename Sum>
void AddInto(std::vector<Sum>& total, const std::vector<Sum>& part) {
  for (size_t i = 0; i < total.size(); ++i) total[i] += part[i];
}

// The common body of the four members. `values` is null for 8-bit input (the guide is averaged).
template <typename Sample, typename Sum>
bool RunNonLocalMeans(SBxPicBuf& out, const SBxPicBuf& in, const SBxPicBuf& guide,
                      const SBxPicBuf* values, double strengthTerm, int32_t quality,
                      double dynamics, int32_t threadCount, ProgressSink* progress) {
  if (in.width <= 16 || in.height <= 16) {
    if (CBxPicBufAPI::ReinitHeap(out, in)) return true;
    CBxPicBufAPI::Copy(out, in);
    return false;
  }
  const WeightTables* tables = WeightTableCache::Process().Obtain(dynamics, strengthTerm);
  if (tables == nullptr) return true;

  const NlmGeometry g = ComputeNlmGeometry(in.width, in.height, quality);
  ScopedPicBuf paddedGuide;
  ScopedPicBuf paddedValues;
  if (BuildPadded(*paddedGuide, guide, g)) return true;
  if (values != nullptr && BuildPadded(*paddedValues, *values, g)) return true;
  const PaddedPlanes<Sample> planes{
      paddedGuide->data,
      reinterpret_cast<const Sample*>(values != nullptr ? paddedValues->data : paddedGuide->data)};

  const int32_t threads = std::clamp(threadCount, 1, 16);
  std::vector<NlmWorkspace<Sum>> workspaces;
  try {
    workspaces.reserve(threads);
    for (int32_t k = 0; k < threads; ++k) workspaces.emplace_back(g);
  } catch (const std::bad_alloc&) {
    return true;
  }

  // Worker k owns the offsets k, k + n, k + 2n, …; the calling thread owns 0, n, 2n, … When the
  // system refuses a thread, the calling thread runs that share itself afterwards.
  std::vector<std::thread> workers;
  int32_t started = 1;
  try {
    for (; started < threads; ++started) {
      workers.emplace_back([&, k = started] {
        RunOffsets<Sample, Sum>(workspaces[k], planes, g, *tables, k, threads, nullptr);
      });
    }
  } catch (const std::system_error&) {
  }
  RunOffsets<Sample, Sum>(workspaces[0], planes, g, *tables, 0, threads, progress);
  for (int32_t k = started; k < threads && !CancelRequested(); ++k) {
    RunOffsets<Sample, Sum>(workspaces[k], planes, g, *tables, k, threads, nullptr);
  }
  for (std::thread& worker : workers) worker.join();
  if (CancelRequested()) return false;

  for (int32_t k = 1; k < threads; ++k) {
    AddInto(workspaces[0].weightSum, workspaces[k].weightSum);
    AddInto(workspaces[0].valueSum, workspaces[k].valueSum);
  }
  if (CBxPicBufAPI::ReinitHeap(out, in)) return true;
  WriteResult<Sample, Sum>(out, workspaces[0], g);
  return false;
}

double StrengthTerm(double strength) { return std::pow(strength, 3.5); }

}  // namespace

bool NonLocalMeans8(SBxPicBuf& out, const SBxPicBuf& in, const SBxPicBuf& guide, double strength,
                    int32_t quality, double dynamics, ProgressSink* progress, double /*noise*/) {
  return RunNonLocalMeans<uint8_t, uint32_t>(out, in, guide, nullptr, StrengthTerm(strength),
                                             quality, dynamics, 1, progress);
}

bool NonLocalMeans8Multi(SBxPicBuf& out, const SBxPicBuf& in, const SBxPicBuf& guide,
                         double strength, int32_t quality, double dynamics, int32_t threadCount,
                         ProgressSink* progress, double /*noise*/) {
  return RunNonLocalMeans<uint8_t, uint32_t>(out, in, guide, nullptr, StrengthTerm(strength),
                                             quality, dynamics, threadCount, progress);
}

bool NonLocalMeans16(SBxPicBuf& out, const SBxPicBuf& in, const SBxPicBuf& guide,
                     const SBxPicBuf& values, int32_t strength, int32_t quality, double dynamics,
                     ProgressSink* progress, double /*noise*/) {
  return RunNonLocalMeans<uint16_t, double>(out, in, guide, &values, StrengthTerm(strength),
                                            quality, dynamics, 1, progress);
}

bool NonLocalMeans16Multi(SBxPicBuf& out, const SBxPicBuf& in, const SBxPicBuf& guide,
                          const SBxPicBuf& values, int32_t strength, int32_t quality,
                          double dynamics, int32_t threadCount, ProgressSink* progress,
                          double /*noise*/) {
  return RunNonLocalMeans<uint16_t, double>(out, in, guide, &values, StrengthTerm(strength),
                                            quality, dynamics, threadCount, progress);
}
