// Completing the metadata of a saved photo from the metadata read when its source was opened.
// FreeImage carries only part of a source's metadata into the files it writes (it drops the EXIF
// record when it writes TIFF and PNG), so after it has written a file, Exiv2 writes the source's
// metadata into it.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "picture/source_metadata.h"

// The written pixels, which the copied metadata must describe.
struct WrittenPixels {
  int32_t width = 0;
  int32_t height = 0;
  uint32_t components = 3;  // 1 grey, 3 colour
};

// Writes the EXIF record, the XMP packet, the IPTC record, the ICC profile and (into a PNG) the
// colour chunks of `source` into `target`, a file that was just written, replacing what the target
// had of them. The copy describes the written pixels:
// - PixelXDimension / PixelYDimension and ImageWidth / ImageLength, in EXIF and in XMP, are set to
//   the written size wherever the source has them;
// - the source's embedded thumbnail (EXIF and XMP) is dropped: it shows the source, not the result;
// - an ICC profile of another colour space than the written pixels (a CMYK photo is written as RGB)
//   is dropped;
// - Orientation stays as the source has it. Pictures are loaded and saved without rotation, so the
//   written pixels lie exactly as the source's stored pixels do, and the source's Orientation is
//   what tells a viewer how to turn both; resetting it would show a portrait photo on its side.
// XMP that does not fit a JPEG's one segment loses the properties of the source's extended XMP
// first, then the whole packet. What is left out is said in `warnings`. Nothing is done, and that
// is no failure, when the target's format holds no metadata (BMP). True when the target could not
// be rewritten. Exiv2's own warnings go to the library message log (library_messages.h).
//
// `stamp`, when given, holds XMP properties of the program's own (the batch's record of how the
// result was made). They replace whatever the source held in their namespaces, so that a source
// that was itself a result never passes its stamp on, and they stay when the source's XMP does not
// fit a JPEG. Only a source packet that Exiv2 could not parse, which is carried over as it is,
// leaves no room for them.
bool CopyMetadata(const SourceMetadata& source, const std::filesystem::path& target,
                  const WrittenPixels& pixels, std::vector<std::string>& warnings,
                  const Exiv2::XmpData* stamp = nullptr);
