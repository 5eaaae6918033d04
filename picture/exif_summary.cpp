#include "picture/exif_summary.h"

#include <strings.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <optional>

#include "platform/utf8.h"

namespace {

struct Rational {
  uint32_t numerator;
  uint32_t denominator;
};

std::optional<Rational> RationalOf(FITAG* tag) {
  const auto* value = static_cast<const uint32_t*>(FreeImage_GetTagValue(tag));
  if (FreeImage_GetTagType(tag) != FIDT_RATIONAL || FreeImage_GetTagCount(tag) < 1 || !value ||
      FreeImage_GetTagLength(tag) < 2 * sizeof(uint32_t)) {
    return std::nullopt;
  }
  return Rational{value[0], value[1]};
}

// The first value of an integer tag, read with the width of its type.
std::optional<uint32_t> FirstUnsignedOf(FITAG* tag) {
  const void* value = FreeImage_GetTagValue(tag);
  if (FreeImage_GetTagCount(tag) < 1 || !value) return std::nullopt;
  switch (FreeImage_GetTagType(tag)) {
    case FIDT_SHORT:
      return *static_cast<const uint16_t*>(value);
    case FIDT_LONG:
      return *static_cast<const uint32_t*>(value);
    default:
      return std::nullopt;
  }
}

// The text of an ASCII tag up to its terminating zero.
std::string TextOf(FITAG* tag) {
  const auto* value = static_cast<const char*>(FreeImage_GetTagValue(tag));
  if (FreeImage_GetTagType(tag) != FIDT_ASCII || !value) return {};
  return DisplayText(std::string_view(value, strnlen(value, FreeImage_GetTagLength(tag))));
}

struct ExifReading {
  ExifSummary summary;
  uint32_t pixelX = 0;
  uint32_t pixelY = 0;
};

bool KeyIs(const char* key, const char* name) { return strcasecmp(key, name) == 0; }

void ReadExifTag(FITAG* tag, ExifReading& reading) {
  const char* key = FreeImage_GetTagKey(tag);
  if (!key) return;
  ExifSummary& summary = reading.summary;
  if (KeyIs(key, "FNumber")) {
    if (const auto value = RationalOf(tag)) {
      summary.fNumber = FNumberText(value->numerator, value->denominator);
    }
  } else if (KeyIs(key, "ExposureTime")) {
    if (const auto value = RationalOf(tag)) {
      summary.exposure = ExposureTimeText(value->numerator, value->denominator);
    }
  } else if (KeyIs(key, "ISOSpeedRatings")) {
    if (const auto value = FirstUnsignedOf(tag)) summary.iso = std::to_string(*value);
  } else if (KeyIs(key, "PixelXDimension")) {
    reading.pixelX = FirstUnsignedOf(tag).value_or(0);
  } else if (KeyIs(key, "PixelYDimension")) {
    reading.pixelY = FirstUnsignedOf(tag).value_or(0);
  } else if (KeyIs(key, "DateTimeOriginal")) {
    summary.captured = TextOf(tag);
  }
}

std::string MainDirectoryText(FIBITMAP* bitmap, const char* key) {
  FITAG* tag = nullptr;
  if (!FreeImage_GetMetadata(FIMD_EXIF_MAIN, bitmap, key, &tag) || !tag) return {};
  return TextOf(tag);
}

// Divides out the common factors 2, 3, 5 and 7, round after round, until a round finds none.
void ReduceBySmallPrimes(uint32_t& numerator, uint32_t& denominator) {
  bool reduced = true;
  while (reduced) {
    reduced = false;
    for (const uint32_t prime : {2u, 3u, 5u, 7u}) {
      if (numerator % prime == 0 && denominator % prime == 0) {
        numerator /= prime;
        denominator /= prime;
        reduced = true;
      }
    }
  }
}

}  // namespace

ExifSummary ReadExifSummary(FIBITMAP* bitmap) {
  ExifReading reading;
  FITAG* tag = nullptr;
  if (FIMETADATA* search = FreeImage_FindFirstMetadata(FIMD_EXIF_EXIF, bitmap, &tag)) {
    do {
      ReadExifTag(tag, reading);
    } while (FreeImage_FindNextMetadata(search, &tag));
    FreeImage_FindCloseMetadata(search);
  }
  ExifSummary& summary = reading.summary;
  if (reading.pixelX != 0 && reading.pixelY != 0) {
    summary.dimensions = std::to_string(reading.pixelX) + "x" + std::to_string(reading.pixelY);
  }
  summary.make = MainDirectoryText(bitmap, "Make");
  summary.model = MainDirectoryText(bitmap, "Model");
  return summary;
}

std::string ExposureTimeText(uint32_t numerator, uint32_t denominator) {
  if (denominator == 0) return {};
  ReduceBySmallPrimes(numerator, denominator);
  if (numerator > 10) {
    const double reciprocal = static_cast<double>(denominator) / numerator;
    const double nearest = std::floor(reciprocal + 0.5);
    if (nearest >= 1.0 && std::fabs(reciprocal - nearest) < 0.01) {
      numerator = 1;
      denominator = static_cast<uint32_t>(nearest);
    }
  }
  std::string text = std::to_string(numerator);
  if (denominator != 1) text += "/" + std::to_string(denominator);
  return text + " sec.";
}

std::string FNumberText(uint32_t numerator, uint32_t denominator) {
  if (numerator == 0 || denominator == 0) return {};
  char value[32];
  std::snprintf(value, sizeof value, "%.2f", static_cast<double>(numerator) / denominator);
  std::string text = value;
  text.erase(text.find_last_not_of('0') + 1);
  if (text.back() == '.') text.pop_back();
  return "f/" + text;
}

std::string DisplayText(std::string_view text) {
  return std::string(CutAfterCharacters(RepairUtf8AsLatin1(text), kExifTextMaxChars));
}
