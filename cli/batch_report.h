// The batch's record for programs (--report FILE, or - for standard output): one JSON object per
// line as the run goes, and a summary object as the last line.
//
//   {"type": "photo", "path", "relativePath", "result", "status", "reason", "profileRule",
//    "profile", "seconds", "megapixels"}   status: denoised, already-done, too-small, failed
//   {"type": "skipped", "path", "relativePath", "reason"}   a file that is not a photo
//   {"type": "folder", "path", "reason"}                     a folder that could not be read
//   {"type": "summary", "denoised", "alreadyDone", "tooSmall", "failed", "skipped",
//    "foldersNotRead", "cancelled", "complete", "seconds", "shard", "jobs", "exitStatus"}
//
// A file is opened for appending and each line goes out in one write, so runs that share a report
// file on one machine never mix their lines, and a run that is killed leaves whole lines of the
// photos it finished.
#pragma once

#include <filesystem>
#include <memory>
#include <string>

#include "batch/batch_runner.h"
#include "cli/json_text.h"

namespace cli {

class BatchReport final : public BatchObserver {
 public:
  // Opens the report for a run over `root` whose events go on to `next`. Null, with the reason in
  // `error`, when the file cannot be opened.
  static std::unique_ptr<BatchReport> Open(const std::string& target,
                                           const std::filesystem::path& root, BatchObserver* next,
                                           std::string& error);
  ~BatchReport() override;
  BatchReport(const BatchReport&) = delete;
  BatchReport& operator=(const BatchReport&) = delete;

  void PhotoFinished(const PhotoRecord& record) override;
  void FileSkipped(const std::filesystem::path& input, const std::string& reason) override;
  void FolderSkipped(const std::filesystem::path& folder, const std::string& reason) override;

  // The last line.
  void Summarise(const BatchSummary& summary, double seconds, const Shard& shard, uint32_t jobs,
                 int exitStatus);

  // Why a line could not be written (the first failure; no line is written after it), or empty.
  const std::string& WriteFailure() const { return failure_; }

 private:
  BatchReport(int descriptor, bool owned, std::filesystem::path root, BatchObserver* next);
  void WriteLine(const JsonFields& fields);

  int descriptor_;
  bool owned_;
  std::filesystem::path root_;
  BatchObserver* next_;
  std::string failure_;
};

}  // namespace cli
