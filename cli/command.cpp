#include "cli/command.h"

#include <cstdio>

namespace cli {

int UsageError(std::string_view synopsis, std::string_view message) {
  std::fprintf(stderr, "stillgrain-cli: %.*s\nusage: stillgrain-cli %.*s\n",
               static_cast<int>(message.size()), message.data(), static_cast<int>(synopsis.size()),
               synopsis.data());
  std::fprintf(stderr, "Try 'stillgrain-cli --help' for more information.\n");
  return kExitUsage;
}

}  // namespace cli
