#include "profiles/camera_name.h"

#include <algorithm>
#include <array>

#include "platform/utf8.h"

namespace {

struct MakerRow {
  std::string_view pattern;
  std::string_view replacement;
};

// Makers write their names into EXIF in several long forms, often repeated in the model text. The
// rows run in order, so the longer Kodak form is replaced before the shorter one can split it.
constexpr std::array<MakerRow, 16> kMakerTable = {{
    {"CASIO COMPUTER CO.,LTD. /", "CASIO /"},
    {"Canon / Canon", "Canon /"},
    {"OLYMPUS IMAGING CORP.   /", "OLYMPUS /"},
    {"EASTMAN KODAK COMPANY / KODAK EASYSHARE", "KODAK EASYSHARE /"},
    {"EASTMAN KODAK COMPANY / KODAK", "KODAK /"},
    {"NIKON CORPORATION / NIKON", "NIKON /"},
    {"PENTAX              / PENTAX", "PENTAX /"},
    {"PENTAX Corporation  / PENTAX", "PENTAX /"},
    {"PENTAX Corporation / PENTAX", "PENTAX /"},
    {"PENTAX / PENTAX", "PENTAX /"},
    {"RICOH       /", "RICOH /"},
    {"SAMSUNG         /", "Samsung /"},
    {"Samsung Techwin /", "Samsung /"},
    {"SAMSUNG TECHWIN /", "Samsung /"},
    {"SAMSUNG / SAMSUNG", "Samsung /"},
    {"SANYO Electric Co.,Ltd. /", "Sanyo /"},
}};

bool IsControl(char byte) {
  const unsigned char value = static_cast<unsigned char>(byte);
  return value < 0x20 || value == 0x7F;
}

char LowerAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

void TrimBlanks(std::string& text) {
  const size_t first = text.find_first_not_of(' ');
  if (first == std::string::npos) {
    text.clear();
    return;
  }
  text.erase(text.find_last_not_of(' ') + 1);
  text.erase(0, first);
}

void ApplyMakerRow(std::string& name, const MakerRow& row) {
  for (size_t at = name.find(row.pattern); at != std::string::npos; at = name.find(row.pattern)) {
    name.replace(at, row.pattern.size(), row.replacement);
  }
}

}  // namespace

std::string FormCameraName(std::string_view maker, std::string_view model) {
  std::string name(maker);
  name += " / ";
  name += model;
  return name;
}

std::string CleanCameraName(std::string_view name) {
  std::string clean = RepairUtf8(name);
  std::replace_if(clean.begin(), clean.end(), IsControl, ' ');
  clean.resize(CutAfterCharacters(clean, kMaxCameraNameCharacters).size());
  TrimBlanks(clean);
  return clean;
}

std::string NormaliseCameraName(std::string_view source) {
  std::string name = CleanCameraName(source);
  for (const MakerRow& row : kMakerTable) ApplyMakerRow(name, row);
  return name;
}

std::string CameraMatchKey(std::string_view name) {
  std::string key;
  key.reserve(name.size());
  for (char c : name) {
    if (c != ' ') key += LowerAscii(c);
  }
  return key;
}

int CompareNoCase(std::string_view a, std::string_view b) {
  const size_t common = std::min(a.size(), b.size());
  for (size_t i = 0; i < common; ++i) {
    const auto left = static_cast<unsigned char>(LowerAscii(a[i]));
    const auto right = static_cast<unsigned char>(LowerAscii(b[i]));
    if (left != right) return left < right ? -1 : 1;
  }
  if (a.size() == b.size()) return 0;
  return a.size() < b.size() ? -1 : 1;
}
