// What every stillgrain-cli command shares: its arguments, its exit codes, its usage errors.
#pragma once

#include <span>
#include <string_view>

namespace cli {

// The arguments after the command's name.
using Arguments = std::span<const std::string_view>;

inline constexpr int kExitSuccess = 0;
inline constexpr int kExitUsage = 1;      // the command line was wrong
inline constexpr int kExitFileError = 2;  // an input could not be read or an output written
// Interrupted by SIGINT, SIGTERM or SIGHUP, finished cleanly: 128 + the signal (cli/interrupt.h).

// Prints "stillgrain-cli: <message>" and the command's synopsis on standard error; returns
// kExitUsage.
int UsageError(std::string_view synopsis, std::string_view message);

}  // namespace cli
