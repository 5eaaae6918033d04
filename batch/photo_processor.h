// One photo of a batch from file to result: opened, given its profile, checked against a finished
// result of an earlier run when asked, denoised, sharpened and written with a record of how it was
// made. A processor serves one photo at a time; a run has one on its own thread, or one in each of
// its worker processes.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "batch/batch_options.h"
#include "batch/result_record.h"
#include "engine/run_control.h"
#include "picture/photo_document.h"
#include "profiles/camera_profile_store.h"
#include "profiles/noise_calibration.h"
#include "profiles/profile_decision.h"

// A file of the tree and where its result goes.
struct PhotoTask {
  std::filesystem::path input;         // the file, as the run reached it (root / relativePath)
  std::filesystem::path output;        // the same name in the "denoised" folder beside it
  std::filesystem::path relativePath;  // below the tree's root: what shards and reports go by
};

// What happened to a photo.
enum class BatchOutcome {
  kDenoised,     // denoised and written
  kAlreadyDone,  // its result of an earlier run was kept (skip-done)
  kTooSmall,     // 15 pixels or less on a side, or not 8 to 16 bits: counted as done, not written
  kFailed,       // not denoised: the photo could not be opened (unreadable, damaged, too large),
                 // memory ran out, or the result could not be written; the run goes on
};

// Everything a run knows of a photo that is done.
struct PhotoRecord {
  PhotoTask task;
  BatchOutcome outcome = BatchOutcome::kFailed;
  // Why it failed, or what was left out of one that was written (accepted damage, further pages,
  // metadata the output cannot hold); empty otherwise.
  std::string reason;
  std::optional<ProfileRule> rule;  // which rule chose the values, when a profile was decided
  IsoProfile profile{};             // the values the photo was (or would have been) denoised with
  double seconds = 0;               // spent on the photo
  double megapixels = 0;            // of the photo, when it opened
};

// What processing one file gave.
struct ProcessedFile {
  enum class Kind {
    kPhoto,     // a photo, done: `record` says how
    kNotAPhoto,  // no photo (no format that reads it) or no file at all: `record.reason` says why
    kStopped,   // the run was asked to stop while the photo was in hand: nothing was written
  };
  Kind kind = Kind::kPhoto;
  PhotoRecord record;
  // The "denoised" folder beside the photo can neither be found nor made: the rest of that folder
  // is left (its later photos and subfolders).
  bool outputFolderUnavailable = false;
};

class PhotoProcessor {
 public:
  // Loads the profile store and the calibration (unless the options hold one), once for all the
  // photos it will serve. `stop` (may be null) ends the photo in hand without writing it.
  PhotoProcessor(const BatchOptions& options, const StopFlag* stop);
  PhotoProcessor(const PhotoProcessor&) = delete;
  PhotoProcessor& operator=(const PhotoProcessor&) = delete;

  ProcessedFile Process(const PhotoTask& task);

  bool StopRequested() const { return stop_ != nullptr && stop_->Requested(); }

 private:
  ProcessedFile ProcessUntimed(const PhotoTask& task);
  // The photo in the document denoised, sharpened and written with the record `made`; `notes` are
  // what its opening said of it.
  void DenoiseAndWrite(ProcessedFile& file, const ResultRecord& made,
                       std::vector<std::string> notes);

  const BatchOptions& options_;
  const StopFlag* stop_;
  CameraProfileStore store_;
  NoiseCalibration calibration_;
  uint64_t maxPixels_;
  PhotoDocument document_;  // reused for every photo: its pictures keep their storage
};
