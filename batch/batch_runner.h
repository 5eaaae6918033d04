// Batch denoising: every photo of a folder tree denoised with its stored or automatic profile,
// sharpened, and written under the same name into a "denoised" subfolder of the folder that holds
// it. This is the worker's side, free of any window: the desktop application's progress window and
// the command line both follow a run through a `BatchObserver`.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>

#include "batch/folder_listing.h"
#include "config/settings.h"
#include "engine/run_control.h"
#include "picture/photo_document.h"
#include "profiles/camera_profile_store.h"
#include "profiles/noise_calibration.h"
#include "profiles/profile_decision.h"
#include "profiles/profile_request.h"

// What happened to one file of the tree.
enum class BatchOutcome {
  kDenoised,  // denoised and written
  kTooSmall,  // 15 pixels or less on a side, or not 8 to 16 bits: counted as done, not written
  kFailed,    // not denoised: the photo could not be opened (unreadable, damaged, too large), memory
              // ran out, or the result could not be written; the run goes on
};

class BatchObserver {
 public:
  virtual ~BatchObserver() = default;
  // A photo is done (one progress step): written, too small, or failed. `reason` says why it
  // failed, or what was left out of one that was written (accepted damage, further pages, metadata
  // the output cannot hold); empty otherwise.
  virtual void PhotoDone(const std::filesystem::path& input, const std::filesystem::path& output,
                         BatchOutcome outcome, const std::string& reason) = 0;
  // A file that is not a photo (no format that can be read), or not a file at all (a pipe or a
  // device), with the reason; no progress step.
  virtual void FileSkipped(const std::filesystem::path& input, const std::string& reason) = 0;
  // A folder of the tree that could not be read, with the reason; its photos are not denoised.
  virtual void FolderSkipped(const std::filesystem::path& folder, const std::string& reason) = 0;
};

// How a run denoises. Each photo gets the profile that profiles/profile_decision.h decides for
// `profileMode` (by default the profile of its camera and ISO when both are stored exactly, else
// the automatic profile from the noise measured on it); `adjustProfile`, when set, may then change
// it (the command line's single-value overrides).
struct BatchOptions {
  EngineChoice engine;
  CGPGPU* gpu = nullptr;  // the card engine.useGpu refers to, current on the batch's thread
  ProfileMode profileMode = ProfileMode::kAuto;
  // The calibration of the automatic profile; unset, the shipped one, read at the start of the run
  // like the profile store.
  std::optional<NoiseCalibration> calibration;
  bool acceptDamaged = false;  // denoise what a damaged photo holds instead of counting it failed
  std::function<void(IsoProfile&)> adjustProfile;
  // The JPEG quality of every result (the settings' "jpeg" in the desktop application).
  int32_t jpegQuality = kDefaultJpegQuality;
  // The photos of the folders below the root as well, or only the root's own.
  bool includeSubfolders = true;
};

// The state of one folder being processed; each folder level has its own.
struct BatchFolderJob {
  std::filesystem::path folderPath;
  std::filesystem::path outputPath;  // folderPath / "denoised"
  PhotoDocument* document = nullptr;
  const CameraProfileStore* store = nullptr;
  const NoiseCalibration* calibration = nullptr;
  const BatchOptions* options = nullptr;
  BatchObserver* observer = nullptr;
  uint64_t maxPixels = 0;  // photos with more pixels are skipped (MaxPhotoPixels at the start)
  const StopFlag* stop = nullptr;

  bool Stopped() const { return stop != nullptr && stop->Requested(); }
};

// Processes one folder: its photos in name order, each subfolder depth first when it is reached.
void RunBatchFolder(BatchFolderJob& job);

struct BatchSummary {
  uint32_t denoised = 0;
  uint32_t tooSmall = 0;
  uint32_t failed = 0;
  uint32_t skipped = 0;         // files that are not photos
  uint32_t skippedFolders = 0;  // folders that could not be read
  bool cancelled = false;

  // Whether every photo of the tree was denoised (or too small to be): nothing failed and no
  // folder was left unread.
  bool Complete() const { return failed == 0 && skippedFolders == 0 && !cancelled; }
};

// The worker's body: loads the profile store (and the calibration, unless the options hold one)
// once and processes the tree below `root`. `stop` (the progress window's Cancel, an interrupt)
// ends the run: the photo in hand is not written and no further one is begun. The document's
// pictures are reused for every photo and released at the end.
BatchSummary BatchThread(const std::filesystem::path& root, const BatchOptions& options,
                         BatchObserver* observer, const StopFlag* stop = nullptr);
