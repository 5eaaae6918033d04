#include "cli/gpu_use.h"

#include <cstdio>

#include "engine/gpu_self_test.h"
#include "gpu/gl_context.h"
#include "gpu/gpgpu.h"

namespace cli {

std::unique_ptr<CGPGPU> OpenGpu(bool quiet) {
  auto gpu = std::make_unique<CGPGPU>();
  InitGpu(*gpu, quiet);
  return gpu;
}

GpuUse::GpuUse(bool wanted, bool quiet) {
  if (!wanted) return;
  gpu_ = OpenGpu(quiet);
  active_ = AdmitHardwareAcceleration(1, gpu_.get()) != 0;
  if (!active_) {
    std::fprintf(stderr, "stillgrain-cli: %s; denoising on the CPU\n",
                 gpu_->usable ? "the graphics card failed the self-test"
                              : "no usable OpenGL context");
  }
}

GpuUse::~GpuUse() = default;

}  // namespace cli
