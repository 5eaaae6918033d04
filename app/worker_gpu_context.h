// The graphics context on a worker thread for the length of one job: taken when the job uses the
// GPU and the card is usable, given back at the end of the scope. The user-interface thread must
// have released it before (UM_WORKER_GL with wParam 1) and takes it back after (wParam 0).
#pragma once

#include "gpu/gl_context.h"
#include "gpu/gpgpu.h"

class WorkerGpuContext {
 public:
  WorkerGpuContext(CGPGPU* gpu, bool useGpu)
      : gpu_(useGpu && gpu != nullptr && gpu->usable && AcquireGpuContext(*gpu) ? gpu : nullptr) {}
  ~WorkerGpuContext() {
    if (gpu_ != nullptr) ReleaseGpuContext(*gpu_);
  }
  WorkerGpuContext(const WorkerGpuContext&) = delete;
  WorkerGpuContext& operator=(const WorkerGpuContext&) = delete;

 private:
  CGPGPU* const gpu_;  // null when the context was not taken
};
