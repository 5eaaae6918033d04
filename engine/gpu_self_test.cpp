#include "engine/gpu_self_test.h"

#include <algorithm>
#include <cstdlib>

#include "engine/denoise.h"
#include "gpu/gpgpu.h"

namespace {

constexpr int32_t kSide = 50;
constexpr int32_t kTolerance = 6;  // |G − C| must stay below this everywhere

void FillFromRand(SBxPicBuf& picture) {
  for (int32_t y = 0; y < kSide; ++y) {
    uint8_t* row = PicRow<uint8_t>(picture, y);
    for (int32_t x = 0; x < kSide; ++x) {
      row[3 * x + 0] = static_cast<uint8_t>(std::rand() % 4 + 58);
      row[3 * x + 1] = static_cast<uint8_t>(std::rand() % 6 + 137);
      row[3 * x + 2] = static_cast<uint8_t>(std::rand() % 6 + 187);
    }
  }
}

void Denoise(SBxPicBuf& out, const SBxPicBuf& source, CGPGPU* gpu) {
  DenoisePicture(out, source, 50, 50, 0, 1, 0, nullptr, NoiseLevels{-1.0, -1.0, -1.0}, true,
                 gpu != nullptr, false, kMedianNone, gpu);
}

bool IsUsable(const CGPGPU* gpu) { return gpu != nullptr && gpu->usable; }

}  // namespace

GpuSelfTestResult RunGpuSelfTestDetailed(CGPGPU* card) {
  GpuSelfTestResult result;
  if (!IsUsable(card)) return result;
  ScopedPicBuf source;
  ScopedPicBuf gpu;
  ScopedPicBuf cpu;
  if (CBxPicBufAPI::ReinitHeap(*source, kSide, kSide, 3, 8) ||
      CBxPicBufAPI::ReinitHeap(*gpu, *source) || CBxPicBufAPI::ReinitHeap(*cpu, *source)) {
    return result;
  }
  FillFromRand(*source);
  Denoise(*gpu, *source, card);
  Denoise(*cpu, *source, nullptr);
  for (int32_t i = 0; i < source->size; ++i) {
    result.largestDifference =
        std::max(result.largestDifference, std::abs(int32_t{gpu->data[i]} - cpu->data[i]));
  }
  result.passed = result.largestDifference < kTolerance;
  return result;
}

bool RunGpuSelfTest(CGPGPU* gpu) { return RunGpuSelfTestDetailed(gpu).passed; }

int32_t AdmitHardwareAcceleration(int32_t requested, CGPGPU* gpu) {
  if (requested == 0 || !IsUsable(gpu)) return 0;
  return RunGpuSelfTest(gpu) ? requested : 0;
}

AccelerationChoice AdmitAcceleration(const StartupSettings& stored, CGPGPU* gpu) {
  return {AdmitHardwareAcceleration(stored.hwAccel, gpu) != 0, stored.gpuCpuFusion != 0};
}
