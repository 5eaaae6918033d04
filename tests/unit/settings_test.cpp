#include "config/settings.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <optional>
#include <sstream>

#include "engine/gpu_self_test.h"
#include "platform/private_profile.h"

namespace fs = std::filesystem;

namespace {

// Points XDG_CONFIG_HOME at a fresh temporary folder for the length of a test.
class SettingsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (const char* old = std::getenv("XDG_CONFIG_HOME")) savedConfigHome_ = old;
    std::string pattern = (fs::temp_directory_path() / "settings_XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    configHome_ = pattern;
    setenv("XDG_CONFIG_HOME", configHome_.c_str(), 1);
  }
  void TearDown() override {
    if (savedConfigHome_) {
      setenv("XDG_CONFIG_HOME", savedConfigHome_->c_str(), 1);
    } else {
      unsetenv("XDG_CONFIG_HOME");
    }
    fs::remove_all(configHome_);
  }

  fs::path Folder() const { return configHome_ / "StillgrainGPU20"; }
  std::string StoredCrashFlag() const {
    return GetPrivateProfileString("General", kKeyCrashedLastTime, "<none>",
                                   Folder() / "StillgrainGPU20.txt");
  }
  std::string FileText() const {
    std::ostringstream text;
    text << std::ifstream(Folder() / "StillgrainGPU20.txt").rdbuf();
    return text.str();
  }

  fs::path configHome_;
  std::optional<std::string> savedConfigHome_;
};

// Reading creates nothing (the command line only reads, and may meet an unusable home); the first
// write creates the folder.
TEST_F(SettingsTest, FirstStartReadsTheDefaultsAndOnlyAWriteCreatesTheFolder) {
  ASSERT_FALSE(fs::exists(Folder()));
  const StartupSettings settings = LoadSettings();
  EXPECT_FALSE(fs::exists(Folder()));
  EXPECT_EQ(SettingsFilePath(), Folder() / "StillgrainGPU20.txt");
  EXPECT_FALSE(fs::exists(SettingsFilePath())) << "reading must not write";
  EXPECT_EQ(settings.hwAccel, 0);
  EXPECT_EQ(settings.gpuCpuFusion, 0);
  EXPECT_EQ(settings.crashedLastTime, 0);
  EXPECT_EQ(LoadJpegQuality(), 85);
  EXPECT_TRUE(LoadShowManualTuning());
  EXPECT_TRUE(LoadLatestFolder().empty());
  EXPECT_FALSE(fs::exists(Folder()));
  ASSERT_FALSE(StoreJpegQuality(90));
  EXPECT_TRUE(fs::is_regular_file(SettingsFilePath()));
}

TEST_F(SettingsTest, CrashFlagWarnsOnceAfterARunThatDidNotExitInOrder) {
  EXPECT_EQ(MarkRunStarted(), 0) << "first start";
  EXPECT_EQ(StoredCrashFlag(), "1") << "the flag stays 1 for the whole run";
  EXPECT_FALSE(MarkOrderlyExit());
  EXPECT_EQ(StoredCrashFlag(), "0");

  EXPECT_EQ(MarkRunStarted(), 0) << "after an orderly exit";
  // This run is killed: nothing writes "0".
  EXPECT_EQ(LoadSettings().crashedLastTime, 1) << "the command line sees the flag";
  EXPECT_EQ(MarkRunStarted(), 1) << "the start after the killed run warns";
  EXPECT_FALSE(MarkOrderlyExit());
  EXPECT_EQ(MarkRunStarted(), 0) << "and the one after that does not";
}

TEST_F(SettingsTest, LoadSettingsLeavesTheCrashFlagAlone) {
  ASSERT_FALSE(WriteSettingInt(kKeyCrashedLastTime, 0));
  LoadSettings();
  EXPECT_EQ(StoredCrashFlag(), "0");
}

TEST_F(SettingsTest, CrashFlagIsTheLowByteOfTheStoredNumber) {
  const struct {
    const char* stored;
    uint8_t expected;
  } cases[] = {{"1", 1}, {"257", 1}, {"256", 0}, {"-1", 255}, {"yes", 0}};
  for (const auto& c : cases) {
    ASSERT_FALSE(WriteSettingString(kKeyCrashedLastTime, c.stored));
    EXPECT_EQ(LoadSettings().crashedLastTime, c.expected) << c.stored;
  }
}

TEST_F(SettingsTest, StoredValuesUseTheKeysOfTheSettingsFileAndKeepEachOther) {
  ASSERT_FALSE(StoreAccelerationSettings(1, 1));
  ASSERT_FALSE(StoreJpegQuality(70));
  ASSERT_FALSE(StoreLatestFolder("/photos/2024 trip"));
  ASSERT_FALSE(StoreShowManualTuning(false));
  ASSERT_FALSE(MarkOrderlyExit());

  const std::string text = FileText();
  for (const char* line :
       {"[General]\n", "HW Accel=1\n", "GPUCPUFusion=1\n", "jpeg=70\n",
        "Latest Folder=/photos/2024 trip\n", "ShowManualTunning=0\n", "Crashed Last Time=0\n"}) {
    EXPECT_NE(text.find(line), std::string::npos) << line << "in:\n" << text;
  }
  const StartupSettings settings = LoadSettings();
  EXPECT_EQ(settings.hwAccel, 1);
  EXPECT_EQ(settings.gpuCpuFusion, 1);
  EXPECT_EQ(LoadJpegQuality(), 70);
  EXPECT_EQ(LoadLatestFolder(), fs::path("/photos/2024 trip"));
  EXPECT_FALSE(LoadShowManualTuning());
}

TEST_F(SettingsTest, AccelerationIsAdmittedOnlyWithAUsableCard) {
  // No GPU object exists in this test: "HW Accel" 1 on disk gives 0 for the run and stays 1.
  ASSERT_FALSE(WriteSettingInt(kKeyHwAccel, 1));
  ASSERT_FALSE(WriteSettingInt(kKeyGpuCpuFusion, 1));
  const StartupSettings stored = LoadSettings();
  EXPECT_EQ(stored.hwAccel, 1);
  const AccelerationChoice admitted = AdmitAcceleration(stored, AccelerationAdmission{});
  EXPECT_FALSE(admitted.useGpu);
  EXPECT_TRUE(admitted.fusion);
  EXPECT_EQ(ReadSettingInt(kKeyHwAccel, 0), 1);
}

}  // namespace
