// Opening a photo: an image file becomes the picture and alpha plane of the PhotoDocument and the
// display texts of its EXIF record. FreeImage reads and decodes the file; bitmap_pixels.h says
// which of its layouts are accepted and how they are laid out in picture buffers.
#pragma once

#include <FreeImage.h>

#include <filesystem>

#include "picture/photo_document.h"

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
bool OpenPhoto(PhotoDocument& document, const std::filesystem::path& path, bool quiet);

// Reads the EXIF summary of `bitmap` into `summary`, then its pixels into `picture` and, for a
// bitmap with an alpha channel, `alpha`. Both records must have been initialised (`Init`); on
// success `picture` holds the new pixels and `alpha` the alpha plane or no storage. True when the
// layout is refused or the pixels cannot be allocated; both records are then left without storage.
// The summary is filled in either case.
bool ConvertBitmapToPicture(ExifSummary& summary, SBxPicBuf& picture, SBxPicBuf& alpha,
                            FIBITMAP* bitmap);
