// What the batch progress window shows: photos done of the counted total, the elapsed time, and the
// estimated total duration of the run (not the time left).
#pragma once

#include <cstdint>
#include <string>

struct BatchProgress {
  uint32_t totalCount = 0;      // from the counting pass
  uint32_t doneCount = 0;       // one per processed or too-small photo
  uint32_t elapsedSeconds = 0;  // one per timer tick

  // elapsed · total / done in whole seconds; 0 before the first photo is done.
  uint32_t EstimatedTotalSeconds() const;
};

// "%.2u:%.2u" of minutes and seconds: 120 s → "02:00", 3725 s → "62:05".
std::string FormatMinutesSeconds(uint32_t seconds);
