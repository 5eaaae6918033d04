#include "picture/photo_loading.h"

#include <limits>
#include <system_error>
#include <utility>

#include "app/localisation.h"
#include "app/settings.h"
#include "picture/allocation_failures.h"
#include "picture/bitmap_pixels.h"
#include "picture/exif_summary.h"
#include "picture/freeimage_library.h"
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

// The photo's pixels and texts, read into temporaries so that a refused file leaves the document
// as it was.
struct LoadedPhoto {
  ScopedPicBuf picture;
  ScopedPicBuf alpha;
  ExifSummary exif;
};

// Reads only the header where the format allows it, so that a file claiming a gigantic size is
// refused before its decoder allocates anything. Formats without header-only loading are checked
// after decoding, before their pixels are copied.
OpenFailure CheckHeader(const std::filesystem::path& path, FREE_IMAGE_FORMAT format,
                        uint64_t maxPixels) {
  if (!FreeImage_FIFSupportsNoPixels(format)) return OpenFailure::kNone;
  const UniqueBitmap header = LoadBitmap(path, format, FIF_LOAD_NOPIXELS);
  if (!header) return OpenFailure::kUnreadable;
  return FitsPhotoLimits(header.get(), maxPixels) ? OpenFailure::kNone : OpenFailure::kTooLarge;
}

OpenFailure DecodePhoto(LoadedPhoto& loaded, const std::filesystem::path& path,
                        FREE_IMAGE_FORMAT format, uint64_t maxPixels) {
  const AllocationWatch allocations;
  const UniqueBitmap bitmap = LoadBitmap(path, format);
  if (!bitmap) return OpenFailure::kUnreadable;
  if (!FitsPhotoLimits(bitmap.get(), maxPixels)) return OpenFailure::kTooLarge;
  if (!ConvertBitmapToPicture(loaded.exif, *loaded.picture, *loaded.alpha, bitmap.get())) {
    return OpenFailure::kNone;
  }
  return allocations.Failed() ? OpenFailure::kOutOfMemory : OpenFailure::kUnreadable;
}

OpenFailure LoadPhoto(LoadedPhoto& loaded, const std::filesystem::path& path,
                      uint64_t maxPixels) {
  if (path.native().size() > kMaxPhotoPathBytes) return OpenFailure::kPathTooLong;
  std::error_code error;
  if (!std::filesystem::exists(path, error)) {
    return error ? OpenFailure::kUnreadable : OpenFailure::kMissing;
  }
  const FREE_IMAGE_FORMAT format = ReadableFormatOf(path);
  if (format == FIF_UNKNOWN) return OpenFailure::kUnreadable;
  const OpenFailure header = CheckHeader(path, format, maxPixels);
  if (header != OpenFailure::kNone) return header;
  return DecodePhoto(loaded, path, format, maxPixels);
}

// Hands the loaded buffers over to the document; the document's old storage goes with the
// temporaries.
void TakeOver(PhotoDocument& document, LoadedPhoto& loaded) {
  std::swap(document.sourcePicture, *loaded.picture);
  std::swap(document.alphaPlane, *loaded.alpha);
  document.exif = std::move(loaded.exif);
}

int32_t NoticeFor(OpenFailure failure) {
  switch (failure) {
    case OpenFailure::kTooLarge: return kStringPhotoTooLarge;
    case OpenFailure::kOutOfMemory: return kStringOutOfMemory;
    default: return kStringImageFormatNotSupported;
  }
}

}  // namespace

std::string OpenFailureReason(OpenFailure failure) {
  switch (failure) {
    case OpenFailure::kNone: return "";
    case OpenFailure::kPathTooLong: return "the path is longer than 1023 bytes";
    case OpenFailure::kMissing: return "the file is gone";
    case OpenFailure::kUnreadable: return "not a photo that can be read";
    case OpenFailure::kTooLarge: return "larger than \"Max Megapixels\" allows";
    case OpenFailure::kOutOfMemory: return "not enough memory";
  }
  return "";
}

uint64_t MaxPhotoPixels() {
  return uint64_t{1'000'000} * static_cast<uint64_t>(LoadMaxMegapixels());
}

bool FitsPhotoLimits(FIBITMAP* bitmap, uint64_t maxPixels) {
  const uint64_t pixels = uint64_t{FreeImage_GetWidth(bitmap)} * FreeImage_GetHeight(bitmap);
  const uint64_t bytes = pixels * FreeImage_GetBPP(bitmap) / 8;
  return pixels <= maxPixels &&
         bytes <= static_cast<uint64_t>(std::numeric_limits<int32_t>::max());
}

bool OpenPhoto(PhotoDocument& document, const std::filesystem::path& path, bool quiet) {
  if (path.empty()) return true;
  const OpenFailure failure = OpenPhotoFile(document, path, MaxPhotoPixels());
  if (failure == OpenFailure::kNone) return false;
  if (!quiet) ShowNotice("", LocalisedString(NoticeFor(failure)));
  return true;
}

OpenFailure OpenPhotoFile(PhotoDocument& document, const std::filesystem::path& path,
                          uint64_t maxPixels) {
  LoadedPhoto loaded;
  const OpenFailure failure = LoadPhoto(loaded, path, maxPixels);
  if (failure != OpenFailure::kNone) return failure;
  TakeOver(document, loaded);
  currentPhotoPath = path;
  return OpenFailure::kNone;
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
