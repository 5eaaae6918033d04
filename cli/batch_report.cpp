#include "cli/batch_report.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace cli {

namespace {

std::string StatusName(BatchOutcome outcome) {
  switch (outcome) {
    case BatchOutcome::kDenoised: return "denoised";
    case BatchOutcome::kAlreadyDone: return "already-done";
    case BatchOutcome::kTooSmall: return "too-small";
    case BatchOutcome::kFailed: return "failed";
  }
  return "failed";
}

std::string Fixed(double value, int decimals) {
  char text[48];
  std::snprintf(text, sizeof(text), "%.*f", decimals, value);
  return text;
}

std::string PathText(const std::filesystem::path& path) { return JsonString(path.string()); }

std::string Truth(bool value) { return value ? "true" : "false"; }

}  // namespace

std::unique_ptr<BatchReport> BatchReport::Open(const std::string& target,
                                               const std::filesystem::path& root,
                                               BatchObserver* next, std::string& error) {
  if (target == "-") {
    return std::unique_ptr<BatchReport>(new BatchReport(STDOUT_FILENO, false, root, next));
  }
  const int descriptor = open(target.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0666);
  if (descriptor < 0) {
    error = "cannot open the report " + target + ": " + std::strerror(errno);
    return nullptr;
  }
  return std::unique_ptr<BatchReport>(new BatchReport(descriptor, true, root, next));
}

BatchReport::BatchReport(int descriptor, bool owned, std::filesystem::path root,
                         BatchObserver* next)
    : descriptor_(descriptor), owned_(owned), root_(std::move(root)), next_(next) {}

BatchReport::~BatchReport() {
  if (owned_) close(descriptor_);
}

void BatchReport::PhotoFinished(const PhotoRecord& record) {
  WriteLine({{"type", JsonString("photo")},
             {"path", PathText(record.task.input)},
             {"relativePath", PathText(record.task.relativePath)},
             {"result", PathText(record.task.output)},
             {"status", JsonString(StatusName(record.outcome))},
             {"reason", JsonString(record.reason)},
             {"profileRule", record.rule ? JsonString(RuleName(*record.rule)) : "null"},
             {"profile", record.rule ? JsonObject(ProfileFields(record.profile)) : "null"},
             {"seconds", Fixed(record.seconds, 3)},
             {"megapixels", Fixed(record.megapixels, 3)}});
  next_->PhotoFinished(record);
}

void BatchReport::FileSkipped(const std::filesystem::path& input, const std::string& reason) {
  WriteLine({{"type", JsonString("skipped")},
             {"path", PathText(input)},
             {"relativePath", PathText(input.lexically_relative(root_))},
             {"reason", JsonString(reason)}});
  next_->FileSkipped(input, reason);
}

void BatchReport::FolderSkipped(const std::filesystem::path& folder, const std::string& reason) {
  WriteLine({{"type", JsonString("folder")},
             {"path", PathText(folder)},
             {"reason", JsonString(reason)}});
  next_->FolderSkipped(folder, reason);
}

void BatchReport::Summarise(const BatchSummary& summary, double seconds, const Shard& shard,
                            uint32_t jobs, int exitStatus) {
  const std::string shardText = std::to_string(shard.index) + "/" + std::to_string(shard.count);
  WriteLine({{"type", JsonString("summary")},
             {"denoised", std::to_string(summary.denoised)},
             {"alreadyDone", std::to_string(summary.alreadyDone)},
             {"tooSmall", std::to_string(summary.tooSmall)},
             {"failed", std::to_string(summary.failed)},
             {"skipped", std::to_string(summary.skipped)},
             {"foldersNotRead", std::to_string(summary.skippedFolders)},
             {"cancelled", Truth(summary.cancelled)},
             {"complete", Truth(summary.Complete())},
             {"seconds", Fixed(seconds, 3)},
             {"shard", JsonString(shardText)},
             {"jobs", std::to_string(jobs)},
             {"exitStatus", std::to_string(exitStatus)}});
}

// One write for the whole line, which appends it in one piece; only a full disk or a signal during
// a write to a pipe leaves a rest to write.
void BatchReport::WriteLine(const JsonFields& fields) {
  if (!failure_.empty()) return;
  const std::string line = JsonObject(fields) + "\n";
  for (size_t done = 0; done < line.size();) {
    const ssize_t written = write(descriptor_, line.data() + done, line.size() - done);
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) {
      failure_ = written < 0 ? std::strerror(errno) : "nothing more could be written";
      return;
    }
    done += static_cast<size_t>(written);
  }
}

}  // namespace cli
