// stillgrain-cli selftest: whether the graphics card may be used, as the application decides it.
#pragma once

#include <string_view>

#include "cli/command.h"

namespace cli {

inline constexpr std::string_view kSelftestSynopsis = "selftest";
extern const std::string_view kSelftestHelp;

int RunSelftest(Arguments args);

}  // namespace cli
