// Decoding a photo file with FreeImage. The decoder reads the open PhotoFile through a stream of
// our own rather than by name, which lets it
// - hand FreeImage a JPEG whose unsound EXIF records were taken out (exif_guard.h) without reading
//   the rest of the file into memory;
// - stop reading where the photo's size says its data must have ended: the header is decoded first,
//   and the pixels may then read at most twice their uncompressed size plus room for metadata, so a
//   small photo at the start of a huge (or sparse) file costs what the photo costs;
// - notice a decoder that asks for bytes past the end of the file: the photo is cut short.
// Together with the decoders' own reports of corrupt data that tells a damaged file from a sound
// one, which libjpeg and libtiff otherwise fill in with made-up rows.
#pragma once

#include <FreeImage.h>

#include <cstdint>
#include <filesystem>
#include <string>

#include "picture/freeimage_library.h"
#include "picture/open_failure.h"
#include "picture/photo_file.h"

struct DecodeLimits {
  uint64_t maxPixels = 0;      // more pixels are refused before decoding (kTooLarge)
  bool acceptDamaged = false;  // keep what a damaged file gave instead of refusing it
};

struct DecodedPhoto {
  UniqueBitmap bitmap;  // set when the photo was decoded (and, if damaged, accepted)
  OpenFailure failure = OpenFailure::kNone;
  std::string damage;  // what was missing or corrupt, also when the damage was accepted
  uint32_t pages = 1;  // pages of a multi-page TIFF; only the first is decoded
};

// The format of the file: from its content, else from the extension of `name`. FIF_UNKNOWN when
// neither is a format FreeImage can read.
FREE_IMAGE_FORMAT PhotoFormat(const PhotoFile& file, const std::filesystem::path& name);

// The segments of a JPEG before its scan, read in growing steps (they may hold megabytes of
// profiles and previews); when the scan is not found, all that was read (the file, or its first
// 64 MiB). Empty when the file is no JPEG.
std::string ReadJpegHead(const PhotoFile& file);

// Whether a bitmap of that size and depth stays within `maxPixels` and its rows within what a
// picture buffer's row holds (2 GiB). Only the header is needed: FreeImage reports the size of a
// bitmap loaded with FIF_LOAD_NOPIXELS.
bool FitsPhotoLimits(FIBITMAP* bitmap, uint64_t maxPixels);

// Decodes the photo in `file` as `format`. Samples arrive as stored: PNG gamma is not applied, JPEG
// uses the accurate DCT. Failures: kUnreadable (the decoder refused the file), kTooLarge, kDamaged
// (unless accepted), kOutOfMemory (FreeImage could not allocate the bitmap), kReadError.
DecodedPhoto DecodePhoto(const PhotoFile& file, FREE_IMAGE_FORMAT format,
                         const DecodeLimits& limits);
