// What the photo loading and saving suites share: temporary folders, files written with FreeImage
// from a known pattern, metadata set with Exiv2, a notice counter, settings in a temporary folder,
// and the camera photos fetched by scripts/fetch-test-photos.sh.
#pragma once

#include <FreeImage.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "picture/freeimage_library.h"
#include "picture/photo_document.h"
#include "picture/source_metadata.h"
#include "picture/pic_buf.h"

namespace testphotos {

// A fresh folder under the system's temporary folder, removed with its contents at the end.
class TempFolder {
 public:
  TempFolder();
  ~TempFolder();
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  const std::filesystem::path& path() const { return path_; }
  std::filesystem::path operator/(const std::string& name) const { return path_ / name; }
  // The names in the folder, sorted.
  std::vector<std::string> Entries() const;

 private:
  std::filesystem::path path_;
};

// Points XDG_CONFIG_HOME at a folder of its own while alive, so that the settings file starts
// absent; restores the previous value at the end.
class TemporarySettings {
 public:
  TemporarySettings();
  ~TemporarySettings();
  TemporarySettings(const TemporarySettings&) = delete;
  TemporarySettings& operator=(const TemporarySettings&) = delete;

 private:
  TempFolder folder_;
  std::string previous_;
  bool hadPrevious_;
};

// Counts the notices raised while alive and keeps the last one.
class NoticeCounter {
 public:
  NoticeCounter();
  ~NoticeCounter();
  NoticeCounter(const NoticeCounter&) = delete;
  NoticeCounter& operator=(const NoticeCounter&) = delete;

  int count() const { return count_; }
  const std::string& lastTitle() const { return lastTitle_; }
  const std::string& lastText() const { return lastText_; }

 private:
  int count_ = 0;
  std::string lastTitle_;
  std::string lastText_;
};

// The folder of the fetched camera photos: $STILLGRAIN_TEST_PHOTOS, else the folder the build was
// configured with.
std::filesystem::path TestPhotoFolder();
// The fetched photo of that name, or an empty path when it is not there.
std::filesystem::path TestPhoto(const std::string& name);
inline constexpr const char* kSonyPhoto = "sony-alpha-6000.jpg";

// The pattern value of pixel (x, y) at the top-left origin for a channel: 0 red, 1 green, 2 blue,
// 3 alpha (grey bitmaps use channel 0), over the whole range of the depth.
uint32_t PatternValue(int32_t x, int32_t y, uint32_t channel, uint32_t bits);

// A bitmap of that FreeImage type and depth (FIT_BITMAP of 8 grey, 24 or 32 bits, FIT_UINT16,
// FIT_RGB16, FIT_RGBA16) filled with the pattern, written through FreeImage's own pixel access.
UniqueBitmap PatternBitmap(FREE_IMAGE_TYPE type, uint32_t bitsPerPixel, int32_t width,
                           int32_t height);

// Whether `picture` (B, G, R) and `alpha` (when not null) hold the pattern of a width × height
// bitmap: failures name the first wrong sample.
::testing::AssertionResult HoldsPattern(const SBxPicBuf& picture, const SBxPicBuf* alpha,
                                        uint32_t bits);

// A 24-bit pattern photo of that size at `path` (folders created), in the format of its extension.
void WritePatternPhoto(const std::filesystem::path& path, int32_t width, int32_t height);

// Saves a bitmap with FreeImage; throws when FreeImage cannot.
void WriteBitmapFile(FIBITMAP* bitmap, FREE_IMAGE_FORMAT format, const std::filesystem::path& path,
                     int flags = 0);

// Sets these tags (key → text, e.g. "Exif.Image.Make" → "Maker") in the EXIF record of an
// existing file, through Exiv2.
void WriteExif(const std::filesystem::path& path, const std::map<std::string, std::string>& tags);

// Reads the EXIF record of a file as key → text, and its ICC profile.
std::map<std::string, std::string> ReadExif(const std::filesystem::path& path);
// The text of one tag of such a record, "(absent)" when it has none.
std::string TagText(const std::map<std::string, std::string>& exif, const std::string& key);
std::vector<uint8_t> ReadIccProfile(const std::filesystem::path& path);

// A small ICC profile with a well-formed header (its size, the 'acsp' signature, RGB to XYZ, the
// D50 illuminant) and no tags; enough for every reader that carries profiles over without
// interpreting them.
std::vector<uint8_t> SmallIccProfile();

// PNG pieces: a 32-bit big-endian number, a whole chunk (length, type, data, CRC), and a PNG file
// with `chunk` inserted after its header chunk.
std::string BigEndian32(uint32_t value);
std::string PngChunk(const std::string& type, const std::string& data);
std::string WithChunkAfterHeader(const std::string& png, const std::string& chunk);

// The metadata that opening the photo at `path` reads, for a picture made in memory that is to
// carry it; null when the file does not open.
std::shared_ptr<const SourceMetadata> MetadataOf(const std::filesystem::path& path);

std::vector<uint8_t> ReadBytes(const std::filesystem::path& path);
void WriteBytes(const std::filesystem::path& path, const std::string& bytes);

}  // namespace testphotos

// Lets GoogleTest print a summary that differs from the one expected.
void PrintTo(const ExifSummary& summary, std::ostream* out);
