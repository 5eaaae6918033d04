// Batch denoising: every photo of a folder tree denoised with its stored or automatic profile,
// sharpened, and written under the same name into a "denoised" subfolder of the folder that holds
// it. This is the worker's side, free of any window: the desktop application's progress window and
// the command line both follow a run through a `BatchObserver`.
//
// The tree is walked in name order, each subfolder depth first when it is reached. Each photo of
// the run's shard goes to a PhotoProcessor on the calling thread, or to the run's worker processes,
// which report in the order they finish.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>

#include "batch/batch_options.h"
#include "batch/folder_listing.h"
#include "batch/photo_processor.h"
#include "engine/run_control.h"

class BatchObserver {
 public:
  virtual ~BatchObserver() = default;
  // A photo is done (one progress step): written, kept from an earlier run, too small, or failed.
  // `reason` says why it failed, or what was left out of one that was written (accepted damage,
  // further pages, metadata the output cannot hold); empty otherwise. Does nothing by default.
  virtual void PhotoDone(const std::filesystem::path& input, const std::filesystem::path& output,
                         BatchOutcome outcome, const std::string& reason);
  // The same event with everything the run knows of the photo, for an observer that keeps a
  // record of the run. The runner calls this one; unless overridden it passes the photo on to
  // PhotoDone.
  virtual void PhotoFinished(const PhotoRecord& record);
  // A file that is not a photo (no format that can be read), or not a file at all (a pipe or a
  // device), with the reason; no progress step.
  virtual void FileSkipped(const std::filesystem::path& input, const std::string& reason) = 0;
  // A folder of the tree that could not be read, with the reason; its photos are not denoised.
  virtual void FolderSkipped(const std::filesystem::path& folder, const std::string& reason) = 0;
};

struct BatchSummary {
  uint32_t denoised = 0;
  uint32_t alreadyDone = 0;     // results of an earlier run that were kept
  uint32_t tooSmall = 0;
  uint32_t failed = 0;
  uint32_t skipped = 0;         // files that are not photos
  uint32_t skippedFolders = 0;  // folders that could not be read
  bool cancelled = false;

  // Whether every photo of the tree (or of the shard) has its result, or is too small to have one:
  // nothing failed and no folder was left unread.
  bool Complete() const { return failed == 0 && skippedFolders == 0 && !cancelled; }
};

// The worker's body: processes the tree below `root` with the options' shard, skip-done rule and
// workers. Without workers, the profile store (and the calibration, unless the options hold one)
// is loaded once and a photo document reused for every photo; each worker does the same on its
// own. `stop` (the progress window's Cancel, an interrupt) ends the run: the photos in hand are
// not written and no further one is begun. When a photo's "denoised" folder can neither be found
// nor made, the rest of its folder, subfolders included, is left; the parent folder goes on.
BatchSummary BatchThread(const std::filesystem::path& root, const BatchOptions& options,
                         BatchObserver* observer, const StopFlag* stop = nullptr);
