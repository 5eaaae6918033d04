// The progress protocol of the engine: a bar initialised to an estimated number of steps and
// advanced by single steps. Every function accepts a run without a sink.
#pragma once

#include <cstdint>

#include "engine/run_control.h"

// Initialises the bar to `steps`: advance by 1, step 1, range 0 … steps, position 1.
inline void InitProgress(const RunControl& run, uint32_t steps) {
  ProgressSink* progress = run.progress;
  if (progress == nullptr) return;
  progress->DeltaPos(1);
  progress->SetStep(1);
  progress->SetRange(0, steps);
  progress->SetPos(1);
}

// One step.
inline void StepProgress(const RunControl& run) {
  if (run.progress != nullptr) run.progress->DeltaPos(1);
}
