#include "config/localisation.h"

#include <algorithm>
#include <array>

#include "config/settings.h"
#include "platform/paths.h"
#include "platform/private_profile.h"
#include "platform/utf8.h"

namespace fs = std::filesystem;

namespace {

constexpr const char* kLocalisationFileName = "Stillgrain_loc.ini";
constexpr const char* kGeneralSection = "General";
constexpr const char* kKeyLanguageCount = "Languages No";
constexpr const char* kKeyCurrentLanguage = "Language Current";
constexpr const char* kKeyLanguageName = "Language";
constexpr const char* kKeyLanguageAcronym = "Acronym";
// Room for kMaxLocalisedStringLength characters of up to four bytes each.
constexpr std::size_t kMaxLocalisedStringBytes = 4 * kMaxLocalisedStringLength;

struct EnglishText {
  int32_t number;
  const char* text;
};

// The built-in texts; numbers that do not appear here have an empty default.
constexpr EnglishText kEnglishTexts[] = {
    {1, "Press Ctrl+O to open an image"},
    {2, "File"},
    {3, "Denoise"},
    {4, "Help"},
    {5, "Open..."},
    {6, "Save As..."},
    {7, "Close"},
    {8, "Options..."},
    {9, "Exit"},
    {10, "Denoise Image..."},
    {11, "Batch Denoising..."},
    {12, "Help Contents"},
    {13, "Visit Web Site"},
    {16, "About..."},
    {17, "Please wait ."},
    {18, "Click and drag to move image, Double click to zoom to best fit, Use mouse wheel to zoom"},
    {19, "Open Image (Ctrl+O)"},
    {20, "Save Image As (Ctrl+S)"},
    {21, "Denoise Current Image"},
    {22, "Zoom In (+)"},
    {23, "Zoom Out (-)"},
    {24, "Zoom Image to Fit the Window"},
    {27, "Report"},
    {30, "Image format not supported!"},
    {31, "About"},
    {32, "Medium;(normal)"},
    {33, "N/A"},
    {34,
     "Click and drag to move image or preview rectangle, Right-click for comparison between "
     "original and denoised image"},
    {35, "Low;(fastest)"},
    {36, "Superior;(slowest)"},
    {37, "Denoising wizard - Preview - Step 1"},
    {38, "Denoise"},
    {39, "Denoising wizard - Sharpening - Step 2"},
    {40, "Next >>"},
    {41, "Denoising wizard - Mixing Cans - Step 3"},
    {42, "Finish"},
    {43, "Abort"},
    {44,
     "Click and drag to move image, Double click to zoom to best fit, Use mouse wheel to zoom, "
     "Right-click for comparison between original and modified image"},
    {45, "Strength:"},
    {46, "Set sharpening strength for unsharp mask to improve the image impression"},
    {47, "Intensity:"},
    {50, "Jpeg Quality:"},
    {51, "Highest"},
    {52, "High"},
    {53, "Medium"},
    {54, "Low"},
    {55, "Open..."},
    {56, "Save As..."},
    {57, "Options"},
    {58, "Select language:"},
    {59, "OK"},
    {60, "Cancel"},
    {61, "Use hardware acceleration"},
    {62, "Use advanced denoising"},
    {63, "Information"},
    {64, "You have to restart the application for the language change to take effect."},
    {65, "<< Previous"},
    {66, "Set Default"},
    {67, "Denoising strength:"},
    {68, "Quality:"},
    {69, "Process per component ;(slows down the processing)"},
    {70, "Use mixing cans for blending denoised and original image according to image intensity"},
    {71, "Select folder to denoise"},
    {72, "Batch denoising options"},
    {73, "Batch Denoising"},
    {74, "Estimated time"},
    {75, "Elapsed time"},
    {79, "Denoising wizard - Preview"},
    {81, "Warning"},
    {82, "Denoising strength (chromaticity):"},
    {83, "Set Zoom 100%"},
    {84, "Set Zoom"},
    {85,
     "The application crashed last time. It's probably caused by low memory or by big size of "
     "photo you tried to denoise. Please crop the image and denoise the image again."},
    {86, "Mix only image intensity and leave image chromaticity unmixed"},
    {87, "All"},
    {88,
     "Batch denoising was successfully finished! You can find denoised images in subfolder "
     "named denoised in chosen folder."},
    {89, "Windows GDI+ error appeared, image will be saved without EXIF metadata."},
    {90, "Windows GDI+ error appeared, image cannot be saved."},
    {101, "Noise ratio:"},
    {102, "Noise amplitude might be different in dark/light parts of the image."},
    {103, "Correction of extra large chromatic spots."},
    {104, "Strength:"},
    {105, "Sharpening Tool"},
    {106, "Level of Details 1"},
    {107, "Level of Details 2"},
    {108, "Level of Details 3"},
    {109, "Denoise Image Fast..."},
    {110, "Denoise Current Image Fast"},
    {111, "CPU+GPU Fusion"},
    {112, "Pure GPU"},
    {116, "Strength - Intensity:"},
    {117, "Strength - Chromaticity:"},
    {118, "Strength - Chromaticity Large:"},
    {119, "Noise domination (dark - light):"},
    {120, "Parameters Setting"},
    {121, "Profile:"},
    {122, "Basic parameters"},
    {123, "Save As..."},
    {124, "Remove"},
    {125, "Advanced parameters (optional)"},
    {126, "Sharpening parameters"},
    {127, "Tiny Details"},
    {128, "Medium Details"},
    {129, "Rough Details"},
    {130, "Camera:"},
    {131, "Image Info"},
    {132, "Maker:"},
    {133, "Type:"},
    {134, "FNumber:"},
    {135, "Exposure:"},
    {136, "Captured:"},
    {137, "Do you want to delete all settings for current camera?"},
    {138, "Yes - delete all settings for current camera"},
    {139, "No - delete only setting for current camera and current ISO"},
    {140, "Cancel - cancel operation"},
    {141, "Cannot delete selected setting"},
    {142, "Adding Configuration"},
    {143,
     "The application will use the stored profile of each photo's camera and ISO. A photo without "
     "one gets the automatic profile: strengths chosen from the noise measured on it."},
    {144, "Redefine"},
    {145, "Save Manual Setting..."},
    {146, "Delete Current Setting..."},
    {147, "Manual tuning"},
    {148, "Resolution:"},
    {149, "Show / Hide"},
    {150, "Use heavy point based artefacts reduction"},
    {151, "None (Recommended)"},
    {152, "Common"},
    {153, "Strong"},
    {kStringBatchCancelled, "Batch denoising was cancelled."},
    {kStringOutputNotWritten, "The output file could not be written:"},
    {kStringPhotoTooLarge,
     "The photo is too large to open. The limit is set by \"Max Megapixels\" in the settings."},
    {kStringOutOfMemory, "There is not enough memory to process this photo."},
    {kStringPhotoDamaged, "The photo is damaged:"},
    {kStringOpenDamagedPhoto, "Open what can be read of it?"},
    {kStringAutomaticProfile, "Automatic (measured noise %1 / %2)"},
    {kStringReplaceFile, "%1 already exists.\nDo you want to replace it?"},
    {kStringAboutText, "Stillgrain %1\n\nNoise reduction for digital photographs."},
    {kStringHelpNotOpened, "The help could not be opened. It is looked for here:"},
    {kStringWebSiteNotOpened, "No web browser could be started. The web site's address is:"},
    {kStringPhotosFilter, "Photos"},
    {kStringAllFilesFilter, "All files"},
    {kStringUnsavedResult, "%1 has been denoised but not saved.\nDo you want to save the result?"},
    {kStringNothingToSave,
     "There is nothing to save yet: press Denoise first. Save As writes the denoised photo."},
    {kStringSavedAs, "Saved as %1"},
    {kStringRunAborted, "Denoising was aborted; the photo is shown as it was loaded."},
    {kTipDenoise, "Denoises the whole photo with these values (the rectangle shows a part of it)"},
    {kTipAbort, "Stops denoising; the photo is shown as it was loaded"},
    {kTipRedefine, "Back to tuning the values; the result is not kept (you are asked to save it)"},
    {kTipCameras, "The camera whose stored profiles are used, chosen from the photo's EXIF record"},
    {kTipIsos, "The ISO speed of the stored profile in use"},
    {kTipManualTuning, "Shows or hides the sliders for tuning the values by hand"},
    {kTipFirstSlider, "How strongly brightness noise is removed"},
    {kTipFirstSlider + 1, "How strongly coloured noise is removed"},
    {kTipFirstSlider + 2, "How strongly large coloured blotches are removed"},
    {kTipFirstSlider + 3,
     "Moves the strength toward the dark (left) or the light (right) parts of the photo"},
    {kTipFirstSlider + 4, "Sharpening of the finest details (1.0 leaves them as they are)"},
    {kTipFirstSlider + 5, "Sharpening of medium-sized details (1.0 leaves them as they are)"},
    {kTipFirstSlider + 6, "Sharpening of coarse details (1.0 leaves them as they are)"},
    {kTipSliderHint,
     "Double click: back to the profile's value. Ctrl+Z: undo, Ctrl+Shift+Z: redo."},
    {kTipValueField, "Type a value and press Enter"},
    {kTipFirstMedianMode, "No extra pass against isolated bright or dark points"},
    {kTipFirstMedianMode + 1, "A median pass against isolated bright or dark points"},
    {kTipFirstMedianMode + 2, "A stronger median pass, for photos with many hot pixels"},
    {kTipSetDefault, "Sets every slider to its standard value; the point-artefact choice stays"},
    {kTipMenu, "File, denoising and help commands"},
    {kTipLanguage, "The language of the texts, used from the next start"},
    {kTipAcceleration,
     "Runs the filter on the graphics card where that is faster than the processor"},
    {kTipFusion, "The processor and the graphics card share the work"},
    {kTipPureGpu, "The graphics card does all the work"},
    {kStringNoCard,
     "Denoising stays on the processor: no graphics card with the OpenGL features it needs was "
     "found."},
    {kStringSelfTestFailed,
     "Denoising stays on the processor: the graphics card's result differs from the processor's "
     "by up to %1 levels."},
    {kStringCardSlower,
     "Denoising stays on the processor: in a timed test the graphics card took %1 s where the "
     "processor took %2 s."},
    {kStringProgressLeft, "%1 % \u2014 %2 left"},
    {kStringBatchProfiles, "Each photo is denoised with:"},
    {kStringFirstBatchProfile, "its stored profile, else the automatic one"},
    {kStringFirstBatchProfile + 1, "the automatic profile"},
    {kStringFirstBatchProfile + 2, "the values set in the panel now"},
    {kStringBatchAutomaticExplained,
     "Every photo gets the automatic profile: strengths chosen from the noise measured on it, "
     "whatever profiles are stored."},
    {kStringBatchPanelValuesExplained,
     "Every photo is denoised and sharpened with the values the panel shows now, as Denoise would "
     "do it."},
    {kStringIncludeSubfolders, "Include subfolders"},
    {kTipIncludeSubfolders, "Denoises the photos of every folder below the chosen one as well"},
    {kStringBatchIncomplete,
     "Batch denoising has finished, but not every photo could be denoised."},
    {kStringBatchDenoisedCount, "Denoised: %1"},
    {kStringBatchFailedCount, "Not denoised: %1"},
    {kStringBatchSkippedCount, "Skipped, not photos: %1"},
    {kStringBatchTooSmallCount, "Too small to denoise: %1"},
    {kStringBatchUnreadFolders, "Folders that could not be read: %1"},
    {kStringBatchFailures, "What went wrong:"},
    {kStringBatchMoreFailures, "\u2026 and %1 more"},
    {kStringMenu, "Menu"},
};

// One text per string number; index 0 is unused.
using TextTable = std::array<std::string, kLocalisedStringCount + 1>;

TextTable EnglishTable() {
  TextTable table;
  for (const EnglishText& entry : kEnglishTexts) table[entry.number] = entry.text;
  return table;
}

struct Localisation {
  TextTable texts = EnglishTable();
  std::vector<std::string> languageNames;
  std::vector<std::string> languageAcronyms;
  int32_t currentLanguage = 0;
};

Localisation& State() {
  static Localisation state;
  return state;
}

std::string StringKey(int32_t number) { return "string" + std::to_string(number); }

// An INI value holds one line; the file writes a line break within a text as "\n".
std::string WithLineBreaks(std::string text) {
  for (size_t at = text.find("\\n"); at != std::string::npos; at = text.find("\\n", at + 1)) {
    text.replace(at, 2, "\n");
  }
  return text;
}

// A text as the file holds it, made ready for display.
std::string FileText(const std::string& read) {
  return std::string(CutAfterCharacters(WithLineBreaks(read), kMaxLocalisedStringLength));
}

// The user's choice from the settings file, else the localisation file's default.
int32_t ReadCurrentLanguage(const PrivateProfileFile& file) {
  return ReadSettingInt(kKeyLanguageCurrent, file.GetInt(kGeneralSection, kKeyCurrentLanguage, 0));
}

}  // namespace

fs::path LocalisationFilePath() {
  return ResourceFolderFor(kLocalisationFileName) / kLocalisationFileName;
}

void LoadLocalisationFrom(const fs::path& path) {
  const PrivateProfileFile file(path);
  Localisation& state = State();
  state.currentLanguage = ReadCurrentLanguage(file);
  const std::string section = std::to_string(state.currentLanguage);
  for (int32_t number = 1; number <= kLocalisedStringCount; ++number) {
    state.texts[number] = FileText(file.GetString(section, StringKey(number), EnglishString(number),
                                                  kMaxLocalisedStringBytes));
  }
}

void LoadLanguageListFrom(const fs::path& path) {
  const PrivateProfileFile file(path);
  Localisation& state = State();
  const int32_t count =
      std::clamp(file.GetInt(kGeneralSection, kKeyLanguageCount, 0), 0, kMaxLanguages);
  state.currentLanguage = ReadCurrentLanguage(file);
  state.languageNames.clear();
  state.languageAcronyms.clear();
  for (int32_t language = 0; language < count; ++language) {
    const std::string section = std::to_string(language);
    state.languageNames.push_back(file.GetString(section, kKeyLanguageName, ""));
    const std::string acronym = file.GetString(section, kKeyLanguageAcronym, "");
    state.languageAcronyms.emplace_back(CutAfterCharacters(acronym, kMaxLanguageAcronymLength));
  }
}

void LoadLocalisation() { LoadLocalisationFrom(LocalisationFilePath()); }

void LoadLanguageList() { LoadLanguageListFrom(LocalisationFilePath()); }

bool StoreCurrentLanguage(int32_t language) {
  return WriteSettingInt(kKeyLanguageCurrent, language);
}

std::string LanguageStringFrom(const fs::path& file, int32_t language, int32_t number) {
  if (number < 1 || number > kLocalisedStringCount) return {};
  return FileText(GetPrivateProfileString(std::to_string(language), StringKey(number),
                                          EnglishString(number), file, kMaxLocalisedStringBytes));
}

const std::string& EnglishString(int32_t number) {
  static const TextTable english = EnglishTable();
  static const std::string kNone;
  return number >= 1 && number <= kLocalisedStringCount ? english[number] : kNone;
}

const std::string& LocalisedString(int32_t number) {
  static const std::string kNone;
  if (number < 1 || number > kLocalisedStringCount) return kNone;
  return State().texts[number];
}

const std::vector<std::string>& LanguageNames() { return State().languageNames; }

const std::vector<std::string>& LanguageAcronyms() { return State().languageAcronyms; }

int32_t CurrentLanguage() { return State().currentLanguage; }

std::string LanguageAcronym(int32_t language) {
  const std::vector<std::string>& acronyms = LanguageAcronyms();
  const auto slot = static_cast<std::size_t>(language);
  return language >= 0 && slot < acronyms.size() ? acronyms[slot] : std::string();
}
