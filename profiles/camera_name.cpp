#include "profiles/camera_name.h"

#include <algorithm>
#include <array>

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

constexpr std::string_view kReplacementCharacter = "\xEF\xBF\xBD";

unsigned char ByteAt(std::string_view text, size_t i) {
  return static_cast<unsigned char>(text[i]);
}

// Length of the well-formed UTF-8 sequence that `text` starts with (no overlong forms, no
// surrogates, nothing above U+10FFFF), or 0 when it does not start with one.
size_t SequenceLength(std::string_view text) {
  const unsigned char lead = ByteAt(text, 0);
  if (lead < 0x80) return 1;
  size_t length = 0;
  unsigned char low = 0x80;
  unsigned char high = 0xBF;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    if (lead == 0xE0) low = 0xA0;
    if (lead == 0xED) high = 0x9F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    if (lead == 0xF0) low = 0x90;
    if (lead == 0xF4) high = 0x8F;
  } else {
    return 0;
  }
  if (text.size() < length || ByteAt(text, 1) < low || ByteAt(text, 1) > high) return 0;
  for (size_t i = 2; i < length; ++i) {
    if ((ByteAt(text, i) & 0xC0) != 0x80) return 0;
  }
  return length;
}

bool IsContinuationByte(char byte) { return (static_cast<unsigned char>(byte) & 0xC0) == 0x80; }

bool IsControl(char byte) {
  const unsigned char value = static_cast<unsigned char>(byte);
  return value < 0x20 || value == 0x7F;
}

char LowerAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

// Cuts well-formed UTF-8 before its (limit + 1)-th character.
void CutAfterCharacters(std::string& text, size_t limit) {
  size_t characters = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    if (IsContinuationByte(text[i])) continue;
    if (characters++ == limit) {
      text.resize(i);
      return;
    }
  }
}

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

std::string RepairUtf8(std::string_view text) {
  std::string repaired;
  repaired.reserve(text.size());
  while (!text.empty()) {
    const size_t length = SequenceLength(text);
    if (length == 0) {
      repaired += kReplacementCharacter;
      text.remove_prefix(1);
    } else {
      repaired += text.substr(0, length);
      text.remove_prefix(length);
    }
  }
  return repaired;
}

std::string CleanCameraName(std::string_view name) {
  std::string clean = RepairUtf8(name);
  std::replace_if(clean.begin(), clean.end(), IsControl, ' ');
  CutAfterCharacters(clean, kMaxCameraNameCharacters);
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
