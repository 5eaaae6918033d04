// A progress sink that records every call, and optionally raises its run's stop flag after a number
// of steps.
#pragma once

#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "engine/denoise.h"
#include "engine/run_control.h"

class RecordingProgress : public ProgressSink {
 public:
  explicit RecordingProgress(int32_t cancelAfterSteps = -1) : cancelAfter_(cancelAfterSteps) {}

  void SetRange(uint32_t minimum, uint32_t maximum) override {
    Record("range " + std::to_string(minimum) + " " + std::to_string(maximum));
  }
  void SetStep(int32_t step) override { Record("step " + std::to_string(step)); }
  void SetPos(uint32_t position) override { Record("pos " + std::to_string(position)); }
  void DeltaPos(int32_t delta) override {
    Record("delta " + std::to_string(delta));
    std::lock_guard<std::mutex> lock(mutex_);
    ++deltas_;
    if (cancelAfter_ >= 0 && deltas_ > cancelAfter_) stop_.Request();
  }

  // The control of a run that reports here and is stopped from here.
  RunControl Run() { return RunControl(this, &stop_); }

  // The calls made so far, in order.
  std::vector<std::string> Calls() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return calls_;
  }
  // The one-step advances after the four calls that initialise the bar.
  int32_t Steps() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return deltas_ - (calls_.size() >= 4 && calls_[1] == "step 1" ? 1 : 0);
  }

 private:
  void Record(std::string call) {
    std::lock_guard<std::mutex> lock(mutex_);
    calls_.push_back(std::move(call));
  }

  mutable std::mutex mutex_;
  std::vector<std::string> calls_;
  int32_t deltas_ = 0;
  int32_t cancelAfter_;
  StopFlag stop_;
};
