#include "picture/staged_output.h"

#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <string>
#include <system_error>
#include <utility>

namespace {

std::atomic<unsigned> stagedCount{0};

// A name no other save of this or another process uses at the same time: the process id and a
// count, retried while the name is taken.
std::filesystem::path CreateTemporaryBeside(const std::filesystem::path& target) {
  constexpr int kAttempts = 100;
  for (int attempt = 0; attempt < kAttempts; ++attempt) {
    const std::string suffix =
        "." + std::to_string(getpid()) + "-" + std::to_string(stagedCount.fetch_add(1)) + ".part";
    std::filesystem::path candidate = target;
    candidate.replace_filename("." + target.filename().string() + suffix);
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

StagedOutput::StagedOutput(std::filesystem::path target)
    : target_(std::move(target)), temporary_(CreateTemporaryBeside(target_)) {}

StagedOutput::~StagedOutput() {
  if (Failed()) return;
  std::error_code ignored;
  std::filesystem::remove(temporary_, ignored);
}

bool StagedOutput::Commit() {
  if (Failed()) return true;
  std::error_code error;
  std::filesystem::rename(temporary_, target_, error);
  if (error) return true;
  temporary_.clear();
  return false;
}
