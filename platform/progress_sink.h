// The progress bar that a long engine run drives. The desktop application forwards it to a progress
// bar on its own thread, the command line draws a terminal bar, tests record the calls. Every
// implementation must accept calls from any thread.
#pragma once

#include <cstdint>

class ProgressSink {
 public:
  virtual ~ProgressSink() = default;
  virtual void SetRange(uint32_t minimum, uint32_t maximum) = 0;
  virtual void SetStep(int32_t step) = 0;
  virtual void DeltaPos(int32_t delta) = 0;
  virtual void SetPos(uint32_t position) = 0;
};
