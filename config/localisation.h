// Localised user-visible texts: string numbers 1 … 160, read from Stillgrain_loc.ini beside the
// executable in the current language, each with a built-in English default.
//
// The file's section "General" holds "Languages No" (at most 100 are used) and "Language Current";
// section "N" (the decimal language index) holds "Language", "Acronym" and "string1" … "string160".
// A missing file, section or key gives the English default (empty for numbers without one). The
// tables are filled on the user-interface thread before any other thread reads them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

inline constexpr int32_t kLocalisedStringCount = 160;
inline constexpr int32_t kMaxLanguages = 100;
// Limits of a text and of a language acronym, in characters (UTF-8 sequences).
inline constexpr std::size_t kMaxLocalisedStringLength = 1024;
inline constexpr std::size_t kMaxLanguageAcronymLength = 15;

// String numbers that code refers to by name.
inline constexpr int32_t kStringReport = 27;                   // "Report"
inline constexpr int32_t kStringImageFormatNotSupported = 30;  // "Image format not supported!"
inline constexpr int32_t kStringJpegQuality = 50;              // "Jpeg Quality:"
inline constexpr int32_t kStringOpen = 55;                     // "Open..."
inline constexpr int32_t kStringSaveAs = 56;                   // "Save As..."
inline constexpr int32_t kStringOk = 59;                       // "OK"
inline constexpr int32_t kStringCancel = 60;                   // "Cancel"
inline constexpr int32_t kStringSelectBatchFolder = 71;        // "Select folder to denoise"
inline constexpr int32_t kStringBatchOptionsTitle = 72;        // "Batch denoising options"
inline constexpr int32_t kStringBatchProgressTitle = 73;       // "Batch Denoising"
inline constexpr int32_t kStringEstimatedTime = 74;            // "Estimated time"
inline constexpr int32_t kStringElapsedTime = 75;              // "Elapsed time"
inline constexpr int32_t kStringWarning = 81;                  // "Warning"
inline constexpr int32_t kStringCrashedLastTime = 85;          // "The application crashed last…"
inline constexpr int32_t kStringBatchFinished = 88;  // "Batch denoising was successfully…"
inline constexpr int32_t kStringBatchProfileFallback = 143;  // "The application will use existing…"
// Texts of our own, on free numbers above the last one of the original table (153).
inline constexpr int32_t kStringBatchCancelled = 154;    // "Batch denoising was cancelled."
inline constexpr int32_t kStringOutputNotWritten = 155;  // "The output file could not be written:"
inline constexpr int32_t kStringPhotoTooLarge = 156;     // "The photo is too large to open…"
inline constexpr int32_t kStringOutOfMemory = 157;       // "There is not enough memory…"
inline constexpr int32_t kStringPhotoDamaged = 158;      // "The photo is damaged:"
inline constexpr int32_t kStringOpenDamagedPhoto = 159;  // "Open what can be read of it?"
inline constexpr int32_t kStringAutomaticProfile = 160;  // "Automatic (measured noise %1 / %2)"

// Stillgrain_loc.ini in the folder that holds the shipped resources (platform/paths.h).
std::filesystem::path LocalisationFilePath();

// Reads every string of the current language (English defaults where the file has none). Called
// first thing at process start; until then every string is its English default.
void LoadLocalisation();

// Reads the language list and the current language index.
void LoadLanguageList();

// The two steps above on a given localisation file.
void LoadLocalisationFrom(const std::filesystem::path& file);
void LoadLanguageListFrom(const std::filesystem::path& file);

// Stores the chosen language in "Language Current" of the localisation file; it takes effect at
// the next start. True on failure.
bool StoreCurrentLanguage(int32_t language);

// The same on a given localisation file, and string N (1 … 160) of `language` as that file holds
// it (its English default where the file has none): the Options dialog tells of a language change
// in the new language.
bool StoreCurrentLanguageIn(const std::filesystem::path& file, int32_t language);
std::string LanguageStringFrom(const std::filesystem::path& file, int32_t language, int32_t number);

// The text of string N (1 … 160); empty for numbers outside the table.
const std::string& LocalisedString(int32_t number);

const std::vector<std::string>& LanguageNames();
const std::vector<std::string>& LanguageAcronyms();
int32_t CurrentLanguage();
