// The process-wide state of the engine.
#include "engine/denoise.h"

std::atomic<uint8_t> cancelRequested{0};
std::atomic<uint8_t> cpuCount{1};
