// The progress protocol of the engine: a bar initialised to an estimated number of steps and
// advanced by single steps. Every function accepts a null sink.
#pragma once

#include <cstdint>

#include "platform/progress_sink.h"

// Initialises the bar to `steps`: advance by 1, step 1, range 0 … steps, position 1.
inline void InitProgress(ProgressSink* progress, uint32_t steps) {
  if (progress == nullptr) return;
  progress->DeltaPos(1);
  progress->SetStep(1);
  progress->SetRange(0, steps);
  progress->SetPos(1);
}

// One step.
inline void StepProgress(ProgressSink* progress) {
  if (progress != nullptr) progress->DeltaPos(1);
}
