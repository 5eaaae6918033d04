// stillgrain-cli demo: denoises a synthetic photograph and reports how much noise went away.
#pragma once

#include <string_view>

#include "cli/command.h"

namespace cli {

inline constexpr std::string_view kDemoSynopsis = "demo [--size WxH] [--sigma S] [--quality Q]";
inline constexpr std::string_view kDemoHelp =
    "  Denoises a smooth synthetic colour scene with Gaussian noise added and prints the noise\n"
    "  levels and the PSNR before and after, and the time the engine took.\n"
    "    --size WxH     picture size (default 1200x800)\n"
    "    --sigma S      standard deviation of the noise in 8-bit levels, 0 to 100 (default 12)\n"
    "    --quality Q    search window: 1 = 7x7, 2 = 13x13, 3 = 21x21 (default 3)\n";

int RunDemo(Arguments args);

}  // namespace cli
