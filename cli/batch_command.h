// stillgrain-cli batch: every photo of a folder tree denoised into "denoised" subfolders.
#pragma once

#include <string_view>

#include "cli/command.h"

namespace cli {

inline constexpr std::string_view kBatchSynopsis = "batch FOLDER [options]";
extern const std::string_view kBatchHelp;

int RunBatch(Arguments args);

}  // namespace cli
