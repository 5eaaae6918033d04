// Writing values as JSON text for the --json outputs and the batch report.
#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "profiles/camera_profile_store.h"

namespace cli {

// `text` as a JSON string literal, quotes included; control characters and bytes that are not
// UTF-8 are escaped (the latter as U+FFFD).
std::string JsonString(std::string_view text);

// A number with two decimals, as profile values are shown.
std::string JsonNumber(double value);

// The fields of an object in order: each name with its value, already JSON text.
using JsonFields = std::vector<std::pair<std::string, std::string>>;

// {"name": value, …} on one line.
std::string JsonObject(const JsonFields& fields);

// A profile's values: "iso", "strength", "chroma", "chromaLarge", "dynamics", "sharpen" (tiny,
// medium, rough), "noiseLuma", "noiseChroma", "median".
JsonFields ProfileFields(const IsoProfile& profile);

}  // namespace cli
