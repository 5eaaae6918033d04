// The command line's argument parser from arbitrary arguments: the input is split at NUL bytes into
// arguments and parsed with the options of the denoise command, then read as profile options.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "cli/option_parser.h"
#include "cli/profile_options.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  std::vector<std::string_view> arguments;
  for (size_t start = 0; start <= text.size();) {
    const size_t end = std::min(text.find('\0', start), text.size());
    arguments.push_back(text.substr(start, end - start));
    start = end + 1;
  }
  static const std::vector<cli::OptionSpec> specs =
      cli::WithProfileOptions({{"-o", true}, {"--output", true}});
  cli::ParsedArguments parsed;
  if (!cli::ParseArguments(arguments, specs, parsed).empty() || parsed.help) return 0;
  cli::ProfileOptions options;
  cli::ReadProfileOptions(parsed, options);
  return 0;
}
