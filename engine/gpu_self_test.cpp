#include "engine/gpu_self_test.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <mutex>
#include <random>
#include <thread>

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

// The timed probe's picture: large enough for the card's fixed costs per pass to count as they do
// in a photo's tiles, small enough for the CPU to take a fraction of a second.
constexpr int32_t kProbeSide = 320;

// A smooth ramp with noise from a fixed seed of its own (rand() belongs to the self-test).
void FillProbe(SBxPicBuf& picture) {
  std::mt19937 random(18);
  std::normal_distribution<double> noise(0.0, 12.0);
  for (int32_t y = 0; y < picture.height; ++y) {
    uint8_t* row = PicRow<uint8_t>(picture, y);
    for (int32_t x = 0; x < picture.width * 3; ++x) {
      const double level = 60.0 + 120.0 * (x / 3 + y) / (2.0 * kProbeSide) + noise(random);
      row[x] = static_cast<uint8_t>(std::clamp(level, 0.0, 255.0));
    }
  }
}

template <typename Work>
double SecondsOf(Work work) {
  const auto start = std::chrono::steady_clock::now();
  work();
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// The card's run, stopped by a watch on another thread once it has taken `limit` seconds; the
// time it took, at least `limit` when it was stopped.
double TimeLimitedGpuRun(SBxPicBuf& out, const SBxPicBuf& source, const DenoiseRequest& request,
                         CGPGPU* gpu, double limit) {
  StopFlag stop;
  std::mutex mutex;
  std::condition_variable done;
  bool finished = false;
  std::thread watch([&] {
    std::unique_lock<std::mutex> lock(mutex);
    if (!done.wait_for(lock, std::chrono::duration<double>(limit), [&] { return finished; })) {
      stop.Request();
    }
  });
  const double seconds =
      SecondsOf([&] { DenoisePicture(out, source, request, RunControl(nullptr, &stop, gpu)); });
  {
    const std::lock_guard<std::mutex> lock(mutex);
    finished = true;
  }
  done.notify_one();
  watch.join();
  return stop.Requested() ? std::max(seconds, limit) : seconds;
}

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

AccelerationVerdict JudgeProbe(double gpuSeconds, double cpuSeconds) {
  return gpuSeconds < cpuSeconds ? AccelerationVerdict::kAdmitted
                                 : AccelerationVerdict::kSlowerThanCpu;
}

AccelerationAdmission AdmitGraphicsCard(CGPGPU* gpu, int32_t quality) {
  AccelerationAdmission admission;
  if (!IsUsable(gpu)) return admission;
  const GpuSelfTestResult selfTest = RunGpuSelfTestDetailed(gpu);
  admission.largestDifference = selfTest.largestDifference;
  if (!selfTest.passed) {
    admission.verdict = AccelerationVerdict::kSelfTestFailed;
    return admission;
  }
  ScopedPicBuf source;
  ScopedPicBuf out;
  ScopedPicBuf warmUpIn;
  ScopedPicBuf warmUpOut;
  if (CBxPicBufAPI::ReinitHeap(*source, kProbeSide, kProbeSide, 3, 8) ||
      CBxPicBufAPI::ReinitHeap(*out, *source) ||
      CBxPicBufAPI::ReinitHeap(*warmUpIn, kSide, kSide, 3, 8) ||
      CBxPicBufAPI::ReinitHeap(*warmUpOut, *warmUpIn)) {
    return admission;
  }
  FillProbe(*source);
  DenoiseRequest request;
  request.strength = request.strengthChroma = 10;
  request.quality = quality;
  // The CPU's weight tables for these values are built once, by a small run, so that the timed run
  // measures the filter alone, as in a photo's later tiles.
  CBxPicBufAPI::CopyRect(*warmUpIn, *source, {0, 0}, {0, 0}, {kSide, kSide});
  DenoisePicture(*warmUpOut, *warmUpIn, request);
  admission.cpuSeconds = SecondsOf([&] { DenoisePicture(*out, *source, request); });
  request.useGpu = true;
  admission.gpuSeconds = TimeLimitedGpuRun(*out, *source, request, gpu, admission.cpuSeconds);
  admission.verdict = JudgeProbe(admission.gpuSeconds, admission.cpuSeconds);
  return admission;
}

AccelerationChoice AdmitAcceleration(const StartupSettings& stored,
                                     const AccelerationAdmission& card) {
  return {stored.hwAccel != 0 && card.Admitted(), stored.gpuCpuFusion != 0};
}
