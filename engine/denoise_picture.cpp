#include <algorithm>
#include <cmath>

#include "engine/denoise.h"
#include "engine/denoise_params.h"
#include "engine/tile_driver.h"
#include "gpu/gpgpu.h"
#include "platform/cpu_affinity.h"

namespace {

bool IsSupportedInput(const SBxPicBuf& in) {
  return in.width > 0 && in.height > 0 &&
         (in.components == 1 || in.components == 3) &&
         (in.bitsPerComponent == 8 || in.bitsPerComponent == 16);
}

// Strengths are powers (s^3.5) and dynamics scale them: only finite, non-negative strengths and
// finite dynamics give weights at all.
bool AreUsableParameters(double strength, double strengthChroma, double strengthChromaLarge,
                         double dynamics) {
  const auto usable = [](double s) { return std::isfinite(s) && s >= 0; };
  return usable(strength) && usable(strengthChroma) && usable(strengthChromaLarge) &&
         std::isfinite(dynamics);
}

// Nothing to smooth and no point-artefact pass: the conversion to YUV and back alone would move
// samples by a level, so such a run hands the picture back as it is.
bool ChangesNothing(double strength, double strengthChroma, double strengthChromaLarge,
                    int32_t medianMode) {
  return strength == 0 && strengthChroma == 0 && strengthChromaLarge <= 1 &&
         medianMode == kMedianNone;
}

bool SameGeometry(const SBxPicBuf& a, const SBxPicBuf& b) {
  return a.data != nullptr && a.width == b.width && a.height == b.height &&
         a.components == b.components && a.bitsPerComponent == b.bitsPerComponent;
}

}  // namespace

void DenoisePicture(SBxPicBuf& out, const SBxPicBuf& in, double strength, double strengthChroma,
                    double strengthChromaLarge, int32_t quality, double dynamics,
                    ProgressSink* progress, NoiseLevels noiseLevels, bool processInYUV, bool useGpu,
                    bool fusion, int32_t medianMode) {
  cpuCount = static_cast<uint8_t>(std::min<uint32_t>(AffinityCpuBitLength(), 255));
  if (in.data == nullptr) return;
  if (!SameGeometry(out, in) && CBxPicBufAPI::ReinitHeap(out, in)) return;
  if (!IsSupportedInput(in) ||
      !AreUsableParameters(strength, strengthChroma, strengthChromaLarge, dynamics) ||
      ChangesNothing(strength, strengthChroma, strengthChromaLarge, medianMode)) {
    CBxPicBufAPI::Copy(out, in);
    return;
  }
  DenoiseParams params;
  params.strength = strength;
  params.strengthChroma = strengthChroma;
  params.strengthChromaLarge = strengthChromaLarge;
  params.quality = quality;
  params.dynamics = dynamics;
  params.noiseLevels = noiseLevels;
  params.processInYUV = processInYUV;
  // Without a usable graphics card (none, refused, or its programs did not build) the CPU runs the
  // filters instead.
  params.useGpu = useGpu && GpuIsUsable();
  params.fusion = fusion;
  params.medianMode = medianMode;
  RunTiles(out, in, params, progress, cpuCount);
}
