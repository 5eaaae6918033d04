// The one open photo: the picture as loaded, the picture that is shown and saved, the alpha plane
// set aside, and the display texts of its EXIF record.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>

#include "picture/pic_buf.h"

// Display texts (UTF-8) read from a photo's EXIF record, each at most kExifTextMaxChars characters;
// a slot whose tag the photo lacks is empty. The parameters panel shows them under "FNumber:",
// "Exposure:", "Resolution:", "ISO:", "Maker:", "Type:" and "Captured:".
inline constexpr std::size_t kExifTextMaxChars = 127;

struct ExifSummary {
  std::string fNumber;     // "f/2.8", "f/8"
  std::string exposure;    // "1/125 sec.", "4 sec.", "13/10 sec."
  std::string dimensions;  // "6000x4000" (PixelXDimension x PixelYDimension)
  std::string iso;         // "100"
  std::string make;        // as stored, e.g. "SONY"
  std::string model;       // as stored, e.g. "ILCE-6000"
  std::string captured;    // DateTimeOriginal as stored, e.g. "2014:04:18 20:33:53"

  bool operator==(const ExifSummary&) const = default;
};

struct SourceMetadata;  // picture/source_metadata.h

// Paths of photos are never longer than this (UTF-8 bytes).
inline constexpr std::size_t kMaxPhotoPathBytes = 1023;

// The document owns its pictures: it starts empty and releases them when it goes; it moves and
// does not copy.
struct PhotoDocument {
  PicBuf sourcePicture;    // the photo as loaded: 1 or 3 components (B, G, R), 8 or 16 bits
  PicBuf denoisedPicture;  // what is shown and saved; same geometry and depth as sourcePicture
  PicBuf alphaPlane;       // 1 component, geometry and depth of sourcePicture; empty if none
  ExifSummary exif;
  // The file the photo was opened from (the default output name); empty for a picture that was not
  // opened from a file.
  std::filesystem::path path;
  // The metadata of the opened file, read when it was opened, that saving writes into the result;
  // null for a picture that was not opened from a file.
  std::shared_ptr<const SourceMetadata> metadata;
};

// Empties the document (Close): its pictures are released and its texts cleared.
inline void ReleasePhotoDocument(PhotoDocument& document) { document = PhotoDocument{}; }
