// Saving a photo: the document's denoised picture, with its alpha plane where the format holds
// one, is written through FreeImage, and the metadata and ICC profile read when the photo was
// opened are carried over (metadata_copy.h). Every write goes to a temporary file beside the
// output that replaces the output only when the whole save has succeeded, so a failed save leaves
// no partial file and keeps an earlier one.
//
// Saving reads and stores no settings: the JPEG quality is the caller's (the desktop application
// keeps "jpeg" in its settings, the command line takes an option). Failures come back as a
// SaveFailure; nothing here throws.
#pragma once

#include <FreeImage.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "picture/freeimage_library.h"
#include "picture/photo_document.h"

namespace Exiv2 {
class XmpData;
}

enum class SaveFailure {
  kNone,               // written
  kNothingToSave,      // no denoised picture, or an empty output path
  kUnsupportedFormat,  // the format is unknown, cannot be written, is GIF, or cannot hold the
                       // picture (16-bit pictures go only to TIFF and PNG)
  kNotWritten,         // the bitmap could not be made, or writing, completing the metadata or
                       // renaming failed, or a signal asked the process to end first
};

// Output types. Index 0 lets FreeImage choose the format from the output name's extension.
struct OutputType {
  const char* extension;
  FREE_IMAGE_FORMAT format;
};
inline constexpr OutputType kOutputTypes[] = {{"", FIF_UNKNOWN},
                                              {".bmp", FIF_BMP},
                                              {".tif", FIF_TIFF},
                                              {".png", FIF_PNG},
                                              {".jpg", FIF_JPEG}};

// The output type index of an output name for a picture of `bitsPerComponent`: its last four
// characters compared without regard to case with ".bmp" (1), ".tif" (2), ".png" (3) and ".jpg" (4)
// for 8-bit pictures, with ".tif" and ".png" only for 16-bit pictures; 0 for any other ending.
int32_t OutputTypeIndex(const std::filesystem::path& output, uint32_t bitsPerComponent);

// Writes `document.denoisedPicture` and its alpha plane to `output` (UTF-8), in the format that
// OutputTypeIndex gives, with the document's metadata (none for a picture not opened from a file).
// A JPEG is written at `jpegQuality` percent when it is at least 1 (values above 100 count as 100),
// else at 95. A failed save leaves any earlier file at `output` as it was. Metadata that the output
// cannot hold is said in `warnings`, when given. `stamp`, when given, holds XMP properties of the
// program's own that the result carries besides the source's (metadata_copy.h).
[[nodiscard]] SaveFailure SavePhoto(const PhotoDocument& document,
                                    const std::filesystem::path& output, int32_t jpegQuality,
                                    std::vector<std::string>* warnings = nullptr,
                                    const Exiv2::XmpData* stamp = nullptr);

// Writes `picture` (and `alpha`, when it has storage, matches the picture's size and depth, and the
// format holds an alpha channel; for other formats it is left out) to `output` in `format`, or in
// the format FreeImage finds from the output name when `format` is FIF_UNKNOWN, JPEGs at
// `jpegQuality` as SavePhoto says. When `metadata` is given, the source's metadata (EXIF, XMP,
// IPTC), ICC profile and PNG colour chunks are carried over (metadata_copy.h), and what the output
// cannot hold is said in `warnings`. `stamp` as for SavePhoto.
[[nodiscard]] SaveFailure SavePictureWithMetadata(const SBxPicBuf& picture, const SBxPicBuf* alpha,
                                                  const std::filesystem::path& output,
                                                  const SourceMetadata* metadata,
                                                  FREE_IMAGE_FORMAT format, int32_t jpegQuality,
                                                  std::vector<std::string>* warnings = nullptr,
                                                  const Exiv2::XmpData* stamp = nullptr);

// A new bitmap of the picture's size and depth holding the picture, with an alpha channel when
// `alpha` is given, has storage and matches the picture (colour pictures only; see
// bitmap_pixels.h for the layouts). Null when the picture has no storage, is of a layout no bitmap
// holds (float, 2 or 4 components) or FreeImage cannot allocate the bitmap.
UniqueBitmap PictureToBitmap(const SBxPicBuf& picture, const SBxPicBuf* alpha);
