// What travels with one run besides its values: where its progress goes, whether it has been
// asked to stop, and the graphics card it may use. Each job owns its stop flag and hands the run
// control down; nothing about a run's control is process-wide.
#pragma once

#include <atomic>

#include "platform/progress_sink.h"

class CGPGPU;

// A request to stop one job. Set from any thread, or from a signal handler (a lock-free store);
// read by the engine once per tile and once per filter offset (no ordering is needed: it only ends
// loops early).
class StopFlag {
 public:
  void Request() noexcept { requested_.store(true, std::memory_order_relaxed); }
  void Clear() noexcept { requested_.store(false, std::memory_order_relaxed); }
  bool Requested() const noexcept { return requested_.load(std::memory_order_relaxed); }

 private:
  std::atomic<bool> requested_{false};
  static_assert(std::atomic<bool>::is_always_lock_free);
};

// Every part may be null: no progress is reported, the run cannot be stopped, the filters run on
// the CPU. Implicit from a sink, so that a caller without a stop flag passes its sink (or nullptr).
// `gpu` is the card of whoever runs the job; its context must be current on the thread that calls
// the engine (gpu/gl_context.h).
struct RunControl {
  RunControl(ProgressSink* progressSink = nullptr, const StopFlag* stopFlag = nullptr,
             CGPGPU* card = nullptr)
      : progress(progressSink), stop(stopFlag), gpu(card) {}

  bool StopRequested() const { return stop != nullptr && stop->Requested(); }

  ProgressSink* progress;
  const StopFlag* stop;
  CGPGPU* gpu;
};
