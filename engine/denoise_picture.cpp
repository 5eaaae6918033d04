#include <algorithm>
#include <cmath>

#include "engine/denoise.h"
#include "engine/gpu_denoise.h"
#include "engine/tile_driver.h"
#include "platform/cpu_affinity.h"

namespace {

bool IsSupportedInput(const SBxPicBuf& in) {
  return in.width > 0 && in.height > 0 && (in.components == 1 || in.components == 3) &&
         (in.bitsPerComponent == 8 || in.bitsPerComponent == 16);
}

// Strengths are powers (s^3.5) and dynamics scale them: only finite, non-negative strengths and
// finite dynamics give weights at all.
bool AreUsableParameters(const DenoiseRequest& request) {
  const auto usable = [](double s) { return std::isfinite(s) && s >= 0; };
  return usable(request.strength) && usable(request.strengthChroma) &&
         usable(request.strengthChromaLarge) && std::isfinite(request.dynamics);
}

// Nothing to smooth and no point-artefact pass: the conversion to YUV and back alone would move
// samples by a level, so such a run hands the picture back as it is.
bool ChangesNothing(const DenoiseRequest& request) {
  return request.strength == 0 && request.strengthChroma == 0 &&
         request.strengthChromaLarge <= 1 && request.medianMode == kMedianNone;
}

bool SameGeometry(const SBxPicBuf& a, const SBxPicBuf& b) {
  return a.data != nullptr && a.width == b.width && a.height == b.height &&
         a.components == b.components && a.bitsPerComponent == b.bitsPerComponent;
}

}  // namespace

uint32_t EngineThreadCount() { return std::min<uint32_t>(AffinityCpuBitLength(), 255); }

void DenoisePicture(SBxPicBuf& out, const SBxPicBuf& in, const DenoiseRequest& request,
                    const RunControl& run, const TileRect* needed) {
  if (in.data == nullptr) return;
  if (!SameGeometry(out, in) && CBxPicBufAPI::ReinitHeap(out, in)) return;
  if (!IsSupportedInput(in) || !AreUsableParameters(request) || ChangesNothing(request)) {
    CBxPicBufAPI::Copy(out, in);
    return;
  }
  DenoiseRequest tiles = request;
  // Without a usable graphics card (none, refused, or its programs did not build) the CPU runs the
  // filters instead.
  tiles.useGpu = request.useGpu && UsableGpu(run) != nullptr;
  RunTiles(out, in, tiles, run, static_cast<int32_t>(EngineThreadCount()), kTileLimit, needed);
}

void DenoisePicture(SBxPicBuf& out, const SBxPicBuf& in, double strength, double strengthChroma,
                    double strengthChromaLarge, int32_t quality, double dynamics,
                    ProgressSink* progress, NoiseLevels noiseLevels, bool processInYUV, bool useGpu,
                    bool fusion, int32_t medianMode, CGPGPU* gpu) {
  DenoiseRequest request;
  request.strength = strength;
  request.strengthChroma = strengthChroma;
  request.strengthChromaLarge = strengthChromaLarge;
  request.quality = quality;
  request.dynamics = dynamics;
  request.medianMode = medianMode;
  request.processInYUV = processInYUV;
  request.useGpu = useGpu;
  request.fusion = fusion;
  request.noiseLevels = noiseLevels;
  DenoisePicture(out, in, request, RunControl(progress, nullptr, gpu));
}
