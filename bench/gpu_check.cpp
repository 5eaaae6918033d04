// The prepared check of the graphics-card path: the self-test, the GPU against the CPU on one photo
// (mean and largest difference), and the time of one colour denoise on the CPU, with --gpu and with
// --gpu --fusion. Not a test: it prints figures for docs/PERFORMANCE.md.
//
//   gpu_check PHOTO [--crop WxH] [--repeat N] [--skip-gpu-alone]
//
// --crop takes the top left WxH of the photo (default: the whole photo). The CPU and the fusion run
// take turns N times (default 1) and the fastest of each is reported, so that a busy moment of a
// shared machine slows one round rather than one of them; --gpu runs once, after them, or not at
// all with --skip-gpu-alone (on a software renderer it takes minutes).
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "engine/denoise.h"
#include "engine/gpu_self_test.h"
#include "gpu/gl_context.h"
#include "gpu/gpgpu.h"
#include "picture/photo_loading.h"

namespace {

// `gpu` null: on the CPU.
double Denoise(SBxPicBuf& out, const SBxPicBuf& in, CGPGPU* gpu, bool fusion) {
  const auto start = std::chrono::steady_clock::now();
  DenoisePicture(out, in, 10, 10, 0, 3, 0, nullptr, NoiseLevels{-1, -1, -1}, true, gpu != nullptr,
                 fusion, kMedianNone, gpu);
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

void PrintDifference(const SBxPicBuf& a, const SBxPicBuf& b) {
  double sum = 0;
  int largest = 0;
  for (int32_t i = 0; i < a.size; ++i) {
    const int d = std::abs(int{a.data[i]} - b.data[i]);
    sum += d;
    largest = std::max(largest, d);
  }
  std::printf("GPU vs CPU      mean |G - C| %.4f, largest %d (8-bit levels)\n", sum / a.size,
              largest);
}

}  // namespace

int main(int argc, char** argv) {
  int32_t cropWidth = 0;
  int32_t cropHeight = 0;
  int repeat = 1;
  bool gpuAlone = true;
  bool usable = argc >= 2;
  for (int i = 2; usable && i < argc; ++i) {
    if (std::strcmp(argv[i], "--crop") == 0 && i + 1 < argc) {
      usable = std::sscanf(argv[++i], "%dx%d", &cropWidth, &cropHeight) == 2;
    } else if (std::strcmp(argv[i], "--repeat") == 0 && i + 1 < argc) {
      usable = std::sscanf(argv[++i], "%d", &repeat) == 1 && repeat >= 1;
    } else if (std::strcmp(argv[i], "--skip-gpu-alone") == 0) {
      gpuAlone = false;
    } else {
      usable = false;
    }
  }
  if (!usable) {
    std::fprintf(stderr, "usage: gpu_check PHOTO [--crop WxH] [--repeat N] [--skip-gpu-alone]\n");
    return 1;
  }
  auto gpu = std::make_unique<CGPGPU>();
  InitGpu(*gpu);
  std::printf("renderer        %s (%s)\n", gpu->renderer.c_str(),
              gpu->usable ? "usable" : "not usable");
  const GpuSelfTestResult selfTest = RunGpuSelfTestDetailed(gpu.get());
  std::printf("self-test       %s, largest |G - C| %d\n", selfTest.passed ? "passed" : "failed",
              selfTest.largestDifference);

  PhotoDocument document;
  if (OpenPhoto(document, argv[1], true)) {
    std::fprintf(stderr, "gpu_check: cannot open %s\n", argv[1]);
    return 2;
  }
  ScopedPicBuf photo;
  const SBxPicBuf& source = document.sourcePicture;
  const int32_t w = cropWidth > 0 ? std::min(cropWidth, source.width) : source.width;
  const int32_t h = cropHeight > 0 ? std::min(cropHeight, source.height) : source.height;
  ScopedPicBuf cpu;
  ScopedPicBuf onGpu;
  ScopedPicBuf fused;
  if (CBxPicBufAPI::ReinitHeap(*photo, w, h, source.components, source.bitsPerComponent) ||
      CBxPicBufAPI::ReinitHeap(*cpu, *photo) || CBxPicBufAPI::ReinitHeap(*onGpu, *photo) ||
      CBxPicBufAPI::ReinitHeap(*fused, *photo)) {
    std::fprintf(stderr, "gpu_check: not enough memory\n");
    return 2;
  }
  CBxPicBufAPI::CopyRect(*photo, source, {0, 0}, {0, 0}, {w, h});
  ReleasePhotoDocument(document);
  const double mp = w * double(h) / 1e6;
  double cpuSeconds = 0;
  double fusedSeconds = 0;
  for (int round = 0; round < repeat; ++round) {
    const double cpuRound = Denoise(*cpu, *photo, nullptr, false);
    cpuSeconds = round == 0 ? cpuRound : std::min(cpuSeconds, cpuRound);
    if (!gpu->usable) continue;
    const double fusedRound = Denoise(*fused, *photo, gpu.get(), true);
    fusedSeconds = round == 0 ? fusedRound : std::min(fusedSeconds, fusedRound);
  }
  std::printf("CPU             %d x %d: %7.2f s  %6.3f MP/s (%u threads)\n", w, h, cpuSeconds,
              mp / cpuSeconds, EngineThreadCount());
  if (!gpu->usable) return selfTest.passed ? 0 : 2;
  std::printf("--gpu --fusion  %d x %d: %7.2f s  %6.3f MP/s  %.2f x the CPU\n", w, h, fusedSeconds,
              mp / fusedSeconds, fusedSeconds / cpuSeconds);
  std::fflush(stdout);
  if (gpuAlone) {
    const double gpuSeconds = Denoise(*onGpu, *photo, gpu.get(), false);
    std::printf("--gpu           %d x %d: %7.2f s  %6.3f MP/s  %.2f x the CPU\n", w, h, gpuSeconds,
                mp / gpuSeconds, gpuSeconds / cpuSeconds);
    PrintDifference(*onGpu, *cpu);
  }
  return selfTest.passed ? 0 : 2;
}
