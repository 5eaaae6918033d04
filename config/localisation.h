// Localised user-visible texts: string numbers 1 … kLocalisedStringCount, read from
// Stillgrain_loc.ini beside the executable in the current language, each with a built-in English
// default.
//
// The file's section "General" holds "Languages No" (at most 100 are used) and the shipped default
// of "Language Current"; section "N" (the decimal language index) holds "Language", "Acronym" and
// "string1" … "stringN". The user's own choice of language lives in the settings file (key
// "Language Current" there), so that the shipped file is only ever read. A missing file, section or
// key gives the English default (empty for numbers without one). The tables are filled on the
// user-interface thread before any other thread reads them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

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
inline constexpr int32_t kStringBatchProfileFallback = 143;  // "…the stored profile of each photo…"
// Texts of our own, on free numbers above the last one of the original table (153).
inline constexpr int32_t kStringBatchCancelled = 154;    // "Batch denoising was cancelled."
inline constexpr int32_t kStringOutputNotWritten = 155;  // "The output file could not be written:"
inline constexpr int32_t kStringPhotoTooLarge = 156;     // "The photo is too large to open…"
inline constexpr int32_t kStringOutOfMemory = 157;       // "There is not enough memory…"
inline constexpr int32_t kStringPhotoDamaged = 158;      // "The photo is damaged:"
inline constexpr int32_t kStringOpenDamagedPhoto = 159;  // "Open what can be read of it?"
inline constexpr int32_t kStringAutomaticProfile = 160;  // "Automatic (measured noise %1 / %2)"
inline constexpr int32_t kStringReplaceFile = 161;       // "%1 already exists.…"
inline constexpr int32_t kStringAboutText = 162;         // "Stillgrain %1…"
inline constexpr int32_t kStringHelpNotOpened = 163;     // "The help could not be opened.…"
inline constexpr int32_t kStringWebSiteNotOpened = 164;  // "No web browser could be started.…"
inline constexpr int32_t kStringPhotosFilter = 165;      // "Photos"
inline constexpr int32_t kStringAllFilesFilter = 166;    // "All files"
inline constexpr int32_t kStringUnsavedResult = 167;     // "%1 has been denoised but not saved.…"
inline constexpr int32_t kStringNothingToSave = 168;     // "There is nothing to save yet…"
inline constexpr int32_t kStringSavedAs = 169;           // "Saved as %1"
inline constexpr int32_t kStringRunAborted = 170;        // "Denoising was aborted…"
// Tooltips: the run button in its three states, the profile lists, the manual-tuning button, the
// seven sliders (in the order of PanelScale) with the hint that all of them share, the value
// fields, the three point-artefact modes, "Set Default", the Menu button and the Options dialog's
// controls.
inline constexpr int32_t kTipDenoise = 171;
inline constexpr int32_t kTipAbort = 172;
inline constexpr int32_t kTipRedefine = 173;
inline constexpr int32_t kTipCameras = 174;
inline constexpr int32_t kTipIsos = 175;
inline constexpr int32_t kTipManualTuning = 176;
inline constexpr int32_t kTipFirstSlider = 177;  // … 183
inline constexpr int32_t kTipSliderHint = 184;
inline constexpr int32_t kTipValueField = 185;
inline constexpr int32_t kTipFirstMedianMode = 186;  // … 188
inline constexpr int32_t kTipSetDefault = 189;
inline constexpr int32_t kTipMenu = 190;
inline constexpr int32_t kTipLanguage = 191;
inline constexpr int32_t kTipAcceleration = 192;
inline constexpr int32_t kTipFusion = 193;
inline constexpr int32_t kTipPureGpu = 194;
// Why denoising stays on the processor although the user asked for the graphics card.
inline constexpr int32_t kStringNoCard = 195;          // "…no OpenGL context…"
inline constexpr int32_t kStringSelfTestFailed = 196;  // "…differs from the processor's…"
inline constexpr int32_t kStringCardSlower = 197;  // "…took %1 s where the processor took %2 s…"
inline constexpr int32_t kStringProgressLeft = 198;  // "%1 % — %2 left"
// The batch window's choices: the label of the profile choice, its three options (in the order of
// BatchProfiles) and what the second and third do (143 says what the first does), the subfolders
// box with its tooltip.
inline constexpr int32_t kStringBatchProfiles = 199;      // "Each photo is denoised with:"
inline constexpr int32_t kStringFirstBatchProfile = 200;  // … 202
inline constexpr int32_t kStringBatchAutomaticExplained = 203;
inline constexpr int32_t kStringBatchPanelValuesExplained = 204;
inline constexpr int32_t kStringIncludeSubfolders = 205;  // "Include subfolders"
inline constexpr int32_t kTipIncludeSubfolders = 206;
// The batch's report.
inline constexpr int32_t kStringBatchIncomplete = 207;  // "…not every photo could be denoised."
inline constexpr int32_t kStringBatchDenoisedCount = 208;  // "Denoised: %1"
inline constexpr int32_t kStringBatchFailedCount = 209;    // "Not denoised: %1"
inline constexpr int32_t kStringBatchSkippedCount = 210;   // "Skipped, not photos: %1"
inline constexpr int32_t kStringBatchTooSmallCount = 211;  // "Too small to denoise: %1"
inline constexpr int32_t kStringBatchUnreadFolders = 212;  // "Folders that could not be read: %1"
inline constexpr int32_t kStringBatchFailures = 213;       // "What went wrong:"
inline constexpr int32_t kStringBatchMoreFailures = 214;   // "… and %1 more"
inline constexpr int32_t kStringMenu = 215;                // "Menu" (the toolbar's menu button)

// The highest string number.
inline constexpr int32_t kLocalisedStringCount = 215;

// Stillgrain_loc.ini in the folder that holds the shipped resources (platform/paths.h).
std::filesystem::path LocalisationFilePath();

// Reads every string of the current language (English defaults where the file has none). Called
// first thing at process start; until then every string is its English default.
void LoadLocalisation();

// Reads the language list and the current language index (the user's choice, else the file's).
void LoadLanguageList();

// The two steps above on a given localisation file.
void LoadLocalisationFrom(const std::filesystem::path& file);
void LoadLanguageListFrom(const std::filesystem::path& file);

// Stores the user's choice of language in the settings file; it takes effect at the next start.
// True on failure.
bool StoreCurrentLanguage(int32_t language);

// String N of `language` as a localisation file holds it (its English default where the file has
// none): the Options dialog tells of a language change in the new language.
std::string LanguageStringFrom(const std::filesystem::path& file, int32_t language, int32_t number);

// The English default of string N; empty for numbers without one.
const std::string& EnglishString(int32_t number);

// The text of string N (1 … kLocalisedStringCount); empty for numbers outside the table.
const std::string& LocalisedString(int32_t number);

const std::vector<std::string>& LanguageNames();
const std::vector<std::string>& LanguageAcronyms();
int32_t CurrentLanguage();
// The short code of a listed language ("de"); empty for one the list does not hold.
std::string LanguageAcronym(int32_t language);
