#include "app/full_denoise_run.h"

#include "app/worker_gpu_context.h"
#include "engine/denoise.h"
#include "profiles/profile_request.h"

FullDenoiseValues UnpackFullDenoiseMessage(uintptr_t wParam, intptr_t lParam) {
  const auto low = [](uint64_t v) { return static_cast<double>(v & 0xFFFF); };
  const auto high = [](uint64_t v) { return static_cast<double>((v >> 16) & 0xFFFF); };
  const uint64_t w = wParam;
  const uint64_t l = static_cast<uint64_t>(lParam);
  return {low(w) / 20.0, high(w) / 20.0, low(l) / 20.0, high(l) / 50.0 - 2.0};
}

void PackFullDenoiseMessage(uint32_t strength, uint32_t chroma, uint32_t chromaLarge,
                            uint32_t dynamics, uintptr_t& wParam, intptr_t& lParam) {
  wParam = (strength & 0xFFFF) | (static_cast<uintptr_t>(chroma & 0xFFFF) << 16);
  lParam = static_cast<intptr_t>((chromaLarge & 0xFFFF) | ((dynamics & 0xFFFF) << 16));
}

std::function<void()> FullDenoiseJob(PhotoDocument& document, const FullDenoiseRequest& request,
                                     std::function<void()> beforeRun,
                                     std::function<void()> afterRun) {
  return [&document, request, beforeRun = std::move(beforeRun), afterRun = std::move(afterRun)] {
    beforeRun();
    {
      const WorkerGpuContext context(request.run.gpu, request.useGpu);
      IsoProfile values{};
      values.m_dStrength = request.values.strength;
      values.m_dStrengthChroma = request.values.strengthChroma;
      values.m_dStrengthChromaLarge = request.values.strengthChromaLarge;
      values.m_dDynamics = request.values.dynamics;
      values.m_iUseMedian = request.medianMode;
      const EngineChoice engine{request.quality, request.useGpu, request.fusion, {-1, -1, -1}};
      DenoisePicture(document.denoisedPicture, document.sourcePicture,
                     RequestForProfile(values, engine), request.run);
    }
    afterRun();
  };
}
