#include "picture/staged_output.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <mutex>
#include <regex>
#include <set>
#include <string>
#include <system_error>
#include <utility>

#include "platform/termination.h"

namespace fs = std::filesystem;

namespace {

std::atomic<unsigned> stagedCount{0};

// Temporary names: ".stillgrain-PID-N.part", and ".NAME.PID-N.part" as earlier versions named them.
const std::regex& TemporaryName() {
  static const std::regex name(R"(\.(?:stillgrain-|.+\.)(\d{1,9})-\d+\.part)");
  return name;
}

bool ProcessIsAlive(pid_t pid) { return kill(pid, 0) == 0 || errno == EPERM; }

// Removes the temporary files of processes that no longer run. Each folder is looked through once
// per process: a batch writes many results into the same folder.
void RemoveStaleTemporaries(const fs::path& folder) {
  static std::mutex mutex;
  static std::set<fs::path> cleaned;
  {
    const std::lock_guard<std::mutex> lock(mutex);
    if (!cleaned.insert(folder).second) return;
  }
  std::error_code error;
  for (fs::directory_iterator it(folder, error); !error && it != fs::directory_iterator();
       it.increment(error)) {
    const std::string name = it->path().filename().string();
    std::smatch match;
    if (name.empty() || name[0] != '.' || !std::regex_match(name, match, TemporaryName())) continue;
    const auto pid = static_cast<pid_t>(std::stol(match[1].str()));
    std::error_code ignored;
    if (pid != getpid() && !ProcessIsAlive(pid) && it->is_regular_file(ignored)) {
      fs::remove(it->path(), ignored);
    }
  }
}

// A name no other save of this or another process uses at the same time: the process id and a
// count, retried while the name is taken.
fs::path CreateTemporaryBeside(const fs::path& target) {
  constexpr int kAttempts = 100;
  for (int attempt = 0; attempt < kAttempts; ++attempt) {
    fs::path candidate = target;
    candidate.replace_filename(".stillgrain-" + std::to_string(getpid()) + "-" +
                               std::to_string(stagedCount.fetch_add(1)) + ".part");
    const int descriptor = open(candidate.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (descriptor >= 0) {
      close(descriptor);
      return candidate;
    }
    if (errno != EEXIST) break;
  }
  return {};
}

}  // namespace

StagedOutput::StagedOutput(fs::path target) : target_(std::move(target)) {
  const fs::path folder = target_.parent_path();
  RemoveStaleTemporaries(folder.empty() ? fs::path(".") : folder);
  temporary_ = CreateTemporaryBeside(target_);
}

StagedOutput::~StagedOutput() {
  if (Failed()) return;
  std::error_code ignored;
  fs::remove(temporary_, ignored);
}

bool StagedOutput::Commit() {
  if (Failed() || TerminationSignal() != 0) return true;
  std::error_code error;
  fs::rename(temporary_, target_, error);
  if (error) return true;
  temporary_.clear();
  return false;
}
