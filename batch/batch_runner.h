// Batch denoising: every photo of a folder tree denoised with the stored profiles, sharpened, and
// written under the same name into a "denoised" subfolder of the folder that holds it. This is the
// worker's side, free of any window: the desktop application's progress window and the command
// line both follow a run through a `BatchObserver`.
#pragma once

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>

#include "picture/photo_document.h"
#include "profiles/camera_profile_store.h"

// Set by the progress window's Cancel (or an interrupt) to end a run before its next folder entry;
// cleared at the start and at the end of a run.
extern std::atomic<uint8_t> batchAbort;

inline constexpr const char* kDenoisedFolderName = "denoised";

// What happened to one file of the tree.
enum class BatchOutcome {
  kDenoised,     // denoised and written
  kTooSmall,     // 15 pixels or less on a side, or not 8 to 16 bits: counted as done, not written
  kWriteFailed,  // the result could not be written, or the engine ran out of memory; the run
                 // goes on
};

class BatchObserver {
 public:
  virtual ~BatchObserver() = default;
  // A photo is done (one progress step): written, too small, or not writable.
  virtual void PhotoDone(const std::filesystem::path& input, const std::filesystem::path& output,
                         BatchOutcome outcome, const std::string& reason) = 0;
  // A file that is not a photo the engine can read, with the reason (OpenFailureReason: "not a
  // photo that can be read", "the file is gone", "larger than \"Max Megapixels\" allows", …); no
  // progress step.
  virtual void FileSkipped(const std::filesystem::path& input, const std::string& reason) = 0;
};

// How a run denoises. Each photo gets the profile of its camera and ISO when both are stored
// exactly, else the unknown camera's first profile; `adjustProfile`, when set, may then change it
// (the command line's built-in profile and single-value overrides).
struct BatchOptions {
  int32_t quality = 3;
  bool useGpu = false;
  bool fusion = false;
  std::function<void(IsoProfile&)> adjustProfile;
  // The JPEG quality of every result; unset, each save reads it from the settings file and stores
  // it back, as the desktop application's saves do.
  std::optional<int32_t> jpegQuality;
};

// The state of one folder being processed; each folder level has its own.
struct BatchFolderJob {
  std::filesystem::path folderPath;
  std::filesystem::path outputPath;  // folderPath / "denoised"
  PhotoDocument* document = nullptr;
  const CameraProfileStore* store = nullptr;
  const BatchOptions* options = nullptr;
  BatchObserver* observer = nullptr;
  uint64_t maxPixels = 0;  // photos with more pixels are skipped (MaxPhotoPixels at the start)
};

// Processes one folder: its photos in name order, each subfolder depth first when it is reached.
void RunBatchFolder(BatchFolderJob& job);

struct BatchSummary {
  uint32_t denoised = 0;
  uint32_t tooSmall = 0;
  uint32_t failed = 0;
  uint32_t skipped = 0;
  bool cancelled = false;
};

// The worker's body: clears the cancel flags, loads the profile store once, processes the tree
// below `root` and clears `batchAbort` again. The document's pictures are reused for every photo
// and released at the end.
BatchSummary BatchThread(const std::filesystem::path& root, const BatchOptions& options,
                         BatchObserver* observer);
