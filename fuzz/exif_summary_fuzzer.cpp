// The EXIF summary from an arbitrary EXIF record: the input becomes the payload of an APP1 "Exif"
// segment of a small valid JPEG, which goes through the loader's EXIF check and FreeImage's EXIF
// reader (header only) before ReadExifSummary turns the tags into display texts.
#include <FreeImage.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "picture/exif_summary.h"
#include "picture/freeimage_library.h"
#include "platform/utf8.h"

namespace {

// An 8 × 8 grey JPEG without its start-of-image marker.
std::vector<uint8_t> JpegAfterStartMarker() {
  UseFreeImage();
  const UniqueBitmap bitmap(FreeImage_Allocate(8, 8, 8));
  FIMEMORY* memory = FreeImage_OpenMemory();
  FreeImage_SaveToMemory(FIF_JPEG, bitmap.get(), memory, 0);
  BYTE* bytes = nullptr;
  DWORD size = 0;
  FreeImage_AcquireMemory(memory, &bytes, &size);
  std::vector<uint8_t> rest(bytes + 2, bytes + size);
  FreeImage_CloseMemory(memory);
  return rest;
}

// SOI, APP1 with "Exif\0\0" and the record (cut to what one segment holds), then the JPEG.
std::vector<uint8_t> JpegWithExif(const uint8_t* data, size_t size) {
  static const std::vector<uint8_t> rest = JpegAfterStartMarker();
  constexpr size_t kMaxRecord = 65533 - 6;
  if (size > kMaxRecord) size = kMaxRecord;
  const size_t length = size + 8;
  std::vector<uint8_t> jpeg = {0xFF, 0xD8, 0xFF, 0xE1, uint8_t(length >> 8), uint8_t(length),
                               'E',  'x',  'i',  'f',  0,                    0};
  jpeg.insert(jpeg.end(), data, data + size);
  jpeg.insert(jpeg.end(), rest.begin(), rest.end());
  return jpeg;
}

// Display texts are well-formed UTF-8 of at most kExifTextMaxChars characters.
bool IsBoundedText(const std::string& text) {
  return RepairUtf8(text) == text && CutAfterCharacters(text, kExifTextMaxChars) == text;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::vector<uint8_t> jpeg = JpegWithExif(data, size);
  const UniqueBitmap bitmap = LoadBitmapFromBytes(std::string(jpeg.begin(), jpeg.end()), FIF_JPEG,
                                                  FIF_LOAD_NOPIXELS);
  if (!bitmap) return 0;
  const ExifSummary summary = ReadExifSummary(bitmap.get());
  for (const std::string* text : {&summary.fNumber, &summary.exposure, &summary.dimensions,
                                  &summary.iso, &summary.make, &summary.model, &summary.captured}) {
    if (!IsBoundedText(*text)) __builtin_trap();
  }
  return 0;
}
