#include "picture/photo_saving.h"

#include <strings.h>

#include <algorithm>
#include <optional>
#include <string>
#include <utility>

#include "app/settings.h"
#include "picture/bitmap_pixels.h"
#include "picture/metadata_copy.h"
#include "picture/staged_output.h"

std::atomic<int32_t> jpegQuality{kDefaultJpegQuality};

namespace {

constexpr int32_t kFallbackJpegQuality = 95;
constexpr int32_t kMaxJpegQuality = 100;

bool AlphaFits(const SBxPicBuf& picture, const SBxPicBuf* alpha) {
  return alpha && alpha->data && alpha->components == 1 && alpha->width == picture.width &&
         alpha->height == picture.height && alpha->bitsPerComponent == picture.bitsPerComponent;
}

UniqueBitmap AllocateBitmap(const BitmapLayout& layout, int32_t width, int32_t height) {
  if (layout.type == FIT_BITMAP) {
    return UniqueBitmap(FreeImage_Allocate(width, height, static_cast<int>(layout.BitsPerPixel()),
                                           FI_RGBA_RED_MASK, FI_RGBA_GREEN_MASK,
                                           FI_RGBA_BLUE_MASK));
  }
  return UniqueBitmap(
      FreeImage_AllocateT(layout.type, width, height, static_cast<int>(layout.BitsPerPixel())));
}

UniqueBitmap BitmapOfLayout(const SBxPicBuf& picture, const SBxPicBuf* alpha,
                            const BitmapLayout& layout) {
  UniqueBitmap bitmap = AllocateBitmap(layout, picture.width, picture.height);
  if (bitmap) WriteBitmapPixels(bitmap.get(), layout, picture, alpha);
  return bitmap;
}

FREE_IMAGE_FORMAT WritableFormat(const std::filesystem::path& output, FREE_IMAGE_FORMAT format) {
  if (format == FIF_UNKNOWN) format = FreeImage_GetFIFFromFilename(output.c_str());
  if (format == FIF_UNKNOWN || format == FIF_GIF || !FreeImage_FIFSupportsWriting(format)) {
    throw UnsupportedImageFormat("");
  }
  return format;
}

bool FormatTakes(FREE_IMAGE_FORMAT format, const BitmapLayout& layout) {
  if (!FreeImage_FIFSupportsExportType(format, layout.type)) return false;
  return layout.type != FIT_BITMAP ||
         FreeImage_FIFSupportsExportBPP(format, static_cast<int>(layout.BitsPerPixel()));
}

// JPEG's 32-bit pixels are CMYK, not colour and alpha.
bool FormatHoldsAlpha(FREE_IMAGE_FORMAT format, const BitmapLayout& layout) {
  return format != FIF_JPEG && FormatTakes(format, layout);
}

// The bitmap layout to write the picture in: with the alpha channel where the format holds it,
// else without. None when no bitmap holds the picture at all.
std::optional<BitmapLayout> LayoutToWrite(const SBxPicBuf& picture, bool withAlpha,
                                          FREE_IMAGE_FORMAT format) {
  if (!picture.data) return std::nullopt;
  if (withAlpha) {
    const auto layout = LayoutForPicture(picture, true);
    if (layout && FormatHoldsAlpha(format, *layout)) return layout;
  }
  const auto layout = LayoutForPicture(picture, false);
  if (layout && !FormatTakes(format, *layout)) throw UnsupportedImageFormat("");
  return layout;
}

// FreeImage's part of the metadata: everything it read from the source and its ICC profile. Only
// the source's header is read where the format allows it. (FreeImage 3.18 takes the profile of a
// TIFF file that has an EXIF directory from memory libtiff has already released; the metadata
// copy after the write puts the source's true profile in its place.)
void CloneSourceMetadata(FIBITMAP* bitmap, const std::filesystem::path& source) {
  const FREE_IMAGE_FORMAT format = ReadableFormatOf(source);
  if (format == FIF_UNKNOWN || format == FIF_GIF) throw UnsupportedImageFormat(source.string());
  const int headerOnly = FreeImage_FIFSupportsNoPixels(format) ? FIF_LOAD_NOPIXELS : 0;
  const UniqueBitmap sourceBitmap = LoadBitmap(source, format, headerOnly);
  if (!sourceBitmap) throw ImageReadError("");
  FreeImage_CloneMetadata(bitmap, sourceBitmap.get());
  const FIICCPROFILE* profile = FreeImage_GetICCProfile(sourceBitmap.get());
  if (profile && profile->data && profile->size > 0) {
    FreeImage_CreateICCProfile(bitmap, profile->data, profile->size);
  }
}

int SaveFlags(FREE_IMAGE_FORMAT format) {
  if (format != FIF_JPEG) return 0;
  const int32_t quality = jpegQuality;
  return quality >= 1 ? std::min(quality, kMaxJpegQuality) : kFallbackJpegQuality;
}

// Some writers check the ICC profile and refuse the whole file over a profile they dislike (libpng
// wants a D50 illuminant, for one); the file is then written without it, and the metadata copy
// that follows carries the profile over as it is.
bool SaveBitmap(FIBITMAP* bitmap, FREE_IMAGE_FORMAT format, const std::filesystem::path& path) {
  if (!SaveBitmapFile(format, bitmap, path, SaveFlags(format))) return false;
  if (FreeImage_GetICCProfile(bitmap)->size == 0) return true;
  FreeImage_DestroyICCProfile(bitmap);
  return SaveBitmapFile(format, bitmap, path, SaveFlags(format));
}

// The bitmap is released once the file is written, before the metadata copy reads the file back
// into memory: a 16-bit 24-megapixel photo would otherwise hold both at once.
bool WriteBitmap(UniqueBitmap bitmap, FREE_IMAGE_FORMAT format, const std::filesystem::path& output,
                 const std::filesystem::path& source) {
  StagedOutput staged(output);
  if (staged.Failed() || SaveBitmap(bitmap.get(), format, staged.TemporaryPath())) return true;
  const auto width = static_cast<int32_t>(FreeImage_GetWidth(bitmap.get()));
  const auto height = static_cast<int32_t>(FreeImage_GetHeight(bitmap.get()));
  bitmap.reset();
  if (!source.empty() && CopyMetadata(source, staged.TemporaryPath(), width, height)) return true;
  return staged.Commit();
}

}  // namespace

int32_t OutputTypeIndex(const std::filesystem::path& output, uint32_t bitsPerComponent) {
  const std::string& name = output.native();
  if (name.size() < 4) return 0;
  const char* ending = name.c_str() + name.size() - 4;
  const int32_t first = bitsPerComponent == 16 ? 2 : 1;
  const int32_t last = bitsPerComponent == 16 ? 3 : 4;
  for (int32_t index = first; index <= last; ++index) {
    if (strcasecmp(ending, kOutputTypes[index].extension) == 0) return index;
  }
  return 0;
}

int SavePhoto(PhotoDocument& document, const std::filesystem::path& output,
              const std::filesystem::path& source) {
  if (SavePhotoAtQuality(document, output, source, LoadJpegQuality())) return 1;
  StoreJpegQuality(jpegQuality);
  return 0;
}

bool SavePhotoAtQuality(PhotoDocument& document, const std::filesystem::path& output,
                        const std::filesystem::path& source, int32_t quality) {
  const SBxPicBuf& picture = document.denoisedPicture;
  if (!picture.data || output.empty()) return true;
  jpegQuality = quality;
  const int32_t index = OutputTypeIndex(output, picture.bitsPerComponent);
  return SavePictureWithMetadata(picture, &document.alphaPlane, output, source,
                                 kOutputTypes[index].format);
}

bool SavePictureWithMetadata(const SBxPicBuf& picture, const SBxPicBuf* alpha,
                             const std::filesystem::path& output,
                             const std::filesystem::path& source, FREE_IMAGE_FORMAT format) {
  UseFreeImage();
  const FREE_IMAGE_FORMAT outputFormat = WritableFormat(output, format);
  const bool withAlpha = AlphaFits(picture, alpha);
  const auto layout = LayoutToWrite(picture, withAlpha, outputFormat);
  if (!layout) return true;
  UniqueBitmap bitmap = BitmapOfLayout(picture, layout->HasAlpha() ? alpha : nullptr, *layout);
  if (!bitmap) return true;
  if (!source.empty()) CloneSourceMetadata(bitmap.get(), source);
  return WriteBitmap(std::move(bitmap), outputFormat, output, source);
}

UniqueBitmap PictureToBitmap(const SBxPicBuf& picture, const SBxPicBuf* alpha) {
  UseFreeImage();
  if (!picture.data) return nullptr;
  const bool withAlpha = AlphaFits(picture, alpha);
  const auto layout = LayoutForPicture(picture, withAlpha);
  if (!layout) return nullptr;
  return BitmapOfLayout(picture, layout->HasAlpha() ? alpha : nullptr, *layout);
}
