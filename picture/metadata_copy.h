// Completing the metadata of a saved photo from the file it was made from. FreeImage carries only
// part of a source's metadata into the files it writes (it drops the EXIF record when it writes
// TIFF and PNG), so after it has written a file, Exiv2 copies the source's metadata over.
#pragma once

#include <cstdint>
#include <filesystem>

// Copies the EXIF record, the XMP packet, the IPTC record and the ICC profile of `source` into
// `target`, a file that was just written from a picture of width × height pixels, replacing what
// the target had of them. The copy describes the written pixels:
// - PixelXDimension / PixelYDimension and ImageWidth / ImageLength, in EXIF and in XMP, are set to
//   the written size wherever the source has them;
// - the source's embedded thumbnail (EXIF and XMP) is dropped: it shows the source, not the result;
// - Orientation stays as the source has it. Pictures are loaded and saved without rotation, so the
//   written pixels lie exactly as the source's stored pixels do, and the source's Orientation is
//   what tells a viewer how to turn both; resetting it would show a portrait photo on its side.
// Nothing is done, and that is no failure, when the target's format holds no metadata (BMP), when
// Exiv2 cannot read the source, or when the source has none of the four. True when the target
// could not be rewritten. Exiv2's own warnings go to the library message log (library_messages.h).
bool CopyMetadata(const std::filesystem::path& source, const std::filesystem::path& target,
                  int32_t width, int32_t height);
