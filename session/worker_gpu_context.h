// The graphics context on a worker thread for the length of one job: taken when the job uses the
// card and the card is usable, given back at the end of the scope. The owner's thread must have
// released it before and takes it back after (gpu/gl_context.h).
#pragma once

#include "gpu/gl_context.h"
#include "gpu/gpgpu.h"

class WorkerGpuContext {
 public:
  WorkerGpuContext(CGPGPU* gpu, bool useGpu)
      : gpu_(useGpu && gpu != nullptr && gpu->usable && !AcquireGpuContext(*gpu) ? gpu : nullptr) {}
  ~WorkerGpuContext() {
    if (gpu_ != nullptr) ReleaseGpuContext(*gpu_);
  }
  WorkerGpuContext(const WorkerGpuContext&) = delete;
  WorkerGpuContext& operator=(const WorkerGpuContext&) = delete;

  // The card whose context this thread holds now, or null: what the job may run on.
  CGPGPU* Card() const { return gpu_; }

 private:
  CGPGPU* const gpu_;  // null when the context was not taken
};
