#include "config/localisation.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <optional>

#include "config/settings.h"
#include "platform/private_profile.h"

namespace fs = std::filesystem;

namespace {

// A temporary folder for localisation files, also used as XDG_CONFIG_HOME so that the settings
// that LoadLocalisation reads are the test's own. Every test ends with the English texts again.
class LocalisationTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (const char* old = std::getenv("XDG_CONFIG_HOME")) savedConfigHome_ = old;
    std::string pattern = (fs::temp_directory_path() / "localisation_XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    folder_ = pattern;
    setenv("XDG_CONFIG_HOME", folder_.c_str(), 1);
    file_ = folder_ / "Stillgrain_loc.ini";
  }
  void TearDown() override {
    LoadLocalisationFrom(folder_ / "absent.ini");
    LoadLanguageListFrom(folder_ / "absent.ini");
    if (savedConfigHome_) {
      setenv("XDG_CONFIG_HOME", savedConfigHome_->c_str(), 1);
    } else {
      unsetenv("XDG_CONFIG_HOME");
    }
    fs::remove_all(folder_);
  }

  void WriteFile(const std::string& text) const { std::ofstream(file_, std::ios::binary) << text; }

  fs::path folder_;
  fs::path file_;
  std::optional<std::string> savedConfigHome_;
};

std::string Repeat(const std::string& piece, std::size_t count) {
  std::string text;
  for (std::size_t i = 0; i < count; ++i) text += piece;
  return text;
}

std::size_t CharacterCount(const std::string& text) {
  std::size_t count = 0;
  for (const char c : text) count += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
  return count;
}

TEST_F(LocalisationTest, WithoutAFileEveryTextIsItsEnglishDefault) {
  LoadLocalisationFrom(file_);
  LoadLanguageListFrom(file_);
  const struct {
    int32_t number;
    const char* text;
  } cases[] = {
      {1, "Press Ctrl+O to open an image"},
      {kStringImageFormatNotSupported, "Image format not supported!"},
      {kStringJpegQuality, "Jpeg Quality:"},
      {kStringOpen, "Open..."},
      {kStringSaveAs, "Save As..."},
      {kStringWarning, "Warning"},
      {kStringCrashedLastTime,
       "The application crashed last time. It's probably caused by low memory or by big size of "
       "photo you tried to denoise. Please crop the image and denoise the image again."},
      {kStringBatchFinished,
       "Batch denoising was successfully finished! You can find denoised images in subfolder "
       "named denoised in chosen folder."},
      {kStringBatchProfileFallback,
       "The application will use the stored profile of each photo's camera and ISO. A photo "
       "without one gets the automatic profile: strengths chosen from the noise measured on it."},
      {kStringOpen, "Open..."},
      {5, "Open..."},  // the menu appends the key itself
      {83, "Set Zoom 100%"},
      {153, "Strong"},
      {kStringBatchCancelled, "Batch denoising was cancelled."},
      {kStringOutputNotWritten, "The output file could not be written:"},
      {14, ""},
      {kStringAutomaticProfile, "Automatic (measured noise %1 / %2)"},
      {0, ""},
      {kLocalisedStringCount + 1, ""},
      {-1, ""},
  };
  for (const auto& c : cases) EXPECT_EQ(LocalisedString(c.number), c.text) << c.number;
  EXPECT_EQ(CurrentLanguage(), 0);
  EXPECT_TRUE(LanguageNames().empty());
  EXPECT_TRUE(LanguageAcronyms().empty());
}

TEST_F(LocalisationTest, TextsComeFromTheCurrentLanguageWithEnglishForTheRest) {
  WriteFile(
      "[General]\nLanguages No=2\nLanguage Current=1\n[0]\nstring30=zero\n"
      "[1]\nLanguage=Français\nstring30=Format d'image non pris en charge !\n");
  LoadLocalisationFrom(file_);
  EXPECT_EQ(CurrentLanguage(), 1);
  EXPECT_EQ(LocalisedString(30), "Format d'image non pris en charge !");
  EXPECT_EQ(LocalisedString(1), "Press Ctrl+O to open an image");
  EXPECT_EQ(LocalisedString(81), "Warning");
}

// The shipped file may lie where the user cannot write; the choice is the user's own setting.
TEST_F(LocalisationTest, TheUsersLanguageComesFromTheSettingsAndTheShippedFileStaysAsItWas) {
  const std::string shipped =
      "[General]\nLanguages No=2\nLanguage Current=0\n[1]\nstring30=dreissig\n"
      "string160=eins\\nzwei\n";
  WriteFile(shipped);
  LoadLocalisationFrom(file_);
  EXPECT_EQ(CurrentLanguage(), 0);
  EXPECT_EQ(LocalisedString(30), "Image format not supported!");

  ASSERT_FALSE(StoreCurrentLanguage(1));
  EXPECT_EQ(ReadSettingInt(kKeyLanguageCurrent, -1), 1);
  std::ifstream read(file_, std::ios::binary);
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(read), {}), shipped);
  LoadLocalisationFrom(file_);
  LoadLanguageListFrom(file_);
  EXPECT_EQ(CurrentLanguage(), 1);
  EXPECT_EQ(LocalisedString(30), "dreissig");
  EXPECT_EQ(LocalisedString(160), "eins\nzwei");  // "\n" in the file is a line break
  EXPECT_EQ(LanguageStringFrom(file_, 1, 160), "eins\nzwei");
}

// Every text of the table has its German translation, with the same places for the values that
// the windows fill in.
TEST(ShippedLanguages, GermanTranslatesEveryTextOfTheTable) {
  const fs::path file = fs::path(STILLGRAIN_SOURCE_DIR) / "resources" / "Stillgrain_loc.ini";
  LoadLanguageListFrom(file);
  EXPECT_EQ(LanguageNames(), (std::vector<std::string>{"English", "Deutsch"}));
  EXPECT_EQ(LanguageAcronym(1), "de");
  const auto placeholders = [](const std::string& text) {
    std::string found;
    for (std::size_t at = text.find('%'); at != std::string::npos; at = text.find('%', at + 1)) {
      found += text.substr(at, 2);
    }
    return found;
  };
  for (int32_t number = 1; number <= kLocalisedStringCount; ++number) {
    const std::string& english = EnglishString(number);
    if (english.empty()) continue;
    const std::string key = "string" + std::to_string(number);
    EXPECT_NE(GetPrivateProfileString("1", key, "(missing)", file), "(missing)") << key;
    EXPECT_EQ(placeholders(LanguageStringFrom(file, 1, number)), placeholders(english)) << key;
  }
  LoadLanguageListFrom(file.parent_path() / "absent.ini");
}

TEST_F(LocalisationTest, LanguageCountZeroStillReadsTheTextsOfSectionZero) {
  WriteFile("[General]\nLanguages No=0\n[0]\nLanguage=English\nstring2=Fichier\n");
  LoadLocalisationFrom(file_);
  LoadLanguageListFrom(file_);
  EXPECT_EQ(LocalisedString(2), "Fichier");
  EXPECT_TRUE(LanguageNames().empty());
}

TEST_F(LocalisationTest, LanguageListIsCappedAtOneHundred) {
  std::string sections;
  for (int i = 0; i < 120; ++i) {
    sections += "[" + std::to_string(i) + "]\nLanguage=Language " + std::to_string(i) +
                "\nAcronym=l" + std::to_string(i) + "\n";
  }
  const struct {
    const char* count;
    std::size_t listed;
  } cases[] = {{"250", 100}, {"100", 100}, {"3", 3}, {"0", 0}, {"-5", 0}, {"many", 0}};
  for (const auto& c : cases) {
    WriteFile(std::string("[General]\nLanguages No=") + c.count + "\n" + sections);
    LoadLanguageListFrom(file_);
    ASSERT_EQ(LanguageNames().size(), c.listed) << c.count;
    ASSERT_EQ(LanguageAcronyms().size(), c.listed) << c.count;
    if (c.listed > 0) {
      EXPECT_EQ(LanguageNames().back(), "Language " + std::to_string(c.listed - 1));
      EXPECT_EQ(LanguageAcronyms().back(), "l" + std::to_string(c.listed - 1));
    }
  }
}

TEST_F(LocalisationTest, LanguagesWithoutNamesAreListedEmptyAndAcronymsAreCut) {
  WriteFile(
      "[General]\nLanguages No=2\nLanguage Current=1\n"
      "[0]\nLanguage=Deutsch\nAcronym=abcdefghijklmnopqrst\n");
  LoadLanguageListFrom(file_);
  EXPECT_EQ(CurrentLanguage(), 1);
  EXPECT_EQ(LanguageNames(), (std::vector<std::string>{"Deutsch", ""}));
  EXPECT_EQ(LanguageAcronyms(), (std::vector<std::string>{"abcdefghijklmno", ""}));
}

TEST_F(LocalisationTest, LongTextsAreCutToTheirFirst1024Characters) {
  const struct {
    std::string piece;
    std::size_t repeat;
  } cases[] = {{"a", 5000}, {"\xC3\xA9", 1500}, {"\xF0\x9F\x98\x80", 1100}, {"z", 1000}};
  for (const auto& c : cases) {
    const std::string text = Repeat(c.piece, c.repeat);
    WriteFile("[0]\nstring45=" + text + "\n");
    LoadLocalisationFrom(file_);
    const std::string& read = LocalisedString(45);
    EXPECT_EQ(CharacterCount(read), std::min<std::size_t>(c.repeat, 1024)) << c.piece;
    EXPECT_EQ(read, text.substr(0, read.size()));
  }
}

TEST_F(LocalisationTest, InvalidUtf8IsKeptAsBytes) {
  WriteFile("[0]\nstring5=\xFF\xC3 broken \xE2\x82\nstring6=" + Repeat("\x80", 6000) + "\n");
  LoadLocalisationFrom(file_);
  EXPECT_EQ(LocalisedString(5), "\xFF\xC3 broken \xE2\x82");
  EXPECT_LE(LocalisedString(6).size(), 4 * kMaxLocalisedStringLength);
}

}  // namespace
