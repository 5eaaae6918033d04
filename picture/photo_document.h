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

struct PhotoDocument {
  SBxPicBuf sourcePicture;    // the photo as loaded: 1 or 3 components (B, G, R), 8 or 16 bits
  SBxPicBuf denoisedPicture;  // what is shown and saved; same geometry and depth as sourcePicture
  SBxPicBuf alphaPlane;       // 1 component, geometry and depth of sourcePicture; empty if none
  ExifSummary exif;
  // The file the photo was opened from (the default output name); empty for a picture that was not
  // opened from a file.
  std::filesystem::path path;
  // The metadata of the opened file, read when it was opened, that saving writes into the result;
  // null for a picture that was not opened from a file.
  std::shared_ptr<const SourceMetadata> metadata;
};

// Puts every buffer of the document into the empty state and clears its texts. Called once before
// any other use.
inline void InitPhotoDocument(PhotoDocument& document) {
  CBxPicBufAPI::Init(document.sourcePicture);
  CBxPicBufAPI::Init(document.denoisedPicture);
  CBxPicBufAPI::Init(document.alphaPlane);
  document.exif = ExifSummary{};
  document.path.clear();
  document.metadata.reset();
}

// Releases every buffer of the document and clears its texts; it may be opened again afterwards.
inline void ReleasePhotoDocument(PhotoDocument& document) {
  CBxPicBufAPI::DoneHeap(document.sourcePicture);
  CBxPicBufAPI::DoneHeap(document.denoisedPicture);
  CBxPicBufAPI::DoneHeap(document.alphaPlane);
  document.exif = ExifSummary{};
  document.path.clear();
  document.metadata.reset();
}
