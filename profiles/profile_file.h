// The profile file CameraISOSettingX.ini: an INI document (SimpleIni, UTF-8, multi-key and
// multi-line values, " = " between key and value, section and key names case-insensitive), written
// with the byte-order mark EF BB BF and CR LF line ends.
//
//   [General]                     No Of Cameras, Actual Camera, Actual ISO, version (always 2)
//   [Camera_<slot>]               m_wcsCameraName, m_uiISOCount, ISO0 … ISO<count − 1>
//   [Camera <name> ISO<value>]    the ten values of that ISO's profile
//
// Sections are written in that order, each camera's per-ISO sections right after its own. Reals
// are written with two decimals, integers in decimal, independent of the process's locale. Reading
// never fails on what the file holds: a missing key takes its default, a number out of range is
// kept within the range of its field, text that is no number reads as 0.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

#include "profiles/camera_profile_store.h"

// Bounds kept on reading. The camera count has none of its own in the file format; it is held to
// the ISO count's bound so that a damaged count cannot make the store allocate without limit.
inline constexpr uint32_t kMaxIsoCount = 10000;
inline constexpr uint32_t kMaxCameraCount = 10000;
inline constexpr uint32_t kMaxStoredIsoValue = 1000000;
inline constexpr uint32_t kProfileFileVersion = 2;

// The leading decimal integer of `text` (blanks before it and a sign allowed), saturated to the
// range of int32_t; 0 when the text does not start with one.
int32_t ParseDecimalInt(std::string_view text);

// The leading decimal number of `text`, read in the C locale; 0 when the text does not start with
// one.
double ParseDecimalReal(std::string_view text);

// The complete bytes of the profile file for `store`.
std::string ProfileFileText(const CameraProfileStore& store);

// Replaces the store's contents with those of the file at `path`. A file that is missing, empty,
// larger than 64 MiB or cannot be read whole reads like an empty document: one unknown camera
// without profiles. Invalid UTF-8 is replaced by U+FFFD before the document is parsed. True when an
// allocation failed; the camera being read then stays incomplete.
bool ReadProfileFile(const std::filesystem::path& path, CameraProfileStore& store);

// "version" of section "General" of the file at `path`; 1 when it has none.
uint32_t ReadProfileFileVersion(const std::filesystem::path& path);

// Writes `bytes` to a new file in the folder of `path` and renames it over `path`, so `path` holds
// either its old content or all of the new one, never a part. An existing file's permissions are
// kept. True on failure, with `path` untouched and the temporary file removed.
bool WriteFileAtomically(const std::filesystem::path& path, std::string_view bytes);
