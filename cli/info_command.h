// stillgrain-cli info and profiles: what the application knows about a photo, and the stored
// camera profiles.
#pragma once

#include <string_view>

#include "cli/command.h"

namespace cli {

inline constexpr std::string_view kInfoSynopsis = "info INPUT [--json] [--profile P]";
extern const std::string_view kInfoHelp;
int RunInfo(Arguments args);

inline constexpr std::string_view kProfilesSynopsis = "profiles [--json]";
extern const std::string_view kProfilesHelp;
int RunProfiles(Arguments args);

}  // namespace cli
