#include "picture/photo_loading.h"

#include <utility>

#include "app/localisation.h"
#include "picture/bitmap_pixels.h"
#include "picture/exif_summary.h"
#include "picture/freeimage_library.h"
#include "platform/notice.h"

namespace {

constexpr int32_t kImageFormatNotSupported = 30;

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

bool LoadPhoto(LoadedPhoto& loaded, const std::filesystem::path& path) {
  if (path.native().size() > kMaxPhotoPathBytes) return true;
  const FREE_IMAGE_FORMAT format = ReadableFormatOf(path);
  if (format == FIF_UNKNOWN) return true;
  const UniqueBitmap bitmap = LoadBitmap(path, format);
  return !bitmap ||
         ConvertBitmapToPicture(loaded.exif, *loaded.picture, *loaded.alpha, bitmap.get());
}

// Hands the loaded buffers over to the document; the document's old storage goes with the
// temporaries.
void TakeOver(PhotoDocument& document, LoadedPhoto& loaded) {
  std::swap(document.sourcePicture, *loaded.picture);
  std::swap(document.alphaPlane, *loaded.alpha);
  document.exif = std::move(loaded.exif);
}

}  // namespace

bool OpenPhoto(PhotoDocument& document, const std::filesystem::path& path, bool quiet) {
  if (path.empty()) return true;
  LoadedPhoto loaded;
  if (LoadPhoto(loaded, path)) {
    if (!quiet) ShowNotice("", LocalisedString(kImageFormatNotSupported));
    return true;
  }
  TakeOver(document, loaded);
  currentPhotoPath = path;
  return false;
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
