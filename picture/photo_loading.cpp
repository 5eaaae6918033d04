#include "picture/photo_loading.h"

#include <memory>
#include <utility>

#include "config/localisation.h"
#include "config/settings.h"
#include "picture/allocation_failures.h"
#include "picture/bitmap_pixels.h"
#include "picture/exif_summary.h"
#include "picture/freeimage_library.h"
#include "picture/photo_decoder.h"
#include "picture/photo_file.h"
#include "picture/source_metadata.h"
#include "platform/notice.h"

namespace {

bool AllocateFor(SBxPicBuf& buffer, FIBITMAP* bitmap, uint32_t components, uint32_t bits) {
  return CBxPicBufAPI::ReinitHeap(buffer, static_cast<int32_t>(FreeImage_GetWidth(bitmap)),
                                  static_cast<int32_t>(FreeImage_GetHeight(bitmap)), components,
                                  bits);
}

bool ConvertPixels(SBxPicBuf& picture, SBxPicBuf& alpha, FIBITMAP* bitmap) {
  const auto layout = LayoutOfBitmap(bitmap);
  if (!layout) return true;
  if (AllocateFor(picture, bitmap, layout->PictureComponents(), layout->bitsPerChannel)) {
    return true;
  }
  if (layout->HasAlpha()) {
    if (AllocateFor(alpha, bitmap, 1, layout->bitsPerChannel)) return true;
  } else {
    CBxPicBufAPI::DoneHeap(alpha);
  }
  ReadBitmapPixels(bitmap, *layout, picture, &alpha);
  return false;
}

// The photo's pixels, texts and metadata, read into temporaries so that a refused file leaves the
// document as it was.
struct LoadedPhoto {
  PicBuf picture;
  PicBuf alpha;
  ExifSummary exif;
  std::shared_ptr<const SourceMetadata> metadata;
};

void NoteWhatWasLeftOut(const DecodedPhoto& decoded, OpenOutcome& outcome) {
  if (!decoded.damage.empty()) {
    outcome.damage = decoded.damage;
    outcome.notes.push_back("damaged: " + decoded.damage + "; opened what could be read");
  }
  if (decoded.pages > 1) {
    outcome.notes.push_back("only the first of its " + std::to_string(decoded.pages) +
                            " pages is denoised");
  }
}

OpenFailure LoadPhoto(LoadedPhoto& loaded, const std::filesystem::path& path,
                      const OpenOptions& options, OpenOutcome& outcome) {
  if (path.native().size() > kMaxPhotoPathBytes) return OpenFailure::kPathTooLong;
  PhotoFile file;
  const OpenFailure opened = file.Open(path);
  if (opened != OpenFailure::kNone) return opened;
  const FREE_IMAGE_FORMAT format = PhotoFormat(file, path);
  if (format == FIF_UNKNOWN) return OpenFailure::kNotAPhoto;
  const AllocationWatch allocations;
  const DecodedPhoto decoded =
      DecodePhoto(file, format, {options.maxPixels, options.acceptDamaged});
  outcome.damage = decoded.damage;
  if (decoded.failure != OpenFailure::kNone) return decoded.failure;
  if (ConvertBitmapToPicture(loaded.exif, loaded.picture, loaded.alpha, decoded.bitmap.get())) {
    return allocations.Failed() ? OpenFailure::kOutOfMemory : OpenFailure::kUnreadable;
  }
  loaded.metadata = ReadSourceMetadata(file, decoded.bitmap.get());
  NoteWhatWasLeftOut(decoded, outcome);
  return OpenFailure::kNone;
}

// Hands the loaded buffers over to the document; the document's old storage goes with the
// temporaries.
void TakeOver(PhotoDocument& document, LoadedPhoto& loaded) {
  std::swap(document.sourcePicture, loaded.picture);
  std::swap(document.alphaPlane, loaded.alpha);
  document.exif = std::move(loaded.exif);
  document.metadata = std::move(loaded.metadata);
}

}  // namespace

std::string OpenFailureReason(OpenFailure failure) {
  switch (failure) {
    case OpenFailure::kNone: return "";
    case OpenFailure::kPathTooLong: return "the path is longer than 1023 bytes";
    case OpenFailure::kMissing: return "no such file";
    case OpenFailure::kFolder: return "a folder, not a photo";
    case OpenFailure::kNotAFile: return "not a regular file (a pipe, a device or a socket)";
    case OpenFailure::kNoPermission: return "permission denied";
    case OpenFailure::kReadError: return "the file could not be read";
    case OpenFailure::kNotAPhoto: return "not a photo that can be read";
    case OpenFailure::kUnreadable: return "a photo format or layout that cannot be read";
    case OpenFailure::kDamaged: return "the photo is damaged";
    case OpenFailure::kTooLarge: return "larger than \"Max Megapixels\" allows";
    case OpenFailure::kOutOfMemory: return "not enough memory";
  }
  return "";
}

uint64_t MaxPhotoPixels() {
  return uint64_t{1'000'000} * static_cast<uint64_t>(LoadMaxMegapixels());
}

std::string OpenFailureNotice(const OpenOutcome& outcome, const std::filesystem::path& path) {
  switch (outcome.failure) {
    case OpenFailure::kNone: return "";
    case OpenFailure::kNotAPhoto:
    case OpenFailure::kUnreadable: return LocalisedString(kStringImageFormatNotSupported);
    case OpenFailure::kTooLarge: return LocalisedString(kStringPhotoTooLarge);
    case OpenFailure::kOutOfMemory: return LocalisedString(kStringOutOfMemory);
    case OpenFailure::kDamaged:
      return LocalisedString(kStringPhotoDamaged) + " " + path.string() + "\n" + outcome.damage;
    default: return path.string() + ": " + OpenFailureReason(outcome.failure);
  }
}

bool OpenPhoto(PhotoDocument& document, const std::filesystem::path& path, bool quiet) {
  if (path.empty()) return true;
  const OpenOutcome outcome = OpenPhotoFile(document, path, OpenOptions{MaxPhotoPixels(), false});
  if (outcome.failure == OpenFailure::kNone) return false;
  if (!quiet) ShowNotice("", OpenFailureNotice(outcome, path));
  return true;
}

OpenOutcome OpenPhotoFile(PhotoDocument& document, const std::filesystem::path& path,
                          const OpenOptions& options) {
  LoadedPhoto loaded;
  OpenOutcome outcome;
  outcome.failure = LoadPhoto(loaded, path, options, outcome);
  if (outcome.failure != OpenFailure::kNone) {
    outcome.notes.clear();
    return outcome;
  }
  TakeOver(document, loaded);
  document.path = path;
  return outcome;
}

OpenFailure OpenPhotoFile(PhotoDocument& document, const std::filesystem::path& path,
                          uint64_t maxPixels) {
  return OpenPhotoFile(document, path, OpenOptions{maxPixels, false}).failure;
}

bool ConvertBitmapToPicture(ExifSummary& summary, SBxPicBuf& picture, SBxPicBuf& alpha,
                            FIBITMAP* bitmap) {
  summary = ReadExifSummary(bitmap);
  if (ConvertPixels(picture, alpha, bitmap)) {
    CBxPicBufAPI::DoneHeap(picture);
    CBxPicBufAPI::DoneHeap(alpha);
    return true;
  }
  return false;
}
