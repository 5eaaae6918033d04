#include "profiles/noise_calibration.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "profiles/noise_calibration_file.h"
#include "support/photo_files.h"

namespace {

const char* const kGoodTable =
    "[General]\nversion = 2\nCoarseWeight = 0.8\nGridWeight = 1.1\nChromaFromLuma = 0.5\n"
    "[Luma]\nPoint1 = 0.5, 0, 1, 1, 1\nPoint2 = 2.5, 20, 0.7, 1, 1\n"
    "[Chroma]\nPoint1 = 0.2, 2, 0\nPoint2 = 2, 18.5, 4\n";

std::string ShippedText() {
  std::ifstream file(std::filesystem::path(STILLGRAIN_SOURCE_DIR) / "resources" /
                     kNoiseCalibrationFileName);
  std::stringstream text;
  text << file.rdbuf();
  return text.str();
}

TEST(NoiseCalibration, ReadsTheLargerOfTheFineAndTheWeightedLevels) {
  std::string error;
  const auto table = ParseNoiseCalibration(kGoodTable, error);
  ASSERT_TRUE(table) << error;
  PhotoNoise noise;
  noise.smooth = {1.0, 0.2, 0};
  noise.coarse = {2.0, 9.0, 0};  // JPEG-like: more noise seen at half size
  noise.gridLuma = 1.0;
  EXPECT_DOUBLE_EQ(ReadLevels(*table, noise).luma, 1.6);
  EXPECT_DOUBLE_EQ(ReadLevels(*table, noise).chroma, 0.8);  // half the luma level read
  noise.gridLuma = 2.0;                                     // steps across JPEG's block lines
  EXPECT_DOUBLE_EQ(ReadLevels(*table, noise).luma, 2.2);
  noise.coarse = {1.0, 0, 0};  // white noise reads lower at half size, and alike across the grid
  noise.gridLuma = 0.9;
  noise.smooth.chroma = 1.2;
  EXPECT_DOUBLE_EQ(ReadLevels(*table, noise).luma, 1.0);
  EXPECT_DOUBLE_EQ(ReadLevels(*table, noise).chroma, 1.2);
}

TEST(NoiseCalibration, InterpolatesBetweenPointsAndHoldsTheEnds) {
  std::string error;
  const auto table = ParseNoiseCalibration(kGoodTable, error);
  ASSERT_TRUE(table) << error;
  const CalibratedValues below = ValuesAt(*table, 0.1, 0.0);
  EXPECT_EQ(below.strength, 0.0);
  EXPECT_EQ(below.chroma, 2.0);
  const CalibratedValues middle = ValuesAt(*table, 1.5, 1.1);
  EXPECT_DOUBLE_EQ(middle.strength, 10.0);
  EXPECT_DOUBLE_EQ(middle.tiny, 0.85);
  EXPECT_DOUBLE_EQ(middle.chroma, 10.25);
  EXPECT_DOUBLE_EQ(middle.chromaLarge, 2.0);
  const CalibratedValues above = ValuesAt(*table, 9.0, 9.0);
  EXPECT_EQ(above.strength, 20.0);
  EXPECT_EQ(above.chromaLarge, 4.0);
}

// A table with the [General] section of version 2 and `body` after it.
std::string Table(const char* body) {
  return std::string(
             "[General]\nversion = 2\nCoarseWeight = 1\nGridWeight = 1\n"
             "ChromaFromLuma = 0\n") +
         body;
}

TEST(NoiseCalibration, RefusesBadFilesWithTheReason) {
  const char* const kChroma = "[Chroma]\nPoint1 = 0, 1, 0\n";
  const struct {
    std::string text;
    const char* reason;
  } kCases[] = {
      {"", "no version"},
      {"[General]\nversion = 1\nCoarseWeight = 0.8\nChromaFromLuma = 0.5\n",
       "version 1 is not the version this program reads (2)"},
      {"[General]\nversion = 2\nChromaFromLuma = 0\n", "it has no CoarseWeight"},
      {"[General]\nversion = 2\nCoarseWeight = 1, 2\n",
       "[General] CoarseWeight: one number is needed"},
      {"[General]\nversion = 2\nCoarseWeight = 1\nChromaFromLuma = 0\n", "it has no GridWeight"},
      {"[General]\nversion = 2\nCoarseWeight = 1\nGridWeight = 5\nChromaFromLuma = 5\n"
       "[Luma]\nPoint1 = 0, 1, 1, 1, 1\n[Chroma]\nPoint1 = 0, 1, 0\n",
       "ChromaFromLuma 5 is not within 0 to 4"},
      {"[General]\nversion = 2\nCoarseWeight = 1\nGridWeight = -1\nChromaFromLuma = 0\n"
       "[Luma]\nPoint1 = 0, 1, 1, 1, 1\n[Chroma]\nPoint1 = 0, 1, 0\n",
       "GridWeight -1 is not within 0 to 4"},
      {Table(kChroma), "Luma has no points"},
      {Table("[Luma]\nPoint1 = 0, 1, 1, 1, 1\n"), "Chroma has no points"},
      {Table("[Luma]\nPoint1 = 0, 1, 1, 1\n") + kChroma,
       "[Luma] Point1: 5 numbers are needed, not 4"},
      {Table("[Luma]\nPoint1 = 0, ten, 1, 1, 1\n") + kChroma, "'ten' is not a number"},
      {Table("[Luma]\nPoint1 = 0, 1,, 1, 1\n") + kChroma, "'' is not a number"},
      {Table("[Luma]\nPoint1 = 0, 60, 1, 1, 1\n") + kChroma, "strength 60 is not within 0 to 50"},
      {Table("[Luma]\nPoint1 = 0, 1, 1, 1, nan\n") + kChroma,
       "rough gain nan is not within 0 to 4"},
      {Table("[Luma]\nPoint1 = -1, 1, 1, 1, 1\n") + kChroma,
       "the level is not a number of 0 or more"},
      {Table("[Luma]\nPoint1 = 1, 1, 1, 1, 1\nPoint2 = 1, 2, 1, 1, 1\n") + kChroma,
       "Luma point 2: the level is not above"},
      {Table("[Luma]\nPoint1 = 1, 5, 1, 1, 1\nPoint2 = 2, 4, 1, 1, 1\n") + kChroma,
       "Luma point 2: strength falls"},
      {Table("[Luma]\nPoint1 = 1, 5, 1, 1, 1\nPoint2 = 2, 6, 1.2, 1, 1\n") + kChroma,
       "tiny gain rises"},
      {Table("[Luma]\nPoint1 = 0, 1, 1, 1, 1\n[Chroma]\nPoint1 = 0, 1, 3\nPoint2 = 1, 2, 2\n"),
       "Chroma point 2: large strength falls"},
  };
  for (const auto& c : kCases) {
    std::string error;
    EXPECT_FALSE(ParseNoiseCalibration(c.text, error)) << c.text;
    EXPECT_NE(error.find(c.reason), std::string::npos) << c.text << "\n -> " << error;
  }
}

TEST(NoiseCalibration, ShippedFileIsTheBuiltInTableAndMonotone) {
  std::string error;
  const auto shipped = ParseNoiseCalibration(ShippedText(), error);
  ASSERT_TRUE(shipped) << error;
  EXPECT_EQ(*shipped, BuiltInNoiseCalibration());
  // Strengths never fall and gains never rise anywhere between and beyond the points.
  CalibratedValues previous = ValuesAt(*shipped, 0, 0);
  for (double level = 0.01; level < 8; level += 0.01) {
    const CalibratedValues v = ValuesAt(*shipped, level, level);
    EXPECT_GE(v.strength, previous.strength) << level;
    EXPECT_GE(v.chroma, previous.chroma) << level;
    EXPECT_GE(v.chromaLarge, previous.chromaLarge) << level;
    EXPECT_LE(v.tiny, previous.tiny) << level;
    EXPECT_LE(v.medium, previous.medium) << level;
    EXPECT_LE(v.rough, previous.rough) << level;
    previous = v;
  }
  // Noise is smoothed at all.
  EXPECT_GT(ValuesAt(*shipped, 4, 3).strength, 15.0);
}

TEST(NoiseCalibration, MissingFileIsSilentAndARefusedOneIsNamed) {
  testphotos::TempFolder folder;
  std::string warning;
  EXPECT_EQ(LoadNoiseCalibration(folder / "none.ini", &warning), BuiltInNoiseCalibration());
  EXPECT_TRUE(warning.empty()) << warning;

  testphotos::WriteBytes(folder / "bad.ini", Table(""));
  EXPECT_EQ(LoadNoiseCalibration(folder / "bad.ini", &warning), BuiltInNoiseCalibration());
  EXPECT_NE(warning.find("bad.ini"), std::string::npos) << warning;
  EXPECT_NE(warning.find("Luma has no points"), std::string::npos) << warning;

  warning.clear();
  testphotos::WriteBytes(folder / "good.ini", kGoodTable);
  const NoiseCalibration good = LoadNoiseCalibration(folder / "good.ini", &warning);
  EXPECT_TRUE(warning.empty()) << warning;
  EXPECT_EQ(good.luma.size(), 2u);
  EXPECT_EQ(good.chroma.back(), (ChromaPoint{2, 18.5, 4}));
}

}  // namespace
