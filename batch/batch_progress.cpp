#include "batch/batch_progress.h"

#include <cstdio>

uint32_t BatchProgress::EstimatedTotalSeconds() const {
  if (doneCount == 0) return 0;
  return static_cast<uint32_t>(uint64_t{elapsedSeconds} * totalCount / doneCount);
}

std::string FormatMinutesSeconds(uint32_t seconds) {
  char text[32];
  std::snprintf(text, sizeof(text), "%.2u:%.2u", seconds / 60, seconds % 60);
  return text;
}
