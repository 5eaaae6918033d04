#include "panel/photo_information.h"

#include <array>

#include "config/localisation.h"

namespace {

struct InformationGroup {
  int32_t labelString;  // 0: the label is not localised
  const char* fixedLabel;
  std::string ExifSummary::*value;
  const char* separator;
};

constexpr std::array<InformationGroup, 7> kGroups = {{
    {132, nullptr, &ExifSummary::make, "\n"},
    {133, nullptr, &ExifSummary::model, "\n"},
    {148, nullptr, &ExifSummary::dimensions, "\n"},
    {0, "ISO:", &ExifSummary::iso, ", "},
    {134, nullptr, &ExifSummary::fNumber, "\n"},
    {135, nullptr, &ExifSummary::exposure, "\n"},
    {136, nullptr, &ExifSummary::captured, ""},
}};

std::string Label(const InformationGroup& group) {
  return group.labelString != 0 ? LocalisedString(group.labelString) : group.fixedLabel;
}

}  // namespace

bool HasPhotoInformation(const ExifSummary& exif) {
  for (const InformationGroup& group : kGroups) {
    if (!(exif.*group.value).empty()) return true;
  }
  return false;
}

std::string PhotoInformationText(const ExifSummary& exif) {
  std::string text;
  for (const InformationGroup& group : kGroups) {
    const std::string& value = exif.*group.value;
    if (value.empty()) {
      text += "  ";
    } else {
      text += Label(group) + "  " + value + group.separator;
    }
  }
  return text;
}
