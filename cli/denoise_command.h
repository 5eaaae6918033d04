// stillgrain-cli denoise: one photo denoised with its camera's profile, sharpened and saved in its
// own format with its metadata.
#pragma once

#include <string_view>

#include "cli/command.h"

namespace cli {

inline constexpr std::string_view kDenoiseSynopsis = "denoise INPUT [-o OUTPUT] [options]";
extern const std::string_view kDenoiseHelp;

int RunDenoise(Arguments args);

}  // namespace cli
