#include "engine/denoise_component.h"

#include <algorithm>

#include "engine/denoise.h"
#include "engine/non_local_means.h"
#include "engine/split_rows.h"
#include "engine/gpu_denoise.h"

namespace {

// Runs the CPU member that fits the raster's depth and the thread count, from the even-sized P into
// Z. True when the filter failed.
bool FilterOnCpu(SBxPicBuf& z, const SBxPicBuf& p, double strength, int32_t quality,
                 double doubledDynamics, const RunControl& run, double noiseLevel,
                 int32_t threadCount) {
  const int32_t threads = std::min(threadCount, 16);
  if (p.bitsPerComponent == 8) {
    // The 8-bit guide is P itself: the filter averages the values it measures distances on.
    return threads <= 1 ? NonLocalMeans8(z, p, p, strength, quality, doubledDynamics, run,
                                         noiseLevel)
                        : NonLocalMeans8Multi(z, p, p, strength, quality, doubledDynamics,
                                              threads, run, noiseLevel);
  }
  // The full-depth values are P itself (the filter only reads them); the guide is P at 8 bits.
  ScopedPicBuf guide;
  if (CBxPicBufAPI::ReinitHeap(*guide, p)) return true;
  CopyRectInBands(*guide, p, {0, 0}, {0, 0}, {p.width, p.height}, threads);
  if (CBxPicBufAPI::ConvertBpcComp(*guide, 8, 1)) return true;
  const auto wholeStrength = static_cast<int32_t>(strength);
  return threads <= 1 ? NonLocalMeans16(z, p, *guide, p, wholeStrength, quality,
                                        doubledDynamics, run, noiseLevel)
                      : NonLocalMeans16Multi(z, p, *guide, p, wholeStrength, quality,
                                             doubledDynamics, threads, run, noiseLevel);
}

// The graphics-card filter from the even-sized P into Z; it releases and re-creates both. True when
// the guide cannot be made.
bool FilterOnGpu(SBxPicBuf& z, SBxPicBuf& p, double strength, int32_t quality,
                 double doubledDynamics, const RunControl& run, double noiseLevel) {
  ScopedPicBuf guide;
  if (CBxPicBufAPI::ReinitHeap(*guide, p) || CBxPicBufAPI::ReinitHeap(z, p)) return true;
  CBxPicBufAPI::Copy(*guide, p);
  if (CBxPicBufAPI::ConvertBpcComp(*guide, 8, 1)) return true;
  GpuDenoiseSingleGuide(z, p, *guide, strength, quality, doubledDynamics, run, noiseLevel);
  return false;
}

// The filters visit pixels in 2 × 2 blocks: odd sides get a black column or row, cropped after.
// Runs `filter(Z, P)` on the even-sized copy P of `in` and writes the top-left of Z into `out`, or
// `in` itself when the filter failed or the run was cancelled. The copies are shared by `threads`.
template <typename Filter>
void FilterWithEvenSides(SBxPicBuf& out, const SBxPicBuf& in, int32_t threads,
                         const RunControl& run, Filter filter) {
  const int32_t evenWidth = in.width + (in.width & 1);
  const int32_t evenHeight = in.height + (in.height & 1);
  ScopedPicBuf p;
  ScopedPicBuf z;
  bool failed =
      CBxPicBufAPI::ReinitHeap(*p, evenWidth, evenHeight, in.components, in.bitsPerComponent);
  if (!failed) {
    CopyRectInBands(*p, in, {0, 0}, {0, 0}, {in.width, in.height}, threads);
    CBxPicBufAPI::SetConst(*p, {in.width, 0, evenWidth, evenHeight}, 0);
    CBxPicBufAPI::SetConst(*p, {0, in.height, evenWidth, evenHeight}, 0);
    failed = filter(*z, *p);
  }
  if (CBxPicBufAPI::ReinitHeap(out, in)) return;
  const bool passThrough =
      failed || z->data == nullptr || run.StopRequested();
  CopyRectInBands(out, passThrough ? in : *z, {0, 0}, {0, 0}, {in.width, in.height}, threads);
}

void DenoiseEachComponent(SBxPicBuf& out, const SBxPicBuf& in, double strength, int32_t quality,
                          double dynamics, const RunControl& run, double noiseLevel, bool useGpu,
                          int32_t threadCount) {
  ScopedPicBuf plane;
  ScopedPicBuf denoised;
  if (CBxPicBufAPI::ReinitHeap(*plane, in.width, in.height, 1, in.bitsPerComponent) ||
      CBxPicBufAPI::ReinitHeap(*denoised, *plane) || CBxPicBufAPI::ReinitHeap(out, in)) {
    return;
  }
  for (uint32_t c = 0; c < in.components; ++c) {
    CBxPicBufAPI::ExtractComponent(*plane, c, in);
    DenoiseComponent(*denoised, *plane, strength, quality, dynamics, run, noiseLevel, useGpu,
                     threadCount);
    CBxPicBufAPI::InsertComponent(out, c, *denoised);
  }
}

}  // namespace

void DenoiseComponent(SBxPicBuf& out, const SBxPicBuf& in, double strength, int32_t quality,
                      double dynamics, const RunControl& run, double noiseLevel, bool useGpu,
                      int32_t threadCount) {
  if (in.components > 1) {
    DenoiseEachComponent(out, in, strength, quality, dynamics, run, noiseLevel, useGpu,
                         threadCount);
    return;
  }
  FilterWithEvenSides(out, in, threadCount, run, [&](SBxPicBuf& z, SBxPicBuf& p) {
    return useGpu ? FilterOnGpu(z, p, strength, quality, 2.0 * dynamics, run, noiseLevel)
                  : FilterOnCpu(z, p, strength, quality, 2.0 * dynamics, run, noiseLevel,
                                threadCount);
  });
}

void DenoiseYUVOnGPU(SBxPicBuf& out, const SBxPicBuf& in, double lumaStrength,
                     double chromaStrength, int32_t quality, double dynamics,
                     const RunControl& run, double lumaNoise, double chromaNoise) {
  FilterWithEvenSides(out, in, 1, run, [&](SBxPicBuf& z, SBxPicBuf& p) {
    ScopedPicBuf guide;
    if (CBxPicBufAPI::ReinitHeap(*guide, p) || CBxPicBufAPI::ReinitHeap(z, p)) return true;
    CBxPicBufAPI::Copy(*guide, p);
    GpuDenoiseYuv(z, p, *guide, lumaStrength, chromaStrength, quality, 2.0 * dynamics, run,
                  lumaNoise, chromaNoise);
    return false;
  });
}
