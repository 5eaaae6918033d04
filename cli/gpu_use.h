// The graphics card for one command-line run: the process-wide GPU object created and initialised
// on the main thread (which then holds the context), admitted only when the engine's self-test
// passes, and torn down at the end.
#pragma once

#include <memory>

class CGPGPU;

namespace cli {

class GpuUse {
 public:
  // With `wanted`, opens the GPU; when no usable context can be had or the self-test fails, says so
  // on stderr and leaves the run to the CPU. `quiet` leaves out GLEW's status line.
  GpuUse(bool wanted, bool quiet);
  ~GpuUse();
  GpuUse(const GpuUse&) = delete;
  GpuUse& operator=(const GpuUse&) = delete;

  // True when the engine may run on the graphics card.
  bool active() const { return active_; }
  // The GPU object, or null when none was opened.
  CGPGPU* gpu() const { return gpu_.get(); }

 private:
  std::unique_ptr<CGPGPU> gpu_;
  bool active_ = false;
};

// Opens the GPU object and its context without the self-test.
std::unique_ptr<CGPGPU> OpenGpu(bool quiet);

}  // namespace cli
