#include "batch/batch_runner.h"

#include <functional>
#include <optional>
#include <set>
#include <system_error>
#include <vector>

#include "batch/folder_listing.h"
#include "batch/photo_workers.h"

namespace fs = std::filesystem;

void BatchObserver::PhotoDone(const fs::path&, const fs::path&, BatchOutcome, const std::string&) {}

void BatchObserver::PhotoFinished(const PhotoRecord& record) {
  PhotoDone(record.task.input, record.task.output, record.outcome, record.reason);
}

namespace {

using Submit = std::function<void(const PhotoTask&)>;

// The state of one folder being processed; each folder level has its own.
struct BatchFolderJob {
  fs::path folderPath;
  fs::path outputPath;    // folderPath / "denoised"
  fs::path relativePath;  // folderPath below the root; empty for the root
  const BatchOptions* options = nullptr;
  BatchObserver* observer = nullptr;
  const StopFlag* stop = nullptr;
  const Submit* submit = nullptr;  // where each photo of the shard goes
  // The folders below the root whose "denoised" folder cannot be had.
  const std::set<fs::path>* closedFolders = nullptr;

  bool Stopped() const { return stop != nullptr && stop->Requested(); }

  // Whether this folder, or one that holds it, has no output folder: what is left of it is left.
  bool Closed() const {
    for (fs::path folder = relativePath;; folder = folder.parent_path()) {
      if (closedFolders->count(folder) != 0) return true;
      if (folder.empty()) return false;
    }
  }
};

// Processes one folder: its photos in name order, each subfolder depth first when it is reached.
void RunBatchFolder(const BatchFolderJob& job) {
  std::error_code error;
  const std::vector<FolderEntry> entries = ListFolder(job.folderPath, &error);
  if (error) job.observer->FolderSkipped(job.folderPath, error.message());
  for (const FolderEntry& entry : entries) {
    if (job.Stopped() || job.Closed()) return;
    if (entry.name == kDenoisedFolderName || entry.kind == EntryKind::kIgnored) continue;
    if (entry.kind == EntryKind::kFolder) {
      if (!job.options->includeSubfolders) continue;
      BatchFolderJob child = job;
      child.folderPath = job.folderPath / entry.name;
      child.outputPath = child.folderPath / kDenoisedFolderName;
      child.relativePath = job.relativePath / entry.name;
      RunBatchFolder(child);
      continue;
    }
    const fs::path relativePath = job.relativePath / entry.name;
    if (!job.options->shard.Holds(relativePath)) continue;
    (*job.submit)(
        PhotoTask{job.folderPath / entry.name, job.outputPath / entry.name, relativePath});
  }
}

// Counts the outcomes on their way to the caller's observer.
class CountingObserver final : public BatchObserver {
 public:
  explicit CountingObserver(BatchObserver* next) : next_(next) {}

  void PhotoFinished(const PhotoRecord& record) override {
    switch (record.outcome) {
      case BatchOutcome::kDenoised: ++summary.denoised; break;
      case BatchOutcome::kAlreadyDone: ++summary.alreadyDone; break;
      case BatchOutcome::kTooSmall: ++summary.tooSmall; break;
      case BatchOutcome::kFailed: ++summary.failed; break;
    }
    if (next_ != nullptr) next_->PhotoFinished(record);
  }
  void FileSkipped(const fs::path& input, const std::string& reason) override {
    ++summary.skipped;
    if (next_ != nullptr) next_->FileSkipped(input, reason);
  }
  void FolderSkipped(const fs::path& folder, const std::string& reason) override {
    ++summary.skippedFolders;
    if (next_ != nullptr) next_->FolderSkipped(folder, reason);
  }

  BatchSummary summary;

 private:
  BatchObserver* next_;
};

}  // namespace

BatchSummary BatchThread(const fs::path& root, const BatchOptions& options,
                         BatchObserver* observer, const StopFlag* stop) {
  CountingObserver counting(observer);
  std::set<fs::path> closedFolders;
  const PhotoWorkers::Done done = [&](const ProcessedFile& file) {
    const PhotoRecord& record = file.record;
    if (file.kind == ProcessedFile::Kind::kPhoto) counting.PhotoFinished(record);
    if (file.kind == ProcessedFile::Kind::kNotAPhoto) {
      counting.FileSkipped(record.task.input, record.reason);
    }
    if (file.outputFolderUnavailable) closedFolders.insert(record.task.relativePath.parent_path());
  };
  std::optional<PhotoProcessor> processor;
  if (options.workers == nullptr) processor.emplace(options, stop);
  const Submit submit = [&](const PhotoTask& task) {
    if (processor) {
      done(processor->Process(task));
    } else {
      options.workers->Submit(task, done, stop);
    }
  };
  BatchFolderJob job;
  job.folderPath = root;
  job.outputPath = root / kDenoisedFolderName;
  job.options = &options;
  job.observer = &counting;
  job.stop = stop;
  job.submit = &submit;
  job.closedFolders = &closedFolders;
  RunBatchFolder(job);
  if (options.workers != nullptr) options.workers->Finish(done, stop);
  counting.summary.cancelled = job.Stopped();
  return counting.summary;
}
