// Writing values as JSON text for the --json outputs.
#pragma once

#include <string>
#include <string_view>

namespace cli {

// `text` as a JSON string literal, quotes included; control characters and bytes that are not
// UTF-8 are escaped (the latter as U+FFFD).
std::string JsonString(std::string_view text);

}  // namespace cli
