#include "batch/photo_processor.h"

#include <chrono>
#include <new>
#include <system_error>
#include <vector>

#include "batch/result_record.h"
#include "engine/denoise.h"
#include "engine/sharpen_picture.h"
#include "picture/allocation_failures.h"
#include "picture/photo_loading.h"
#include "picture/photo_saving.h"
#include "picture/source_metadata.h"
#include "picture/staged_output.h"
#include "profiles/noise_calibration_file.h"
#include "profiles/profile_request.h"

namespace fs = std::filesystem;

namespace {

// Photos this small are counted as done but not denoised.
constexpr int32_t kMinProcessedSide = 16;

bool IsProcessable(const SBxPicBuf& source) {
  return source.width >= kMinProcessedSide && source.height >= kMinProcessedSide &&
         source.bitsPerComponent >= 8 && source.bitsPerComponent <= 16;
}

// Files that no reader takes are no photos: they are passed by. Every other file that cannot be
// opened is a photo that was not denoised.
bool IsNotAPhoto(OpenFailure failure) {
  return failure == OpenFailure::kNotAPhoto || failure == OpenFailure::kNotAFile;
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
// the photos themselves. Another run (a shard, a worker process) may make it at the same moment;
// what counts is that it is a folder afterwards.
bool EnsureOutputFolder(const fs::path& folder) {
  std::error_code error;
  if (!fs::exists(fs::symlink_status(folder, error))) fs::create_directory(folder, error);
  return fs::is_directory(fs::symlink_status(folder, error));
}

// Writes the result with its record; an empty reason means success. What the output could not
// hold of the metadata joins `notes`.
std::string SaveResult(const PhotoDocument& document, const fs::path& output, int32_t jpegQuality,
                       const ResultRecord& record, std::vector<std::string>& notes) {
  const Exiv2::XmpData stamp = RecordAsXmp(record);
  switch (SavePhoto(document, output, jpegQuality, &notes, &stamp)) {
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

// Whether the result at `output` may be kept for the photo: a file of its own (not a link), newer
// than the photo, that opens as a sound photo of the photo's size and holds exactly the record
// this run would write. A result cut short, or any other file at its name, fails one of these.
bool ResultIsDone(const fs::path& output, const FileStamp& photo, const SBxPicBuf& picture,
                  const ResultRecord& expected, uint64_t maxPixels) {
  std::error_code error;
  if (!fs::is_regular_file(fs::symlink_status(output, error))) return false;
  const std::optional<FileStamp> written = StampOfFile(output);
  if (!written || written->modifiedNs <= photo.modifiedNs) return false;
  PhotoDocument result;
  if (OpenPhotoFile(result, output, OpenOptions{maxPixels, false}).failure != OpenFailure::kNone) {
    return false;
  }
  return result.sourcePicture.width == picture.width &&
         result.sourcePicture.height == picture.height && result.metadata != nullptr &&
         RecordInXmp(result.metadata->xmp) == expected;
}

}  // namespace

PhotoProcessor::PhotoProcessor(const BatchOptions& options, const StopFlag* stop)
    : options_(options),
      stop_(stop),
      calibration_(options.calibration ? *options.calibration : LoadNoiseCalibration()),
      maxPixels_(MaxPhotoPixels()) {
  LoadProfiles(store_);
  UseResultRecordNamespace();
}

ProcessedFile PhotoProcessor::Process(const PhotoTask& task) {
  const auto start = std::chrono::steady_clock::now();
  ProcessedFile file = ProcessUntimed(task);
  file.record.seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  return file;
}

ProcessedFile PhotoProcessor::ProcessUntimed(const PhotoTask& task) {
  ProcessedFile file;
  PhotoRecord& record = file.record;
  record.task = task;
  // A run that was killed may have left temporaries where a result was being written; a run that
  // keeps the results there writes nothing that would clear them.
  RemoveLeftoverTemporaries(task.output.parent_path());
  const FileStamp photo = StampOfFile(task.input).value_or(FileStamp{});
  const OpenOutcome opened =
      OpenPhotoFile(document_, task.input, OpenOptions{maxPixels_, options_.acceptDamaged});
  if (IsNotAPhoto(opened.failure)) {
    file.kind = ProcessedFile::Kind::kNotAPhoto;
    record.reason = OpenFailureReason(opened.failure);
    return file;
  }
  if (opened.failure != OpenFailure::kNone) {
    const std::string reason = OpenFailureReason(opened.failure);
    record.reason = opened.damage.empty() ? reason : reason + ": " + opened.damage;
    return file;
  }
  const SBxPicBuf& source = document_.sourcePicture;
  record.megapixels = static_cast<double>(source.width) * source.height / 1e6;
  if (!IsProcessable(source)) {
    record.outcome = BatchOutcome::kTooSmall;
    return file;
  }
  ProfileDecision decision =
      DecideProfile(store_, document_.exif, MeasurePhotoNoiseInDetail(source), calibration_,
                    options_.profileMode, ChoiceSurface::kRun);
  if (options_.adjustProfile) options_.adjustProfile(decision.profile);
  record.rule = decision.rule;
  record.profile = decision.profile;
  const ResultRecord made = RecordOfResult(record.profile, options_.engine.quality,
                                           options_.jpegQuality, task.output, photo);
  if (options_.skipDone && ResultIsDone(task.output, photo, source, made, maxPixels_)) {
    record.outcome = BatchOutcome::kAlreadyDone;
    return file;
  }
  DenoiseAndWrite(file, made, opened.notes);
  return file;
}

void PhotoProcessor::DenoiseAndWrite(ProcessedFile& file, const ResultRecord& made,
                                     std::vector<std::string> notes) {
  PhotoRecord& record = file.record;
  if (CBxPicBufAPI::ReinitHeap(document_.denoisedPicture, document_.sourcePicture)) {
    record.reason = "not enough memory";
    return;
  }
  CBxPicBufAPI::Copy(document_.denoisedPicture, document_.sourcePicture);
  const bool outOfMemory = DenoiseAndSharpen(document_, record.profile, options_, stop_);
  // A stopped run writes nothing of the photo it was denoising.
  if (StopRequested()) {
    file.kind = ProcessedFile::Kind::kStopped;
    return;
  }
  if (outOfMemory) {
    record.reason = "not enough memory";
    return;
  }
  const fs::path folder = record.task.output.parent_path();
  if (!EnsureOutputFolder(folder)) {
    record.reason = "the result could not be written: the folder " + folder.string() +
                    " cannot be created";
    file.outputFolderUnavailable = true;
    return;
  }
  const std::string failure =
      SaveResult(document_, record.task.output, options_.jpegQuality, made, notes);
  // A save that a stop cut short was rolled back on purpose: the photo is not done, nor failed.
  if (!failure.empty() && StopRequested()) {
    file.kind = ProcessedFile::Kind::kStopped;
    return;
  }
  record.outcome = failure.empty() ? BatchOutcome::kDenoised : BatchOutcome::kFailed;
  record.reason = failure.empty() ? Joined(notes) : failure;
}
