#include "panel/photo_information.h"

#include <vector>

#include "config/localisation.h"

namespace {

constexpr int32_t kStringMaker = 132;
constexpr int32_t kStringType = 133;
constexpr int32_t kStringFNumber = 134;
constexpr int32_t kStringExposure = 135;
constexpr int32_t kStringCaptured = 136;
constexpr int32_t kStringResolution = 148;

struct Item {
  std::string label;
  std::string value;
};

// "label  value" of the items that have a value, joined by ", "; empty when none has.
std::string Line(const std::vector<Item>& items) {
  std::string line;
  for (const Item& item : items) {
    if (item.value.empty()) continue;
    if (!line.empty()) line += ", ";
    line += item.label + "  " + item.value;
  }
  return line;
}

std::string Resolution(int32_t width, int32_t height) {
  if (width <= 0 || height <= 0) return {};
  return std::to_string(width) + " \u00d7 " + std::to_string(height);
}

std::vector<std::string> Lines(const ExifSummary& exif, int32_t width, int32_t height) {
  const auto label = [](int32_t number) { return LocalisedString(number); };
  return {
      Line({{label(kStringMaker), exif.make}}),
      Line({{label(kStringType), exif.model}}),
      Line({{label(kStringResolution), Resolution(width, height)}}),
      Line({{"ISO:", exif.iso}, {label(kStringFNumber), exif.fNumber}}),
      Line({{label(kStringExposure), exif.exposure}}),
      Line({{label(kStringCaptured), exif.captured}}),
  };
}

}  // namespace

std::string PhotoInformationText(const ExifSummary& exif, int32_t width, int32_t height) {
  std::string text;
  for (const std::string& line : Lines(exif, width, height)) {
    if (line.empty()) continue;
    if (!text.empty()) text += "\n";
    text += line;
  }
  return text;
}
