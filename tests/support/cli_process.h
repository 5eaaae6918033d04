// Running stillgrain-cli from a test, with its settings in a folder of the test's own: to the end
// with its output captured, or started in a process group of its own (it and any worker processes
// it forks) to be signalled while it runs.
#pragma once

#include <sys/types.h>

#include <filesystem>
#include <string>
#include <vector>

namespace testcli {

struct Result {
  int status;  // the exit status, -1 when a signal ended it
  std::string out;
  std::string err;
};

// Runs `program` with `arguments` (a shell word list) in `folder`, settings in `folder`/config,
// `environment` (assignments) set; standard input is empty.
Result Run(const std::filesystem::path& program, const std::filesystem::path& folder,
           const std::string& arguments, const std::string& environment = "");

// Starts `program` with `arguments` in `folder` (settings as for Run, output discarded) as the
// leader of a new process group; returns its process id.
pid_t Start(const std::filesystem::path& program, const std::filesystem::path& folder,
            const std::vector<std::string>& arguments);

// Waits for the process to end; its exit status, or -1 when a signal ended it.
int Wait(pid_t process);

}  // namespace testcli
