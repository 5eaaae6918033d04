#include "cli/terminal_progress.h"

#include <unistd.h>

#include <algorithm>
#include <utility>

namespace {

constexpr int kBarCells = 40;

}  // namespace

TerminalProgress::TerminalProgress(std::FILE* stream, std::string label)
    : stream_(stream), label_(std::move(label)) {}

TerminalProgress::~TerminalProgress() { Finish(); }

void TerminalProgress::SetRange(uint32_t minimum, uint32_t maximum) {
  std::lock_guard lock(mutex_);
  minimum_ = minimum;
  maximum_ = std::max(minimum, maximum);
  ClampAndDrawLocked();
}

void TerminalProgress::SetStep(int32_t step) {
  std::lock_guard lock(mutex_);
  step_ = step;
}

void TerminalProgress::DeltaPos(int32_t delta) {
  std::lock_guard lock(mutex_);
  position_ += delta;
  ClampAndDrawLocked();
}

void TerminalProgress::SetPos(uint32_t position) {
  std::lock_guard lock(mutex_);
  position_ = position;
  ClampAndDrawLocked();
}

void TerminalProgress::Finish() {
  std::lock_guard lock(mutex_);
  if (drawnPercent_ < 0) return;
  std::fputc('\n', stream_);
  std::fflush(stream_);
  drawnPercent_ = -1;
}

void TerminalProgress::ClampAndDrawLocked() {
  position_ = std::clamp<int64_t>(position_, minimum_, maximum_);
  const int64_t span = static_cast<int64_t>(maximum_) - minimum_;
  const int percent = span == 0 ? 100 : static_cast<int>((position_ - minimum_) * 100 / span);
  if (percent == drawnPercent_) return;
  drawnPercent_ = percent;

  const int filled = percent * kBarCells / 100;
  std::string bar(static_cast<size_t>(filled), '=');
  bar.resize(kBarCells, ' ');
  std::fprintf(stream_, "\r%s [%s] %3d%%", label_.c_str(), bar.c_str(), percent);
  std::fflush(stream_);
}

std::unique_ptr<TerminalProgress> MakeStderrProgress(std::string label) {
  if (isatty(STDERR_FILENO) == 0) return nullptr;
  return std::make_unique<TerminalProgress>(stderr, std::move(label));
}
