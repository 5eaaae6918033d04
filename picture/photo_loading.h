// Opening a photo: an image file becomes the picture and alpha plane of the PhotoDocument and the
// display texts of its EXIF record. FreeImage reads and decodes the file; bitmap_pixels.h says
// which of its layouts are accepted and how they are laid out in picture buffers.
#pragma once

#include <FreeImage.h>

#include <cstdint>
#include <filesystem>
#include <string>

#include "picture/photo_document.h"

// Why a photo could not be opened.
enum class OpenFailure {
  kNone,
  kPathTooLong,  // longer than kMaxPhotoPathBytes
  kMissing,      // no file at the path (any more)
  kUnreadable,   // not a format that can be read, a failed decode, or a refused pixel layout
  kTooLarge,     // more pixels than allowed, or more bytes than a picture buffer holds
  kOutOfMemory,  // the pixels could not be allocated
};

// A short English description of a failure for logs and the command line ("" for kNone).
std::string OpenFailureReason(OpenFailure failure);

// The pixel limit that "Max Megapixels" in the settings file sets.
uint64_t MaxPhotoPixels();

// Whether a bitmap of that size and depth stays within `maxPixels` and within what a picture buffer
// holds. Only the header is needed: FreeImage reports the size of a bitmap loaded with
// FIF_LOAD_NOPIXELS.
bool FitsPhotoLimits(FIBITMAP* bitmap, uint64_t maxPixels);

// Opens the photo at `path` (UTF-8) into `document`. False on success: `sourcePicture` and
// `alphaPlane` are replaced (the alpha plane is left empty when the file has none), `exif` is
// refilled and `currentPhotoPath` is set. True on failure, which changes nothing of the document or
// `currentPhotoPath`: an unknown or unreadable format, a failed load, a refused pixel layout, a
// path longer than kMaxPhotoPathBytes. Unless `quiet`, a failure raises the notice "Image format
// not supported!" (localised string 30, default caption). `denoisedPicture` is left to the caller,
// which sets it to a copy of the new `sourcePicture`.
//
// An empty path stands for "ask the user which file"; choosing a file is the desktop application's
// part, so here it returns true without a notice, as a cancelled choice does.
//
// Before the pixels are decoded the file's header is read and a photo over MaxPhotoPixels() is
// refused with the notice "The photo is too large to open…" (localised string 156); a photo whose
// pixels cannot be allocated raises "There is not enough memory…" (157).
bool OpenPhoto(PhotoDocument& document, const std::filesystem::path& path, bool quiet);

// What OpenPhoto does without notices and with the pixel limit given: kNone on success, with the
// document and `currentPhotoPath` set as OpenPhoto sets them; otherwise why the photo was refused,
// with nothing changed.
OpenFailure OpenPhotoFile(PhotoDocument& document, const std::filesystem::path& path,
                          uint64_t maxPixels);

// Reads the EXIF summary of `bitmap` into `summary`, then its pixels into `picture` and, for a
// bitmap with an alpha channel, `alpha`. Both records must have been initialised (`Init`); on
// success `picture` holds the new pixels and `alpha` the alpha plane or no storage. True when the
// layout is refused or the pixels cannot be allocated; both records are then left without storage.
// The summary is filled in either case.
bool ConvertBitmapToPicture(ExifSummary& summary, SBxPicBuf& picture, SBxPicBuf& alpha,
                            FIBITMAP* bitmap);
