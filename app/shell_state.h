// State of the application shell that the main window and the parameters panel share, all on the
// user-interface thread.
#pragma once

#include <cstdint>

// The engine quality of the preview and of the full-size run: 1 (low) to 3 (superior, the 21 × 21
// search window). Batch denoising sets it to 3 again.
inline int32_t qualityLevel = 3;
