// The private-profile layer from arbitrary bytes, as the settings file and the localisation file
// use it: every value comes back cut to its limit, whatever the file holds.
#include <cstddef>
#include <cstdint>
#include <string>

#include "config/localisation.h"
#include "fuzz/fuzz_input_file.h"
#include "platform/private_profile.h"
#include "platform/utf8.h"

namespace {

void CheckSettingsLookups(const std::filesystem::path& path) {
  const PrivateProfileFile profile(path);
  for (const char* key : {"HW Accel", "jpeg", "Latest Folder", "Max Megapixels"}) {
    if (profile.GetString("General", key, "").size() > kProfileValueMaxBytes) __builtin_trap();
    profile.GetInt("General", key, 0);
  }
}

void CheckLocalisation(const std::filesystem::path& path) {
  LoadLanguageListFrom(path);
  LoadLocalisationFrom(path);
  for (int32_t number = 1; number <= kLocalisedStringCount; ++number) {
    const std::string& text = LocalisedString(number);
    if (CutAfterCharacters(text, kMaxLocalisedStringLength) != text) __builtin_trap();
  }
  if (LanguageNames().size() > static_cast<size_t>(kMaxLanguages)) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static FuzzInputFile file;
  const std::filesystem::path& path = file.Hold(data, size);
  CheckSettingsLookups(path);
  CheckLocalisation(path);
  return 0;
}
