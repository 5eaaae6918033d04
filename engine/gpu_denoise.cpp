#include "engine/gpu_denoise.h"

#include <algorithm>
#include <cmath>
#include <functional>

#include "engine/denoise.h"
#include "engine/engine_progress.h"
#include "engine/mirror_pad.h"
#include "engine/non_local_means.h"
#include "gpu/gpgpu.h"

namespace {

void PassThrough(SBxPicBuf& destination, const SBxPicBuf& source) {
  if (!CBxPicBufAPI::ReinitHeap(destination, source)) CBxPicBufAPI::Copy(destination, source);
}

// Copies `source` into the middle of a zero-filled padded raster and mirrors each component's
// border through the scratch plane, which keeps the last component. True on allocation failure.
bool PadInto(SBxPicBuf& padded, SBxPicBuf& scratch, const SBxPicBuf& source, int32_t pad) {
  const int32_t W = source.width + 2 * pad;
  const int32_t H = source.height + 2 * pad;
  if (CBxPicBufAPI::ReinitHeap(padded, W, H, source.components, source.bitsPerComponent) ||
      CBxPicBufAPI::ReinitHeap(scratch, W, H, 1, source.bitsPerComponent)) {
    return true;
  }
  CBxPicBufAPI::SetConst(padded, 0);
  CBxPicBufAPI::SetConst(scratch, 0);
  CBxPicBufAPI::CopyRect(padded, source, {pad, pad}, {0, 0}, {source.width, source.height});
  for (uint32_t k = 0; k < padded.components; ++k) {
    CBxPicBufAPI::ExtractComponent(scratch, k, padded);
    MirrorPad(scratch, pad);
    CBxPicBufAPI::InsertComponent(padded, k, scratch);
  }
  return false;
}

// Re-creates `source` from the interior of `padded`, which is then released.
void RestoreSource(SBxPicBuf& source, SBxPicBuf& padded, int32_t pad, int32_t w, int32_t h) {
  if (!CBxPicBufAPI::ReinitHeap(source, w, h, padded.components, padded.bitsPerComponent)) {
    CBxPicBufAPI::CopyRect(source, padded, {0, 0}, {pad, pad}, {w, h});
  }
  CBxPicBufAPI::DoneHeap(padded);
}

// One pass per offset of the half window and its centre, in the engine's order.
void RunOffsets(int32_t quality, const RunControl& run,
                const std::function<void(int32_t dx, int32_t dy)>& pass) {
  const int32_t side = SearchWindowSide(quality);
  for (int32_t i = 0; i <= side * side / 2; ++i) {
    const NlmOffset offset = OffsetAt(i, side);
    pass(offset.dx, offset.dy);
    StepProgress(run);
    if (run.StopRequested()) break;
  }
}

void Finish(CGPGPU& gpu, SBxPicBuf& destination, const SBxPicBuf& source, const RunControl& run) {
  if (CBxPicBufAPI::ReinitHeap(destination, source)) return;
  if (!run.StopRequested()) gpu.ResolveAndRead(destination.data);
}

}  // namespace

CGPGPU* UsableGpu(const RunControl& run) {
  return run.gpu != nullptr && run.gpu->usable ? run.gpu : nullptr;
}

int32_t GpuPadRadius(int32_t width, int32_t height) {
  const int32_t m = std::min(width, height);
  return std::min(m / 2 * 2 - 1, 71) / 2;
}

void GpuDenoiseSingleGuide(SBxPicBuf& destination, SBxPicBuf& source, SBxPicBuf& guide,
                           double strength, int32_t quality, double dynamics,
                           const RunControl& run, double /*noiseLevel*/) {
  CGPGPU* gpu = UsableGpu(run);
  const int32_t r = GpuPadRadius(destination.width, destination.height);
  const int32_t pad = r + 3;
  ScopedPicBuf padded;
  ScopedPicBuf scratch;
  if (gpu == nullptr || PadInto(*padded, *scratch, source, pad)) {
    PassThrough(destination, source);
    return;
  }
  const int32_t w = source.width;
  const int32_t h = source.height;
  const auto bits = static_cast<int32_t>(source.bitsPerComponent);
  const auto variance = static_cast<float>(std::pow(strength, 3.5));
  CBxPicBufAPI::DoneHeap(source);
  CBxPicBufAPI::DoneHeap(destination);
  CBxPicBufAPI::DoneHeap(guide);
  gpu->UploadSingleGuide(padded->data, scratch->data, w, h,
                         static_cast<int32_t>(padded->components), r, bits);
  RunOffsets(quality, run, [&](int32_t dx, int32_t dy) {
    gpu->RunOffsetPass1(dx, dy, r, variance, static_cast<float>(dynamics));
  });
  CBxPicBufAPI::DoneHeap(*scratch);
  RestoreSource(source, *padded, pad, w, h);
  Finish(*gpu, destination, source, run);
}

void GpuDenoiseYuv(SBxPicBuf& destination, SBxPicBuf& source, SBxPicBuf& guide, double lumaStrength,
                   double chromaStrength, int32_t quality, double dynamics, const RunControl& run,
                   double /*noiseLevelY*/, double /*noiseLevelUV*/) {
  CGPGPU* gpu = UsableGpu(run);
  const int32_t r = GpuPadRadius(destination.width, destination.height);
  const int32_t pad = r + 3;
  ScopedPicBuf padded;
  ScopedPicBuf paddedGuide;
  ScopedPicBuf scratch;
  if (gpu == nullptr || PadInto(*padded, *scratch, source, pad) ||
      PadInto(*paddedGuide, *scratch, guide, pad)) {
    PassThrough(destination, source);
    return;
  }
  const int32_t w = source.width;
  const int32_t h = source.height;
  const auto bits = static_cast<int32_t>(source.bitsPerComponent);
  const auto varianceY = static_cast<float>(std::pow(lumaStrength, 3.5));
  const auto varianceUV = static_cast<float>(std::pow(chromaStrength, 3.5));
  CBxPicBufAPI::DoneHeap(source);
  CBxPicBufAPI::DoneHeap(destination);
  CBxPicBufAPI::DoneHeap(guide);
  gpu->UploadTripleGuide(padded->data, paddedGuide->data, w, h, r, bits);
  RunOffsets(quality, run, [&](int32_t dx, int32_t dy) {
    gpu->RunOffsetPass3(dx, dy, r, varianceY, varianceUV, static_cast<float>(dynamics));
  });
  CBxPicBufAPI::DoneHeap(*paddedGuide);
  RestoreSource(source, *padded, pad, w, h);
  Finish(*gpu, destination, source, run);
}
