// A file written under a temporary name in its target's folder and renamed over the target only
// once everything written into it has succeeded, so that a failed save never leaves a truncated
// file behind or destroys an earlier one. Unless committed, the temporary file is removed when the
// object goes.
#pragma once

#include <filesystem>

class StagedOutput {
 public:
  // Creates an empty temporary file beside `target` (a hidden name: "." + the target's name + a
  // unique suffix), with the permissions a new file gets. `Failed()` when that is not possible, for
  // instance because the folder does not exist.
  explicit StagedOutput(std::filesystem::path target);
  ~StagedOutput();
  StagedOutput(const StagedOutput&) = delete;
  StagedOutput& operator=(const StagedOutput&) = delete;

  bool Failed() const { return temporary_.empty(); }
  const std::filesystem::path& TemporaryPath() const { return temporary_; }

  // Renames the temporary file over the target. True on failure (the target is left as it was and
  // the temporary file is removed).
  bool Commit();

 private:
  std::filesystem::path target_;
  std::filesystem::path temporary_;
};
