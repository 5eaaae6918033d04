// A file written under a temporary name in its target's folder and renamed over the target only
// once everything written into it has succeeded, so that a failed or interrupted save never leaves
// a truncated file behind or destroys an earlier one. Unless committed, the temporary file is
// removed when the object goes.
#pragma once

#include <filesystem>

// Removes the temporary files that killed processes left in `folder`, as a new StagedOutput does
// before its first save into a folder (its constructor says which), for a caller that visits a
// folder without saving into it. Each folder is looked through once per process.
void RemoveLeftoverTemporaries(const std::filesystem::path& folder);

class StagedOutput {
 public:
  // Creates an empty temporary file beside `target`, with the permissions a new file gets. Its
  // name is hidden and short, whatever the target's name: ".stillgrain-HOST-PID-N.part", with the
  // machine's name, because machines that share a folder over the network write into it at once.
  // Temporary files of this kind that earlier processes left in the folder (killed before they
  // could remove them) are removed first, once per folder and process: this machine's when their
  // process no longer runs, another machine's when nothing has written to them for a day.
  // `Failed()` when the file cannot be made, for instance because the folder does not exist.
  explicit StagedOutput(std::filesystem::path target);
  ~StagedOutput();
  StagedOutput(const StagedOutput&) = delete;
  StagedOutput& operator=(const StagedOutput&) = delete;

  bool Failed() const { return temporary_.empty(); }
  const std::filesystem::path& TemporaryPath() const { return temporary_; }

  // Renames the temporary file over the target. True on failure, and when a signal has asked the
  // process to end (platform/termination.h): the target is then left as it was and the temporary
  // file is removed.
  bool Commit();

 private:
  std::filesystem::path target_;
  std::filesystem::path temporary_;
};
