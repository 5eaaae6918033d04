// stillgrain-cli preview: one rectangle of a photo denoised and sharpened exactly as `denoise` gives
// it there — what the desktop application's live preview shows — computed from its surroundings
// alone and saved on its own.
#pragma once

#include <string_view>

#include "cli/command.h"

namespace cli {

inline constexpr std::string_view kPreviewSynopsis =
    "preview INPUT --at X,Y [--size N] -o OUTPUT [options]";
extern const std::string_view kPreviewHelp;

int RunPreview(Arguments args);

}  // namespace cli
