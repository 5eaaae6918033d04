// The metadata of an opened photo, read once when the photo is opened and kept with the document
// until it is saved: the EXIF record, the XMP packet (with a JPEG's extended XMP folded in), the
// IPTC record, the ICC profile, a PNG's colour chunks and what FreeImage read with the bitmap.
// Saving writes from this copy, so the source file is never read a second time.
#pragma once

#include <FreeImage.h>

#include <cstdint>
#include <exiv2/exiv2.hpp>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "picture/freeimage_library.h"
#include "picture/photo_file.h"

struct SourceMetadata {
  // What Exiv2 read of the source; `readable` is false when Exiv2 does not know its format.
  bool readable = false;
  Exiv2::ExifData exif;
  Exiv2::XmpData xmp;
  std::string xmpPacket;  // the packet as stored, for XMP that Exiv2 could not parse
  Exiv2::IptcData iptc;
  std::string iccProfile;  // empty when the source has none
  // XMP properties that came from a JPEG's extended XMP: the first to go when the whole does not
  // fit a JPEG segment.
  std::set<std::string> extendedXmpKeys;
  // The gAMA, cHRM and sRGB chunks of a PNG source, each as its type followed by its data.
  std::vector<std::string> pngColourChunks;
  // The name a PNG source gave its ICC profile (iCCP), kept when the profile is written to a PNG.
  std::string pngProfileName;
  // A bitmap without pixels that holds FreeImage's metadata of the source (comments, GeoTIFF tags,
  // resolution), cloned into the bitmap that is written.
  UniqueBitmap freeImageMetadata;
};

// Reads the metadata of `file`, a photo that FreeImage decoded into `bitmap` (for its own part of
// the metadata). Exiv2's failures leave its part empty; they are reported to the library message
// log.
std::shared_ptr<const SourceMetadata> ReadSourceMetadata(const PhotoFile& file, FIBITMAP* bitmap);

// The colour space an ICC profile describes ("RGB ", "GRAY", "CMYK", …), or "" when the profile is
// too short to say.
std::string IccColourSpace(const std::string& profile);
