#include "picture/photo_saving.h"

#include <strings.h>

#include <algorithm>
#include <optional>
#include <string>
#include <utility>

#include "picture/bitmap_pixels.h"
#include "picture/metadata_copy.h"
#include "picture/source_metadata.h"
#include "picture/staged_output.h"

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

// The format to write, or FIF_UNKNOWN when there is none that can be written.
FREE_IMAGE_FORMAT WritableFormat(const std::filesystem::path& output, FREE_IMAGE_FORMAT format) {
  if (format == FIF_UNKNOWN) format = FreeImage_GetFIFFromFilename(output.c_str());
  if (format == FIF_UNKNOWN || format == FIF_GIF || !FreeImage_FIFSupportsWriting(format)) {
    return FIF_UNKNOWN;
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
// else without. None when no bitmap holds the picture at all; `refused` when the format cannot hold
// it.
std::optional<BitmapLayout> LayoutToWrite(const SBxPicBuf& picture, bool withAlpha,
                                          FREE_IMAGE_FORMAT format, bool& refused) {
  refused = false;
  if (!picture.data) return std::nullopt;
  if (withAlpha) {
    const auto layout = LayoutForPicture(picture, true);
    if (layout && FormatHoldsAlpha(format, *layout)) return layout;
  }
  const auto layout = LayoutForPicture(picture, false);
  refused = layout && !FormatTakes(format, *layout);
  return layout;
}

int SaveFlags(FREE_IMAGE_FORMAT format, int32_t jpegQuality) {
  if (format != FIF_JPEG) return 0;
  return jpegQuality >= 1 ? std::min(jpegQuality, kMaxJpegQuality) : kFallbackJpegQuality;
}

// The bitmap is released once the file is written, before Exiv2 reads the file back into memory to
// complete its metadata: a 16-bit 24-megapixel photo would otherwise hold both at once.
bool WriteBitmap(UniqueBitmap bitmap, FREE_IMAGE_FORMAT format, int32_t jpegQuality,
                 const std::filesystem::path& output, const SourceMetadata* metadata,
                 const Exiv2::XmpData* stamp, std::vector<std::string>& warnings) {
  StagedOutput staged(output);
  if (staged.Failed() || SaveBitmapFile(format, bitmap.get(), staged.TemporaryPath(),
                                        SaveFlags(format, jpegQuality))) {
    return true;
  }
  const WrittenPixels pixels{static_cast<int32_t>(FreeImage_GetWidth(bitmap.get())),
                             static_cast<int32_t>(FreeImage_GetHeight(bitmap.get())),
                             FreeImage_GetColorType(bitmap.get()) == FIC_MINISBLACK ? 1u : 3u};
  bitmap.reset();
  const SourceMetadata none;
  if ((metadata != nullptr || stamp != nullptr) &&
      CopyMetadata(metadata != nullptr ? *metadata : none, staged.TemporaryPath(), pixels,
                   warnings, stamp)) {
    return true;
  }
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

SaveFailure SavePhoto(const PhotoDocument& document, const std::filesystem::path& output,
                      int32_t jpegQuality, std::vector<std::string>* warnings,
                      const Exiv2::XmpData* stamp) {
  const SBxPicBuf& picture = document.denoisedPicture;
  if (!picture.data || output.empty()) return SaveFailure::kNothingToSave;
  const int32_t index = OutputTypeIndex(output, picture.bitsPerComponent);
  return SavePictureWithMetadata(picture, &document.alphaPlane, output, document.metadata.get(),
                                 kOutputTypes[index].format, jpegQuality, warnings, stamp);
}

SaveFailure SavePictureWithMetadata(const SBxPicBuf& picture, const SBxPicBuf* alpha,
                                    const std::filesystem::path& output,
                                    const SourceMetadata* metadata, FREE_IMAGE_FORMAT format,
                                    int32_t jpegQuality, std::vector<std::string>* warnings,
                                    const Exiv2::XmpData* stamp) {
  UseFreeImage();
  const FREE_IMAGE_FORMAT outputFormat = WritableFormat(output, format);
  if (outputFormat == FIF_UNKNOWN) return SaveFailure::kUnsupportedFormat;
  bool refused = false;
  const auto layout = LayoutToWrite(picture, AlphaFits(picture, alpha), outputFormat, refused);
  if (refused) return SaveFailure::kUnsupportedFormat;
  if (!layout) return SaveFailure::kNotWritten;
  UniqueBitmap bitmap = BitmapOfLayout(picture, layout->HasAlpha() ? alpha : nullptr, *layout);
  if (!bitmap) return SaveFailure::kNotWritten;
  if (metadata != nullptr && metadata->freeImageMetadata) {
    FreeImage_CloneMetadata(bitmap.get(), metadata->freeImageMetadata.get());
  }
  std::vector<std::string> unused;
  const bool failed = WriteBitmap(std::move(bitmap), outputFormat, jpegQuality, output, metadata,
                                  stamp, warnings != nullptr ? *warnings : unused);
  return failed ? SaveFailure::kNotWritten : SaveFailure::kNone;
}

UniqueBitmap PictureToBitmap(const SBxPicBuf& picture, const SBxPicBuf* alpha) {
  UseFreeImage();
  if (!picture.data) return nullptr;
  const bool withAlpha = AlphaFits(picture, alpha);
  const auto layout = LayoutForPicture(picture, withAlpha);
  if (!layout) return nullptr;
  return BitmapOfLayout(picture, layout->HasAlpha() ? alpha : nullptr, *layout);
}
