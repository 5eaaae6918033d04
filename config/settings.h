// The per-user settings file: SettingsFolder()/StillgrainGPU20.txt, section "General", values as
// decimal text. A missing file or key yields the default; the folder is created before a write,
// never by a read.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>

// Keys of section "General" and their defaults.
inline constexpr const char* kKeyHwAccel = "HW Accel";                    // "0"
inline constexpr const char* kKeyGpuCpuFusion = "GPUCPUFusion";           // "0"
inline constexpr const char* kKeyCrashedLastTime = "Crashed Last Time";   // "0"
inline constexpr const char* kKeyLatestFolder = "Latest Folder";          // ""
inline constexpr const char* kKeyJpegQuality = "jpeg";                    // "85"
inline constexpr const char* kKeyShowManualTuning = "ShowManualTunning";  // 1
inline constexpr const char* kKeyMaxMegapixels = "Max Megapixels";       // 400
// The user's interface language: an index into the localisation file's language list. Absent, the
// localisation file's own "Language Current" applies.
inline constexpr const char* kKeyLanguageCurrent = "Language Current";
// The batch window's choices (session/batch_choices.h).
inline constexpr const char* kKeyBatchProfiles = "Batch Profiles";      // 0
inline constexpr const char* kKeyBatchSubfolders = "Batch Subfolders";  // 1
inline constexpr int32_t kDefaultJpegQuality = 85;
inline constexpr int32_t kDefaultShowManualTuning = 1;
inline constexpr int32_t kDefaultMaxMegapixels = 400;

// The settings file's path.
std::filesystem::path SettingsFilePath();

// Reads a key of section "General" as text or as a decimal integer (the leading integer of the
// text, as the private-profile functions read it), or its default.
std::string ReadSettingString(const char* key, const std::string& fallback);
int32_t ReadSettingInt(const char* key, int32_t fallback);

// Writes a key of section "General", keeping the rest of the file. True on failure.
bool WriteSettingString(const char* key, const std::string& value);
bool WriteSettingInt(const char* key, int32_t value);

// "jpeg": the JPEG quality in percent, read before each save and written after a successful one.
int32_t LoadJpegQuality();
bool StoreJpegQuality(int32_t quality);

// "HW Accel", "GPUCPUFusion" and the low byte of "Crashed Last Time" as stored, without admitting
// the GPU (engine/gpu_self_test.h does) and without touching the crash flag.
struct StartupSettings {
  int32_t hwAccel = 0;
  int32_t gpuCpuFusion = 0;
  uint8_t crashedLastTime = 0;
};
StartupSettings LoadSettings();

// The desktop application's crash flag. "Crashed Last Time" is "1" on disk for the whole of a run
// and returns to "0" only through an orderly exit, so a run that ends any other way is noticed at
// the next start. MarkRunStarted writes "1" and returns the low byte that was stored before (the
// value that decides about the crash warning); MarkOrderlyExit writes "0" (true on failure). The
// command line never calls them.
uint8_t MarkRunStarted();
bool MarkOrderlyExit();

// Options OK: the user's choices "HW Accel" and "GPUCPUFusion". True on failure.
bool StoreAccelerationSettings(int32_t hwAccel, int32_t gpuCpuFusion);

// "Latest Folder": the folder chosen last for batch denoising (empty when none).
std::filesystem::path LoadLatestFolder();
bool StoreLatestFolder(const std::filesystem::path& folder);

// "ShowManualTunning": whether the parameters panel shows its manual-tuning controls.
bool LoadShowManualTuning();
bool StoreShowManualTuning(bool shown);

// "Max Megapixels": photos with more pixels than this many millions are refused before they are
// decoded. A value below 1 counts as the default.
int32_t LoadMaxMegapixels();
