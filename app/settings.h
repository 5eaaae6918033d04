// The per-user settings file: SettingsFolder()/StillgrainGPU20.txt, section "General", values as
// decimal text. A missing file or key yields the default; the folder is created before every read
// and write.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>

// Keys of section "General" and their defaults.
inline constexpr const char* kKeyHwAccel = "HW Accel";                  // "0"
inline constexpr const char* kKeyGpuCpuFusion = "GPUCPUFusion";         // "0"
inline constexpr const char* kKeyCrashedLastTime = "Crashed Last Time";  // "0"
inline constexpr const char* kKeyLatestFolder = "Latest Folder";        // ""
inline constexpr const char* kKeyJpegQuality = "jpeg";                  // "85"
inline constexpr const char* kKeyShowManualTuning = "ShowManualTunning";  // 1
inline constexpr int32_t kDefaultJpegQuality = 85;

// The settings file's path (the folder is created).
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
