// The calibration file NoiseCalibration.ini, shipped with the program and found like the other
// resource files (platform/paths.h ResourceFolderFor). An INI document:
//
//   [General]   version = 2, CoarseWeight = w, GridWeight = w, ChromaFromLuma = w
//   [Luma]      Point1 = level, strength, tiny gain, medium gain, rough gain
//               Point2 = …                    (as many points as wanted, numbered from 1)
//   [Chroma]    Point1 = level, strength, large strength
//
// Numbers are decimal with a point, in any locale. A file is taken whole or not at all: one that
// cannot be read, has another version, lacks a point's value, holds text that is not a number or a
// table that profiles/noise_calibration.h would not use, is refused with the reason, and the
// built-in table serves instead, so the program always has a calibration.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "profiles/noise_calibration.h"

inline constexpr const char* kNoiseCalibrationFileName = "NoiseCalibration.ini";
inline constexpr int kNoiseCalibrationVersion = 2;

// The table that `text` holds, or nothing with the reason in `error`.
std::optional<NoiseCalibration> ParseNoiseCalibration(std::string_view text, std::string& error);

// The table shipped with this build, compiled in from resources/NoiseCalibration.ini.
const NoiseCalibration& BuiltInNoiseCalibration();

// The shipped file beside the program (or in its share folder).
std::filesystem::path NoiseCalibrationFilePath();

// The table of `file`. A missing file gives the built-in table without a word; a file that is
// refused gives the built-in table, and `warning` (when not null) says which file and why.
NoiseCalibration LoadNoiseCalibration(const std::filesystem::path& file, std::string* warning);
// The same for the shipped file.
NoiseCalibration LoadNoiseCalibration(std::string* warning = nullptr);
