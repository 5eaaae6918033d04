// stillgrain-cli: the command-line front end of Stillgrain. It calls the same engine entry points
// as the desktop application.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <exception>
#include <new>
#include <string>
#include <string_view>
#include <vector>

#include "cli/command.h"
#include "cli/batch_command.h"
#include "cli/demo_command.h"
#include "cli/denoise_command.h"
#include "cli/info_command.h"
#include "cli/preview_command.h"
#include "cli/selftest_command.h"
#include "platform/notice.h"

namespace {

struct Command {
  std::string_view name;
  std::string_view synopsis;
  std::string_view help;
  int (*run)(cli::Arguments);
};

const Command kCommands[] = {
    {"denoise", cli::kDenoiseSynopsis, cli::kDenoiseHelp, cli::RunDenoise},
    {"preview", cli::kPreviewSynopsis, cli::kPreviewHelp, cli::RunPreview},
    {"batch", cli::kBatchSynopsis, cli::kBatchHelp, cli::RunBatch},
    {"info", cli::kInfoSynopsis, cli::kInfoHelp, cli::RunInfo},
    {"profiles", cli::kProfilesSynopsis, cli::kProfilesHelp, cli::RunProfiles},
    {"selftest", cli::kSelftestSynopsis, cli::kSelftestHelp, cli::RunSelftest},
    {"demo", cli::kDemoSynopsis, cli::kDemoHelp, cli::RunDemo},
};

void PrintUsage(std::FILE* stream) {
  std::fprintf(stream, "usage: stillgrain-cli COMMAND [OPTIONS]\n\nCommands:\n");
  for (const Command& command : kCommands) {
    std::fprintf(stream, "  %.*s\n%.*s", static_cast<int>(command.synopsis.size()),
                 command.synopsis.data(), static_cast<int>(command.help.size()),
                 command.help.data());
  }
  std::fprintf(stream,
               "\nExit status: 0 on success, 1 on a usage error, 2 when an input cannot be read or "
               "an output cannot be written, 128 + the signal (130, 143, 129) when interrupted.\n");
}

// Memory can run out anywhere outside the engine's own guards (a container of the profile store,
// a path): the run then ends with a message instead of an abort.
int RunGuarded(const Command& command, cli::Arguments args) {
  try {
    return command.run(args);
  } catch (const std::bad_alloc&) {
    std::fprintf(stderr, "stillgrain-cli: not enough memory\n");
  } catch (const std::exception& error) {
    std::fprintf(stderr, "stillgrain-cli: %s\n", error.what());
  }
  return cli::kExitFileError;
}

// What a command printed must have reached its destination: a full disk or a closed pipe behind
// standard output fails the command.
int RunCommand(const Command& command, cli::Arguments args) {
  const int status = RunGuarded(command, args);
  if (std::fflush(stdout) == 0 && !std::ferror(stdout)) return status;
  std::fprintf(stderr, "stillgrain-cli: the output could not be written: %s\n",
               std::strerror(errno));
  return status == cli::kExitSuccess ? cli::kExitFileError : status;
}

}  // namespace

int main(int argc, char** argv) {
  // Messages the core would show in a box ("ERROR", "SHUTDOWN ERROR") go to stderr.
  SetNoticeHandler([](const std::string& title, const std::string& text) {
    std::fprintf(stderr, "stillgrain-cli: %s%s%s\n", title.c_str(), title.empty() ? "" : ": ",
                 text.c_str());
  });
  const std::vector<std::string_view> args(argv + (argc > 0 ? 1 : 0), argv + argc);
  if (args.empty()) {
    PrintUsage(stderr);
    return cli::kExitUsage;
  }
  const std::string_view name = args.front();
  if (name == "-h" || name == "--help" || name == "help") {
    PrintUsage(stdout);
    return cli::kExitSuccess;
  }
  for (const Command& command : kCommands) {
    if (command.name == name) return RunCommand(command, cli::Arguments(args).subspan(1));
  }
  std::fprintf(stderr, "stillgrain-cli: unknown command '%.*s'\n\n", static_cast<int>(name.size()),
               name.data());
  PrintUsage(stderr);
  return cli::kExitUsage;
}
