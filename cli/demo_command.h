// stillgrain-cli demo: denoises a synthetic photograph and reports how much noise went away.
#pragma once

#include <string_view>

#include "cli/command.h"

namespace cli {

inline constexpr std::string_view kDemoSynopsis =
    "demo [--size WxH] [--sigma S] [--quality Q] [--strength S]";
inline constexpr std::string_view kDemoHelp =
    "  Denoises a smooth synthetic colour scene with Gaussian noise added and prints the noise\n"
    "  levels and the PSNR before and after, and the time the engine took.\n"
    "    --size WxH     picture size (default 1200x800)\n"
    "    --sigma S      standard deviation of the noise in 8-bit levels, 0 to 100 (default 5)\n"
    "    --quality Q    search window: 1 = 7x7, 2 = 13x13, 3 = 21x21 (default 3)\n"
    "    --strength S   luma and chroma strength, 1 to 50 (default 10, the built-in profile's);\n"
    "                   stronger noise needs more: about 20 to 30 for sigma 12\n";

int RunDemo(Arguments args);

}  // namespace cli
