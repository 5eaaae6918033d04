#include "picture/exif_guard.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// Little-endian helpers for hand-made TIFF records.
std::string U16(uint32_t v) { return {char(v & 0xFF), char(v >> 8)}; }
std::string U32(uint32_t v) { return U16(v & 0xFFFF) + U16(v >> 16); }
std::string Entry(uint32_t tag, uint32_t type, uint32_t count, uint32_t value) {
  return U16(tag) + U16(type) + U32(count) + U32(value);
}
// "II*\0", the main directory at 8 with these entries and no successor, then `tail`.
std::string Record(const std::string& entries, uint32_t count, const std::string& tail = "") {
  return std::string("II*\0", 4) + U32(8) + U16(count) + entries + U32(0) + tail;
}

TEST(ExifGuardTest, RecordsAreSoundOnlyWhenEverythingTheyPointToIsInside) {
  const std::string ascii20 = Entry(0x010F, 2, 20, 26);  // Make, 20 bytes at 26
  const struct {
    const char* what;
    std::string record;
    bool sound;
  } cases[] = {
      {"empty directory", Record("", 0), true},
      {"inline value", Record(Entry(0x0112, 3, 1, 1), 1), true},
      {"value inside", Record(ascii20, 1, std::string(20, 'x')), true},
      {"value past the end", Record(ascii20, 1, std::string(19, 'x')), false},
      // The crash FreeImage's reader had on the fuzzer's input: the directory at offset 0.
      {"directory inside the header", std::string("II*\0\0\0\0\0", 8), false},
      {"count past the end", std::string("II*\0", 4) + U32(8) + U16(500), false},
      {"sub-directory pointing at itself", Record(Entry(0x8769, 4, 1, 8), 1), false},
      {"thumbnail past the end",
       Record(Entry(0x0201, 4, 1, 20) + Entry(0x0202, 4, 1, 4000), 2), false},
      {"not TIFF", std::string("MM\0\x2b\0\0\0\x08", 8), false},
      {"short", "II*", false},
  };
  for (const auto& c : cases) EXPECT_EQ(IsSoundExifRecord(c.record), c.sound) << c.what;
}

TEST(ExifGuardTest, OnlyUnsoundExifSegmentsAreRemovedFromAJpeg) {
  const std::string start("\xFF\xD8", 2);
  const auto app1 = [](const std::string& record) {
    const std::string payload = std::string("Exif\0\0", 6) + record;
    const size_t length = payload.size() + 2;
    return std::string("\xFF\xE1", 2) + char(length >> 8) + char(length & 0xFF) + payload;
  };
  const std::string scan("\xFF\xDA\x00\x02\x01\x02\xFF\xD9", 8);
  const std::string sound = app1(Record("", 0));
  const std::string unsound = app1(std::string("II*\0\0\0\0\0", 8));
  EXPECT_EQ(WithoutUnsoundExif(start + sound + scan), start + sound + scan);
  EXPECT_EQ(WithoutUnsoundExif(start + unsound + sound + scan), start + sound + scan);
  EXPECT_EQ(WithoutUnsoundExif("not a jpeg"), "not a jpeg");
  // Stray bytes before a segment, which libjpeg skips, do not hide it.
  EXPECT_EQ(WithoutUnsoundExif(start + "junk" + unsound + sound + scan),
            start + "junk" + sound + scan);
  // A maker note is renamed to a private tag, everything else stays.
  const std::string note = app1(Record(Entry(0x927C, 7, 2, 0), 1));
  std::string renamed = note;
  renamed[4 + 6 + 10] = '\xFE';
  renamed[4 + 6 + 11] = '\xFF';
  EXPECT_EQ(WithoutUnsoundExif(start + note + scan), start + renamed + scan);
  // An unknown marker is two bytes that FreeImage's decoder passes over, not a segment.
  const std::string unknown("\xFF\x0E", 2);
  EXPECT_EQ(WithoutUnsoundExif(start + unknown + unsound + sound + scan),
            start + unknown + sound + scan);
  // A segment length past the end stops the walk and changes nothing.
  const std::string cut = start + unsound.substr(0, 6);
  EXPECT_EQ(WithoutUnsoundExif(cut), cut);
}

}  // namespace
