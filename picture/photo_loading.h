// Opening a photo: an image file becomes the picture and alpha plane of the PhotoDocument, the
// display texts of its EXIF record and the metadata that saving carries over. The file is opened
// once (photo_file.h) and decoded by FreeImage through photo_decoder.h; bitmap_pixels.h says which
// of its layouts are accepted and how they are laid out in picture buffers.
#pragma once

#include <FreeImage.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "picture/open_failure.h"
#include "picture/photo_document.h"

// The pixel limit that "Max Megapixels" in the settings file sets.
uint64_t MaxPhotoPixels();

struct OpenOptions {
  uint64_t maxPixels = 0;      // photos with more pixels are refused (kTooLarge)
  bool acceptDamaged = false;  // open what a damaged file holds instead of refusing it
};

struct OpenOutcome {
  OpenFailure failure = OpenFailure::kNone;
  // For kDamaged: what the decoder met (also when the damage was accepted).
  std::string damage;
  // Said about a photo that did open: damage that was accepted, pages that were left out.
  std::vector<std::string> notes;
};

// Opens the photo at `path` (UTF-8) into `document`. On success `sourcePicture` and `alphaPlane`
// are replaced (the alpha plane is left empty when the file has none), `exif`, `path` and
// `metadata` are refilled. A failure changes nothing of the document. `denoisedPicture` is left to
// the caller, which sets it to a copy of the new `sourcePicture`.
OpenOutcome OpenPhotoFile(PhotoDocument& document, const std::filesystem::path& path,
                          const OpenOptions& options);

// The same with a pixel limit and no damage accepted; returns only the failure.
OpenFailure OpenPhotoFile(PhotoDocument& document, const std::filesystem::path& path,
                          uint64_t maxPixels);

// The text that tells a person why `path` did not open: "Image format not supported!" (localised
// string 30), "The photo is too large to open…" (156), "There is not enough memory…" (157), "The
// photo is damaged:" (158) with the path and what was wrong, or the path and what the system said
// ("permission denied", "a folder, not a photo", …).
std::string OpenFailureNotice(const OpenOutcome& outcome, const std::filesystem::path& path);

// OpenPhotoFile with the pixel limit of the settings, raising OpenFailureNotice as a notice (default
// caption) on failure unless `quiet`. False on success, true on failure.
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
