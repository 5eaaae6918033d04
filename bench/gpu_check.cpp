// The prepared check of the graphics-card path: the self-test, the GPU against the CPU on one photo
// (mean and largest difference), and the time of one colour denoise on the CPU, with --gpu and with
// --gpu --fusion. Not a test: it prints figures for docs/PERFORMANCE.md.
//
//   gpu_check PHOTO [--crop WxH]   (default: the whole photo)
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
  if (argc < 2) {
    std::fprintf(stderr, "usage: gpu_check PHOTO [--crop WxH]\n");
    return 1;
  }
  int32_t cropWidth = 0;
  int32_t cropHeight = 0;
  if (argc == 4 && std::strcmp(argv[2], "--crop") == 0) {
    std::sscanf(argv[3], "%dx%d", &cropWidth, &cropHeight);
  }
  auto gpu = std::make_unique<CGPGPU>();
  InitGpu(*gpu);
  std::printf("renderer        %s (%s)\n", gpu->renderer.c_str(), gpu->usable ? "usable" : "not usable");
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
  const double cpuSeconds = Denoise(*cpu, *photo, nullptr, false);
  std::printf("CPU             %d x %d: %7.2f s  %6.3f MP/s (%u threads)\n", w, h, cpuSeconds,
              mp / cpuSeconds, EngineThreadCount());
  if (!gpu->usable) return selfTest.passed ? 0 : 2;
  const double gpuSeconds = Denoise(*onGpu, *photo, gpu.get(), false);
  std::printf("--gpu           %d x %d: %7.2f s  %6.3f MP/s\n", w, h, gpuSeconds, mp / gpuSeconds);
  const double fusedSeconds = Denoise(*fused, *photo, gpu.get(), true);
  std::printf("--gpu --fusion  %d x %d: %7.2f s  %6.3f MP/s\n", w, h, fusedSeconds,
              mp / fusedSeconds);
  PrintDifference(*onGpu, *cpu);
  return selfTest.passed ? 0 : 2;
}
