// Camera names: formed from the EXIF maker and model, shortened by the maker-normalisation table,
// kept to at most 127 characters. Names are UTF-8; limits count characters (code points), not
// bytes.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

inline constexpr size_t kMaxCameraNameCharacters = 127;

// "maker / model".
std::string FormCameraName(std::string_view maker, std::string_view model);

// The name as the store keeps it: invalid UTF-8 repaired, control characters turned into blanks
// (they would break the lines of the profile file), cut after 127 characters, blanks at both ends
// removed (the profile file cannot keep them).
std::string CleanCameraName(std::string_view name);

// The cleaned name with every row of the maker table applied in order: while a row's pattern
// occurs (exact, case-sensitive), its first occurrence is replaced by the shorter replacement, so
// "NIKON CORPORATION / NIKON D700" becomes "NIKON / D700".
std::string NormaliseCameraName(std::string_view source);

// Blanks (U+0020) removed and ASCII letters folded to lower case: two names that give the same key
// are the same camera for `FindCamera`.
std::string CameraMatchKey(std::string_view name);

// ASCII case-insensitive comparison, negative, zero or positive like strcmp.
int CompareNoCase(std::string_view a, std::string_view b);
