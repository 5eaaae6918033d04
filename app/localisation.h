// Localised user-visible texts: string numbers 1 … 160, read from Stillgrain_loc.ini beside the
// executable in the current language, each with a built-in English default.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

inline constexpr int32_t kLocalisedStringCount = 160;
inline constexpr int32_t kMaxLanguages = 100;

// Reads every string of the current language (English defaults where the file has none). Called
// first thing at process start; until then every string is its English default.
void LoadLocalisation();

// Reads the language list and the current language index.
void LoadLanguageList();

// The text of string N (1 … 160); empty for numbers outside the table.
const std::string& LocalisedString(int32_t number);

const std::vector<std::string>& LanguageNames();
const std::vector<std::string>& LanguageAcronyms();
int32_t CurrentLanguage();
