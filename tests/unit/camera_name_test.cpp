#include "profiles/camera_name.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::string Blanks(size_t count) { return std::string(count, ' '); }

std::string Repeat(const std::string& text, size_t count) {
  std::string repeated;
  for (size_t i = 0; i < count; ++i) repeated += text;
  return repeated;
}

// One row per line of the maker table, the patterns spelled with their blank counts so that a
// pattern with one blank too many or too few in the table fails here.
TEST(NormaliseCameraName, ShortensEveryMakerForm) {
  const struct {
    std::string maker;
    size_t patternLength;
    std::string expected;
  } rows[] = {
      {"CASIO COMPUTER CO.,LTD. /", 25, "CASIO / EX-Z750"},
      {"Canon / Canon", 13, "Canon / EX-Z750"},
      {"OLYMPUS IMAGING CORP." + Blanks(3) + "/", 25, "OLYMPUS / EX-Z750"},
      {"EASTMAN KODAK COMPANY / KODAK EASYSHARE", 39, "KODAK EASYSHARE / EX-Z750"},
      {"EASTMAN KODAK COMPANY / KODAK", 29, "KODAK / EX-Z750"},
      {"NIKON CORPORATION / NIKON", 25, "NIKON / EX-Z750"},
      {"PENTAX" + Blanks(14) + "/ PENTAX", 28, "PENTAX / EX-Z750"},
      {"PENTAX Corporation" + Blanks(2) + "/ PENTAX", 28, "PENTAX / EX-Z750"},
      {"PENTAX Corporation / PENTAX", 27, "PENTAX / EX-Z750"},
      {"PENTAX / PENTAX", 15, "PENTAX / EX-Z750"},
      {"RICOH" + Blanks(7) + "/", 13, "RICOH / EX-Z750"},
      {"SAMSUNG" + Blanks(9) + "/", 17, "Samsung / EX-Z750"},
      {"Samsung Techwin /", 17, "Samsung / EX-Z750"},
      {"SAMSUNG TECHWIN /", 17, "Samsung / EX-Z750"},
      {"SAMSUNG / SAMSUNG", 17, "Samsung / EX-Z750"},
      {"SANYO Electric Co.,Ltd. /", 25, "Sanyo / EX-Z750"},
  };
  for (const auto& row : rows) {
    ASSERT_EQ(row.maker.size(), row.patternLength) << row.maker;
    EXPECT_EQ(NormaliseCameraName(row.maker + " EX-Z750"), row.expected) << row.maker;
  }
}

TEST(NormaliseCameraName, FollowsTheTableInOrderAndRepeatsEachRow) {
  const struct {
    std::string source;
    std::string expected;
  } cases[] = {
      {FormCameraName("NIKON CORPORATION", "NIKON D700"), "NIKON / D700"},
      {FormCameraName("Canon", "Canon EOS 5D"), "Canon / EOS 5D"},
      {"EASTMAN KODAK COMPANY / KODAK EASYSHARE Z1", "KODAK EASYSHARE / Z1"},
      {"NIKON CORPORATION / NIKON D3 + NIKON CORPORATION / NIKON D4", "NIKON / D3 + NIKON / D4"},
      {"nikon corporation / nikon D700", "nikon corporation / nikon D700"},
      {"Leica Camera AG / M9", "Leica Camera AG / M9"},
      {"", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(NormaliseCameraName(c.source), c.expected) << c.source;
}

// The limit counts characters, so names in other scripts keep as many characters as ASCII names;
// the cut comes before the table, so a pattern cut in half stays.
TEST(NormaliseCameraName, KeepsAtMost127Characters) {
  const struct {
    std::string source;
    std::string expected;
  } cases[] = {
      {Repeat("a", 200), Repeat("a", 127)},
      {Repeat("\xC3\xA9", 200), Repeat("\xC3\xA9", 127)},
      {Repeat("\xE6\x97\xA5", 127), Repeat("\xE6\x97\xA5", 127)},
      {Repeat("\xF0\x9F\x93\xB7", 130), Repeat("\xF0\x9F\x93\xB7", 127)},
      {Repeat("x", 110) + "NIKON CORPORATION / NIKON D3", Repeat("x", 110) + "NIKON CORPORATION"},
  };
  for (const auto& c : cases) EXPECT_EQ(NormaliseCameraName(c.source), c.expected);
}

TEST(CleanCameraName, RepairsTextThatTheProfileFileCouldNotKeep) {
  const struct {
    std::string source;
    std::string expected;
  } cases[] = {
      {"  Canon / EOS 5D   ", "Canon / EOS 5D"},
      {"Canon\r\n[General]\tEOS", "Canon  [General] EOS"},
      {"Bad \xFF name", "Bad \xEF\xBF\xBD name"},
      {"   ", ""},
      {Repeat("b", 126) + "   tail", Repeat("b", 126)},
  };
  for (const auto& c : cases) EXPECT_EQ(CleanCameraName(c.source), c.expected);
}

TEST(CameraMatchKey, IgnoresBlanksAndAsciiCaseOnly) {
  EXPECT_EQ(CameraMatchKey("NIKON / D 700"), CameraMatchKey("nikon/d700"));
  EXPECT_NE(CameraMatchKey("NIKON / D700"), CameraMatchKey("NIKON_/_D700"));
  EXPECT_NE(CameraMatchKey("\xC3\x9C"), CameraMatchKey("\xC3\xBC"));  // Ü and ü differ
  EXPECT_EQ(CompareNoCase("canon", "CANON"), 0);
  EXPECT_LT(CompareNoCase("Apple", "banana"), 0);
  EXPECT_LT(CompareNoCase("Nikon", "nikon D3"), 0);
  EXPECT_LT(CompareNoCase("Z_", "za"), 0);  // '_' sorts before letters once they are lowered
}

}  // namespace
