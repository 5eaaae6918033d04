// A progress bar drawn on a terminal, for long engine runs started from the command line.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <mutex>
#include <string>

#include "platform/progress_sink.h"

// Draws "label [=====     ]  42%" on one line of `stream`, redrawn in place whenever the shown
// percentage changes. The position is kept within the range, as a progress bar control keeps it.
// Safe to call from any thread.
class TerminalProgress final : public ProgressSink {
 public:
  TerminalProgress(std::FILE* stream, std::string label);
  ~TerminalProgress() override;
  TerminalProgress(const TerminalProgress&) = delete;
  TerminalProgress& operator=(const TerminalProgress&) = delete;

  void SetRange(uint32_t minimum, uint32_t maximum) override;
  void SetStep(int32_t step) override;
  void DeltaPos(int32_t delta) override;
  void SetPos(uint32_t position) override;

  // Ends the bar's line, when one was drawn. Later calls start a new line.
  void Finish();

 private:
  void ClampAndDrawLocked();

  std::mutex mutex_;
  std::FILE* stream_;
  std::string label_;
  uint32_t minimum_ = 0;
  uint32_t maximum_ = 100;
  int64_t position_ = 0;
  int32_t step_ = 10;  // kept for the record: the engine advances the bar with DeltaPos
  int drawnPercent_ = -1;
};

// A bar on standard error when standard error is a terminal; null otherwise, so that logs and
// pipes stay free of carriage returns.
std::unique_ptr<TerminalProgress> MakeStderrProgress(std::string label);
