#include "picture/staged_output.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <fstream>
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

// A temporary of another machine (a folder shared over the network) is taken for a leftover only
// when nothing has written to it for this long: its process cannot be asked whether it still runs.
constexpr auto kForeignLeftoverAge = std::chrono::hours(24);

// This machine's name as it goes into temporary names: letters, digits, '.', '-' and '_' only.
const std::string& HostName() {
  static const std::string name = [] {
    char buffer[256] = {};
    const bool named = gethostname(buffer, sizeof(buffer) - 1) == 0 && buffer[0] != '\0';
    std::string host = named ? buffer : "host";
    for (char& c : host) {
      if (!std::isalnum(static_cast<unsigned char>(c)) && c != '.' && c != '-') c = '_';
    }
    return host.substr(0, 64);
  }();
  return name;
}

// Temporary names: ".stillgrain-HOST-PID-N.part"; ".stillgrain-PID-N.part" and ".NAME.PID-N.part"
// as earlier versions named them, which count as this machine's.
const std::regex& TemporaryName() {
  static const std::regex name(R"(\.stillgrain-(.+)-(\d{1,9})-\d+\.part)");
  return name;
}
const std::regex& EarlierTemporaryName() {
  static const std::regex name(R"(\.(?:stillgrain-|.+\.)(\d{1,9})-\d+\.part)");
  return name;
}

// A process that has ended but was not reaped yet (its parent was killed, and the process that
// adopts it has not come round to it) no longer writes anything.
bool ProcessIsAlive(pid_t pid) {
  if (kill(pid, 0) != 0 && errno != EPERM) return false;
  std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
  std::string line;
  if (!std::getline(stat, line)) return true;
  const size_t nameEnd = line.rfind(')');
  return nameEnd == std::string::npos || nameEnd + 2 >= line.size() || line[nameEnd + 2] != 'Z';
}

bool IsOldFile(const fs::path& path) {
  std::error_code error;
  const fs::file_time_type written = fs::last_write_time(path, error);
  return !error && fs::file_time_type::clock::now() - written > kForeignLeftoverAge;
}

// Whether a file of that name is a temporary that its process left behind: one of this machine
// whose process no longer runs, or one of another machine that has not been written for a day.
bool IsLeftover(const fs::path& path, const std::string& name) {
  if (name.empty() || name[0] != '.') return false;
  std::smatch match;
  std::string pid;
  if (std::regex_match(name, match, TemporaryName())) {
    if (match[1].str() != HostName()) return IsOldFile(path);
    pid = match[2].str();
  } else if (std::regex_match(name, match, EarlierTemporaryName())) {
    pid = match[1].str();
  } else {
    return false;
  }
  const auto process = static_cast<pid_t>(std::stol(pid));
  return process != getpid() && !ProcessIsAlive(process);
}

// A name no other save of this or another process uses at the same time: the process id and a
// count, retried while the name is taken.
fs::path CreateTemporaryBeside(const fs::path& target) {
  constexpr int kAttempts = 100;
  for (int attempt = 0; attempt < kAttempts; ++attempt) {
    fs::path candidate = target;
    candidate.replace_filename(".stillgrain-" + HostName() + "-" + std::to_string(getpid()) +
                               "-" + std::to_string(stagedCount.fetch_add(1)) + ".part");
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

// Each folder is looked through once per process: a batch writes many results into the same
// folder.
void RemoveLeftoverTemporaries(const fs::path& folder) {
  static std::mutex mutex;
  static std::set<fs::path> cleaned;
  {
    const std::lock_guard<std::mutex> lock(mutex);
    if (!cleaned.insert(folder).second) return;
  }
  std::error_code error;
  for (fs::directory_iterator it(folder, error); !error && it != fs::directory_iterator();
       it.increment(error)) {
    std::error_code ignored;
    if (IsLeftover(it->path(), it->path().filename().string()) && it->is_regular_file(ignored)) {
      fs::remove(it->path(), ignored);
    }
  }
}

StagedOutput::StagedOutput(fs::path target) : target_(std::move(target)) {
  const fs::path folder = target_.parent_path();
  RemoveLeftoverTemporaries(folder.empty() ? fs::path(".") : folder);
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
