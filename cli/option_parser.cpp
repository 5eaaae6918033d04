#include "cli/option_parser.h"

#include <charconv>
#include <cmath>
#include <cstdio>

namespace cli {

bool ParsedArguments::Has(std::string_view name) const {
  for (const auto& option : options) {
    if (option.first == name) return true;
  }
  return false;
}

std::string ParseArguments(Arguments args, std::span<const OptionSpec> specs,
                           ParsedArguments& parsed) {
  bool operandsOnly = false;
  for (size_t i = 0; i < args.size(); ++i) {
    std::string_view name = args[i];
    if (operandsOnly || name.size() < 2 || name[0] != '-') {
      parsed.operands.push_back(name);
      continue;
    }
    if (name == "--") {
      operandsOnly = true;
      continue;
    }
    if (name == "-h" || name == "--help") {
      parsed.help = true;
      continue;
    }
    std::optional<std::string_view> value;
    if (const size_t eq = name.find('='); name.starts_with("--") && eq != std::string_view::npos) {
      value = name.substr(eq + 1);
      name = name.substr(0, eq);
    }
    const OptionSpec* known = nullptr;
    for (const OptionSpec& candidate : specs) {
      if (candidate.name == name) known = &candidate;
    }
    if (known == nullptr) return "unknown option '" + std::string(args[i]) + "'";
    if (!known->takesValue) {
      if (value) return "option '" + std::string(name) + "' takes no value";
      parsed.options.emplace_back(known->name, std::string_view());
      continue;
    }
    if (!value) {
      if (i + 1 == args.size()) return "option '" + std::string(name) + "' needs a value";
      value = args[++i];
    }
    parsed.options.emplace_back(known->name, *value);
  }
  return {};
}

std::optional<double> ParseNumber(std::string_view text) {
  double value = 0;
  const char* end = text.data() + text.size();
  auto [ptr, ec] = std::from_chars(text.data(), end, value);
  if (text.empty() || ec != std::errc() || ptr != end) return std::nullopt;
  return value;
}

std::optional<double> ParseNumberInRange(std::string_view option, std::string_view text,
                                         double low, double high, std::string& error) {
  const std::optional<double> value = ParseNumber(text);
  if (value && *value >= low && *value <= high) return value;
  char range[64];
  std::snprintf(range, sizeof(range), "%g to %g", low, high);
  error = std::string(option) + " wants a number from " + range + ", not '" + std::string(text) +
          "'";
  return std::nullopt;
}

std::optional<int32_t> ParseWholeNumberInRange(std::string_view option, std::string_view text,
                                               double low, double high, std::string& error) {
  const std::optional<double> value = ParseNumberInRange(option, text, low, high, error);
  if (!value) return std::nullopt;
  if (*value != std::floor(*value)) {
    error = std::string(option) + " wants a whole number, not '" + std::string(text) + "'";
    return std::nullopt;
  }
  return static_cast<int32_t>(*value);
}

int PrintCommandHelp(std::string_view synopsis, std::string_view help) {
  std::printf("usage: stillgrain-cli %.*s\n%.*s", static_cast<int>(synopsis.size()),
              synopsis.data(), static_cast<int>(help.size()), help.data());
  return kExitSuccess;
}

}  // namespace cli
