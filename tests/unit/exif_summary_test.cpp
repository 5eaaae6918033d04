#include "picture/exif_summary.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "picture/freeimage_library.h"
#include "support/photo_files.h"

namespace {

TEST(ExifSummaryExposure, ReducesAndFormatsEveryKindOfTime) {
  struct Case {
    uint32_t numerator;
    uint32_t denominator;
    const char* text;
  };
  const Case cases[] = {
      {1, 200, "1/200 sec."},
      {4, 1, "4 sec."},
      {100, 3, "100/3 sec."},
      {10, 300, "1/30 sec."},
      {13, 1300, "1/100 sec."},
      {333, 10000, "333/10000 sec."},
      {200, 1, "200 sec."},
      {10, 1250, "1/125 sec."},
      {13, 10, "13/10 sec."},
      {30, 1, "30 sec."},
      {6, 1, "6 sec."},
      {2, 4, "1/2 sec."},
      {49, 98, "1/2 sec."},  // 7 divides both twice, one round after the other
      {11, 11, "1 sec."},    // no small common factor, but d / n is exactly 1
      {0, 0, ""},
      {5, 0, ""},
      {0, 200, "0 sec."},
      {4294967295u, 1, "4294967295 sec."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.numerator << "/" << c.denominator);
    EXPECT_EQ(ExposureTimeText(c.numerator, c.denominator), c.text);
  }
}

TEST(ExifSummaryAperture, WritesTheFNumberTheWayPhotographersDo) {
  struct Case {
    uint32_t numerator;
    uint32_t denominator;
    const char* text;
  };
  const Case cases[] = {{28, 10, "f/2.8"},   {80, 10, "f/8"},   {8, 1, "f/8"},   {1, 1, "f/1"},
                        {95, 100, "f/0.95"}, {56, 10, "f/5.6"}, {22, 1, "f/22"}, {2, 3, "f/0.67"},
                        {0, 10, ""},         {0, 0, ""},        {5, 0, ""}};
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.numerator << "/" << c.denominator);
    EXPECT_EQ(FNumberText(c.numerator, c.denominator), c.text);
  }
}

TEST(ExifSummaryText, KeepsUtf8TakesOtherBytesAsLatin1AndCountsCharacters) {
  const std::string e = "\xC3\xA9";  // é in UTF-8
  std::string capitalEs;
  for (int i = 0; i < 127; ++i) capitalEs += e;
  struct Case {
    std::string stored;
    std::string shown;
  };
  const Case cases[] = {
      {"Canon EOS 5D", "Canon EOS 5D"},
      {"Caf" + e, "Caf" + e},
      {"Caf\xE9", "Caf" + e},                                  // Latin-1 é
      {"\xC0\xAF", "\xC3\x80\xC2\xAF"},                        // overlong form: two Latin-1 bytes
      {"ab\xE2\x82", "ab\xC3\xA2\xC2\x82"},                    // sequence cut short at the end
      {"\xED\xA0\x80", "\xC3\xAD\xC2\xA0\xC2\x80"},            // a surrogate is no character
      {"\xF0\x9F\x93\xB7 camera", "\xF0\x9F\x93\xB7 camera"},  // four-byte character
      {std::string(300, 'a'), std::string(127, 'a')},
      {capitalEs + e + e, capitalEs},  // 127 characters, 254 bytes
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.stored);
    EXPECT_EQ(DisplayText(c.stored), c.shown);
  }
}

// Tags set on an in-memory bitmap, the way FreeImage stores what it reads from a file.
struct Tag {
  FREE_IMAGE_MDMODEL model;
  std::string key;
  FREE_IMAGE_MDTYPE type;
  std::vector<uint32_t> values;  // rationals as numerator, denominator pairs
  std::string text;              // for ASCII tags
};

Tag Rational(const char* key, uint32_t numerator, uint32_t denominator) {
  return {FIMD_EXIF_EXIF, key, FIDT_RATIONAL, {numerator, denominator}, ""};
}
Tag Short(const char* key, uint32_t value) {
  return {FIMD_EXIF_EXIF, key, FIDT_SHORT, {value}, ""};
}
Tag Long(const char* key, uint32_t value) { return {FIMD_EXIF_EXIF, key, FIDT_LONG, {value}, ""}; }
Tag Ascii(FREE_IMAGE_MDMODEL model, const char* key, const std::string& text) {
  return {model, key, FIDT_ASCII, {}, text};
}

void SetTag(FIBITMAP* bitmap, const Tag& tag) {
  FITAG* made = FreeImage_CreateTag();
  FreeImage_SetTagKey(made, tag.key.c_str());
  FreeImage_SetTagType(made, tag.type);
  if (tag.type == FIDT_ASCII) {
    FreeImage_SetTagCount(made, static_cast<DWORD>(tag.text.size() + 1));
    FreeImage_SetTagLength(made, static_cast<DWORD>(tag.text.size() + 1));
    FreeImage_SetTagValue(made, tag.text.c_str());
  } else {
    std::vector<uint16_t> shorts(tag.values.begin(), tag.values.end());
    const bool isShort = tag.type == FIDT_SHORT;
    const size_t width = isShort ? sizeof(uint16_t) : sizeof(uint32_t);
    const DWORD count =
        static_cast<DWORD>(tag.type == FIDT_RATIONAL ? tag.values.size() / 2 : tag.values.size());
    FreeImage_SetTagCount(made, count);
    FreeImage_SetTagLength(made, static_cast<DWORD>(tag.values.size() * width));
    FreeImage_SetTagValue(made, isShort ? static_cast<const void*>(shorts.data())
                                        : static_cast<const void*>(tag.values.data()));
  }
  FreeImage_SetMetadata(tag.model, bitmap, tag.key.c_str(), made);
  FreeImage_DeleteTag(made);
}

TEST(ExifSummaryReading, FillsEachSlotFromItsTagAndLeavesMissingOnesEmpty) {
  UseFreeImage();
  const std::vector<Tag> camera = {Rational("FNumber", 28, 10),
                                   Rational("ExposureTime", 10, 1250),
                                   Short("ISOSpeedRatings", 800),
                                   Long("PixelXDimension", 6000),
                                   Long("PixelYDimension", 4000),
                                   Ascii(FIMD_EXIF_EXIF, "DateTimeOriginal", "2014:04:18 20:33:53"),
                                   Ascii(FIMD_EXIF_MAIN, "Make", "SONY"),
                                   Ascii(FIMD_EXIF_MAIN, "Model", "ILCE-6000")};
  struct Case {
    const char* name;
    std::vector<Tag> tags;
    ExifSummary expected;  // fNumber, exposure, dimensions, iso, make, model, captured
  };
  const Case cases[] = {
      {"camera",
       camera,
       {"f/2.8", "1/125 sec.", "6000x4000", "800", "SONY", "ILCE-6000", "2014:04:18 20:33:53"}},
      {"no metadata", {}, {}},
      {"X without Y", {Long("PixelXDimension", 6000)}, {}},
      {"Y zero", {Short("PixelXDimension", 640), Short("PixelYDimension", 0)}, {}},
      {"dimensions as shorts, ISO as long",
       {Short("PixelXDimension", 640), Short("PixelYDimension", 480),
        Long("ISOSpeedRatings", 70000)},
       {"", "", "640x480", "70000", "", "", ""}},
      {"names in another case",
       {Rational("fnumber", 8, 1), Rational("EXPOSURETIME", 30, 1)},
       {"f/8", "30 sec.", "", "", "", "", ""}},
      {"undefined exposure and aperture",
       {Rational("FNumber", 0, 0), Rational("ExposureTime", 0, 0)},
       {}},
      {"wrong types",
       {Ascii(FIMD_EXIF_EXIF, "FNumber", "2.8"), Ascii(FIMD_EXIF_EXIF, "ISOSpeedRatings", "100"),
        Short("DateTimeOriginal", 5)},
       {}},
      {"maker and model only in the main directory count",
       {Ascii(FIMD_EXIF_EXIF, "Make", "Elsewhere"), Ascii(FIMD_EXIF_MAIN, "Model", "X100")},
       {"", "", "", "", "", "X100", ""}},
      {"long maker",
       {Ascii(FIMD_EXIF_MAIN, "Make", std::string(200, 'M'))},
       {"", "", "", "", std::string(127, 'M'), "", ""}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    UniqueBitmap bitmap(FreeImage_Allocate(4, 4, 24));
    ASSERT_TRUE(bitmap);
    for (const Tag& tag : c.tags) SetTag(bitmap.get(), tag);
    EXPECT_EQ(ReadExifSummary(bitmap.get()), c.expected);
  }
}

}  // namespace
