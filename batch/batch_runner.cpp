#include "batch/batch_runner.h"

#include <new>
#include <string>
#include <system_error>
#include <vector>

#include "batch/folder_listing.h"
#include "engine/denoise.h"
#include "engine/sharpen_picture.h"
#include "picture/allocation_failures.h"
#include "picture/photo_loading.h"
#include "picture/photo_saving.h"
#include "profiles/noise_calibration_file.h"
#include "profiles/profile_decision.h"
#include "profiles/profile_request.h"

namespace fs = std::filesystem;

namespace {

// Photos this small are counted as done but not denoised.
constexpr int32_t kMinProcessedSide = 16;

bool IsProcessable(const PhotoDocument& document) {
  const SBxPicBuf& source = document.sourcePicture;
  const SBxPicBuf& denoised = document.denoisedPicture;
  return source.data != nullptr && denoised.data != nullptr && source.width >= kMinProcessedSide &&
         source.height >= kMinProcessedSide && source.bitsPerComponent >= 8 &&
         source.bitsPerComponent <= 16;
}

// True when memory ran out on the way: the picture is then incomplete. Releases the photo as
// loaded.
bool DenoiseAndSharpen(PhotoDocument& document, const IsoProfile& profile,
                       const BatchOptions& options, const StopFlag* stop) {
  const AllocationWatch allocations;
  try {
    DenoisePicture(document.denoisedPicture, document.sourcePicture,
                   RequestForProfile(profile, options.engine), RunControl(nullptr, stop, options.gpu));
    // Sharpening and saving a large photo need the memory of the photo as loaded, which is not
    // needed any more.
    CBxPicBufAPI::DoneHeap(document.sourcePicture);
    SharpenPicture(document.denoisedPicture, profile.m_dSharp1, profile.m_dSharp2,
                   profile.m_dSharp3);
  } catch (const std::bad_alloc&) {
    return true;
  }
  return allocations.Failed();
}

// The output folder must be a real folder of its own: a link there could lead the results onto
// the photos themselves.
bool EnsureOutputFolder(const fs::path& folder) {
  std::error_code error;
  const fs::file_status status = fs::symlink_status(folder, error);
  if (fs::is_directory(status)) return true;
  if (fs::exists(status)) return false;
  return fs::create_directory(folder, error) && !error;
}

// Writes the result; an empty reason means success. What the output could not hold of the
// metadata joins `notes`.
std::string SaveResult(PhotoDocument& document, const fs::path& output,
                       const BatchOptions& options, std::vector<std::string>& notes) {
  switch (SavePhoto(document, output, options.jpegQuality, &notes)) {
    case SaveFailure::kNone: return {};
    case SaveFailure::kUnsupportedFormat: return "the format cannot be written";
    default: return "the file could not be written";
  }
}

std::string Joined(const std::vector<std::string>& notes) {
  std::string text;
  for (const std::string& note : notes) text += (text.empty() ? "" : "; ") + note;
  return text;
}

// Files that no reader takes are no photos: they are passed by. Every other file that cannot be
// opened is a photo that was not denoised.
bool IsNotAPhoto(OpenFailure failure) {
  return failure == OpenFailure::kNotAPhoto || failure == OpenFailure::kNotAFile;
}

// Steps for one file of a folder. False when the folder's output folder cannot be had, which ends
// the folder.
bool ProcessFile(BatchFolderJob& job, const std::string& name) {
  PhotoDocument& document = *job.document;
  const fs::path input = job.folderPath / name;
  const fs::path output = job.outputPath / name;
  const OpenOutcome opened =
      OpenPhotoFile(document, input, OpenOptions{job.maxPixels, job.options->acceptDamaged});
  if (IsNotAPhoto(opened.failure)) {
    job.observer->FileSkipped(input, OpenFailureReason(opened.failure));
    return true;
  }
  if (opened.failure != OpenFailure::kNone) {
    const std::string reason = OpenFailureReason(opened.failure);
    job.observer->PhotoDone(input, output, BatchOutcome::kFailed,
                            opened.damage.empty() ? reason : reason + ": " + opened.damage);
    return true;
  }
  if (!CBxPicBufAPI::ReinitHeap(document.denoisedPicture, document.sourcePicture)) {
    CBxPicBufAPI::Copy(document.denoisedPicture, document.sourcePicture);
  }
  if (!IsProcessable(document)) {
    job.observer->PhotoDone(input, output, BatchOutcome::kTooSmall, {});
    return true;
  }
  IsoProfile profile =
      DecideProfile(*job.store, document.exif, MeasurePhotoNoiseInDetail(document.sourcePicture),
                    *job.calibration, job.options->profileMode, ChoiceSurface::kRun)
          .profile;
  if (job.options->adjustProfile) job.options->adjustProfile(profile);
  const bool outOfMemory = DenoiseAndSharpen(document, profile, *job.options, job.stop);
  // A stopped run writes nothing of the photo it was denoising.
  if (job.Stopped()) return true;
  if (outOfMemory) {
    job.observer->PhotoDone(input, output, BatchOutcome::kFailed, "not enough memory");
    return true;
  }
  if (!EnsureOutputFolder(job.outputPath)) {
    job.observer->PhotoDone(input, output, BatchOutcome::kFailed,
                            "the result could not be written: the folder " +
                                job.outputPath.string() + " cannot be created");
    return false;
  }
  std::vector<std::string> notes = opened.notes;
  const std::string failure = SaveResult(document, output, *job.options, notes);
  job.observer->PhotoDone(input, output,
                          failure.empty() ? BatchOutcome::kDenoised : BatchOutcome::kFailed,
                          failure.empty() ? Joined(notes) : failure);
  return true;
}

// Counts the outcomes on their way to the caller's observer.
class CountingObserver final : public BatchObserver {
 public:
  explicit CountingObserver(BatchObserver* next) : next_(next) {}

  void PhotoDone(const fs::path& input, const fs::path& output, BatchOutcome outcome,
                 const std::string& reason) override {
    switch (outcome) {
      case BatchOutcome::kDenoised: ++summary.denoised; break;
      case BatchOutcome::kTooSmall: ++summary.tooSmall; break;
      case BatchOutcome::kFailed: ++summary.failed; break;
    }
    if (next_ != nullptr) next_->PhotoDone(input, output, outcome, reason);
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

void RunBatchFolder(BatchFolderJob& job) {
  std::error_code error;
  const std::vector<FolderEntry> entries = ListFolder(job.folderPath, &error);
  if (error) job.observer->FolderSkipped(job.folderPath, error.message());
  for (const FolderEntry& entry : entries) {
    if (job.Stopped()) return;
    if (entry.name == kDenoisedFolderName || entry.kind == EntryKind::kIgnored) continue;
    if (entry.kind == EntryKind::kFolder) {
      if (!job.options->includeSubfolders) continue;
      BatchFolderJob child = job;
      child.folderPath = job.folderPath / entry.name;
      child.outputPath = child.folderPath / kDenoisedFolderName;
      RunBatchFolder(child);
      continue;
    }
    if (!ProcessFile(job, entry.name)) return;
  }
}

BatchSummary BatchThread(const fs::path& root, const BatchOptions& options,
                         BatchObserver* observer, const StopFlag* stop) {
  CameraProfileStore store;
  LoadProfiles(store);
  const NoiseCalibration calibration =
      options.calibration ? *options.calibration : LoadNoiseCalibration();
  PhotoDocument document;
  CountingObserver counting(observer);
  BatchFolderJob job;
  job.folderPath = root;
  job.outputPath = root / kDenoisedFolderName;
  job.document = &document;
  job.store = &store;
  job.calibration = &calibration;
  job.options = &options;
  job.observer = &counting;
  job.maxPixels = MaxPhotoPixels();
  job.stop = stop;
  RunBatchFolder(job);
  counting.summary.cancelled = job.Stopped();
  ReleasePhotoDocument(document);
  return counting.summary;
}
