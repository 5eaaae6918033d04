// stillgrain-cli denoise: one photo denoised with its camera's profile, sharpened and saved in its
// own format with its metadata.
#pragma once

#include <string>
#include <string_view>

#include "cli/command.h"
#include "cli/profile_options.h"
#include "picture/photo_document.h"

namespace cli {

inline constexpr std::string_view kDenoiseSynopsis = "denoise INPUT [-o OUTPUT] [options]";
extern const std::string_view kDenoiseHelp;

int RunDenoise(Arguments args);

// The profile `denoise` gives `document` with `options`, and in `origin` where it came from;
// `preview` takes the same.
IsoProfile ProfileForPhoto(const PhotoDocument& document, const ProfileOptions& options,
                           std::string& origin);

}  // namespace cli
