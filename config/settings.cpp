#include "config/settings.h"

#include "platform/paths.h"
#include "platform/private_profile.h"

namespace fs = std::filesystem;

namespace {

constexpr const char* kSettingsSection = "General";
constexpr const char* kSettingsFileName = "StillgrainGPU20.txt";

uint8_t ReadCrashFlag() { return static_cast<uint8_t>(ReadSettingInt(kKeyCrashedLastTime, 0)); }

}  // namespace

fs::path SettingsFilePath() { return SettingsFolder() / kSettingsFileName; }

std::string ReadSettingString(const char* key, const std::string& fallback) {
  return GetPrivateProfileString(kSettingsSection, key, fallback, SettingsFilePath());
}

int32_t ReadSettingInt(const char* key, int32_t fallback) {
  return GetPrivateProfileInt(kSettingsSection, key, fallback, SettingsFilePath());
}

bool WriteSettingString(const char* key, const std::string& value) {
  CreateFolderFor(SettingsFilePath());
  return WritePrivateProfileString(kSettingsSection, key, value, SettingsFilePath());
}

bool WriteSettingInt(const char* key, int32_t value) {
  return WriteSettingString(key, std::to_string(value));
}

int32_t LoadJpegQuality() { return ReadSettingInt(kKeyJpegQuality, kDefaultJpegQuality); }

bool StoreJpegQuality(int32_t quality) { return WriteSettingInt(kKeyJpegQuality, quality); }

StartupSettings LoadSettings() {
  return StartupSettings{.hwAccel = ReadSettingInt(kKeyHwAccel, 0),
                         .gpuCpuFusion = ReadSettingInt(kKeyGpuCpuFusion, 0),
                         .crashedLastTime = ReadCrashFlag()};
}

uint8_t MarkRunStarted() {
  const uint8_t previous = ReadCrashFlag();
  WriteSettingInt(kKeyCrashedLastTime, 1);
  return previous;
}

bool MarkOrderlyExit() { return WriteSettingInt(kKeyCrashedLastTime, 0); }

bool StoreAccelerationSettings(int32_t hwAccel, int32_t gpuCpuFusion) {
  const bool hwAccelFailed = WriteSettingInt(kKeyHwAccel, hwAccel);
  return WriteSettingInt(kKeyGpuCpuFusion, gpuCpuFusion) || hwAccelFailed;
}

fs::path LoadLatestFolder() { return fs::path(ReadSettingString(kKeyLatestFolder, "")); }

bool StoreLatestFolder(const fs::path& folder) {
  return WriteSettingString(kKeyLatestFolder, folder.string());
}

bool LoadShowManualTuning() {
  return ReadSettingInt(kKeyShowManualTuning, kDefaultShowManualTuning) != 0;
}

bool StoreShowManualTuning(bool shown) { return WriteSettingInt(kKeyShowManualTuning, shown); }

int32_t LoadMaxMegapixels() {
  const int32_t stored = ReadSettingInt(kKeyMaxMegapixels, kDefaultMaxMegapixels);
  return stored >= 1 ? stored : kDefaultMaxMegapixels;
}
