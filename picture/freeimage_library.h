// FreeImage as the core uses it: one initialisation per process, its messages routed to the
// library message log (silent unless verbose), bitmaps owned by a scope, checked writing.
#pragma once

#include <FreeImage.h>

#include <filesystem>
#include <memory>
#include <string>

// Makes sure FreeImage is initialised. The core initialises it during static initialisation and
// releases it at process exit; every entry point that calls FreeImage calls this first as well, so
// that code running before the core's static initialisation (another static initialiser) is safe
// too. Cheap after the first call.
void UseFreeImage();

struct FreeImageUnloader {
  void operator()(FIBITMAP* bitmap) const { FreeImage_Unload(bitmap); }
};
using UniqueBitmap = std::unique_ptr<FIBITMAP, FreeImageUnloader>;

// Loads a photo held in memory, the way photo files are decoded (photo_decoder.h) but without their
// checks: JPEGs are decoded with the accurate (slower) DCT and reach FreeImage without an EXIF record
// that would lead its reader outside the record (picture/exif_guard.h); `extraFlags` are added to
// the format's flags (e.g. FIF_LOAD_NOPIXELS). Null when the load fails.
UniqueBitmap LoadBitmapFromBytes(std::string bytes, FREE_IMAGE_FORMAT format, int extraFlags = 0);

// Saves a bitmap to `path` (created or truncated) in `format` with the format's `flags`, checking
// every write, the flush and the close: FreeImage's own file writing ignores short writes, so a
// full disk would otherwise pass for a successful save. True on failure; the file may then hold
// part of the picture.
bool SaveBitmapFile(FREE_IMAGE_FORMAT format, FIBITMAP* bitmap, const std::filesystem::path& path,
                    int flags);
