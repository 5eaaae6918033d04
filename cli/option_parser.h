// Splitting a command's arguments into options and operands, and reading option values.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "cli/command.h"

namespace cli {

struct OptionSpec {
  std::string_view name;  // "--strength", or a short form such as "-o"
  bool takesValue;
};

struct ParsedArguments {
  std::vector<std::string_view> operands;
  // Options in command-line order, with their values ("" for flags).
  std::vector<std::pair<std::string_view, std::string_view>> options;
  bool help = false;

  bool Has(std::string_view name) const;
};

// Accepts "--name value", "--name=value", flags, "-h"/"--help" and "--" (operands follow). Returns
// an error message for an unknown option or a missing value, empty on success.
std::string ParseArguments(Arguments args, std::span<const OptionSpec> specs,
                           ParsedArguments& parsed);

// A decimal number that is the whole text, or nothing.
std::optional<double> ParseNumber(std::string_view text);

// A number within [low, high]; otherwise an error message "OPTION wants a number from LOW to HIGH,
// not 'TEXT'" in `error`.
std::optional<double> ParseNumberInRange(std::string_view option, std::string_view text,
                                         double low, double high, std::string& error);

// A whole number within [low, high]; otherwise that error, or "OPTION wants a whole number, not
// 'TEXT'", in `error`.
std::optional<int32_t> ParseWholeNumberInRange(std::string_view option, std::string_view text,
                                               double low, double high, std::string& error);

// Prints "usage: stillgrain-cli SYNOPSIS" and the help text on standard output.
int PrintCommandHelp(std::string_view synopsis, std::string_view help);

}  // namespace cli
