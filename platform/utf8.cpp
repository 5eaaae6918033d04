#include "platform/utf8.h"

namespace {

constexpr std::string_view kReplacementCharacter = "\xEF\xBF\xBD";

unsigned char ByteAt(std::string_view text, std::size_t i) {
  return static_cast<unsigned char>(text[i]);
}

bool IsContinuationByte(char byte) { return (static_cast<unsigned char>(byte) & 0xC0) == 0x80; }

// Copies the well-formed sequences of `text` and hands every other byte to `replace`, which
// appends what stands for it.
template <typename Replace>
std::string Repaired(std::string_view text, Replace replace) {
  std::string repaired;
  repaired.reserve(text.size());
  while (!text.empty()) {
    const std::size_t length = Utf8SequenceLength(text);
    if (length == 0) {
      replace(repaired, ByteAt(text, 0));
      text.remove_prefix(1);
    } else {
      repaired += text.substr(0, length);
      text.remove_prefix(length);
    }
  }
  return repaired;
}

}  // namespace

std::size_t Utf8SequenceLength(std::string_view text) {
  if (text.empty()) return 0;
  const unsigned char lead = ByteAt(text, 0);
  if (lead < 0x80) return 1;
  std::size_t length = 0;
  // The range of the second byte, narrowed after the leads that could start a form the standard
  // does not allow. 0xC0, 0xC1 and 0xF5 to 0xFF never lead a sequence.
  unsigned char low = 0x80;
  unsigned char high = 0xBF;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    if (lead == 0xE0) low = 0xA0;   // no overlong forms
    if (lead == 0xED) high = 0x9F;  // no surrogates
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    if (lead == 0xF0) low = 0x90;   // no overlong forms
    if (lead == 0xF4) high = 0x8F;  // nothing above U+10FFFF
  } else {
    return 0;
  }
  if (text.size() < length || ByteAt(text, 1) < low || ByteAt(text, 1) > high) return 0;
  for (std::size_t i = 2; i < length; ++i) {
    if (!IsContinuationByte(text[i])) return 0;
  }
  return length;
}

std::string RepairUtf8(std::string_view text) {
  return Repaired(text, [](std::string& out, unsigned char) { out += kReplacementCharacter; });
}

std::string RepairUtf8AsLatin1(std::string_view text) {
  return Repaired(text, [](std::string& out, unsigned char latin1) {
    out += static_cast<char>(0xC0 | (latin1 >> 6));
    out += static_cast<char>(0x80 | (latin1 & 0x3F));
  });
}

std::string_view CutAfterCharacters(std::string_view text, std::size_t count) {
  std::size_t characters = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (!IsContinuationByte(text[i]) && characters++ == count) return text.substr(0, i);
  }
  return text;
}

std::string_view CutToCharacterBoundary(std::string_view text, std::size_t maxBytes) {
  if (text.size() <= maxBytes) return text;
  std::size_t end = maxBytes;
  for (int step = 0; step < 3 && end > 0 && IsContinuationByte(text[end]); ++step) --end;
  if (IsContinuationByte(text[end])) end = maxBytes;
  return text.substr(0, end);
}
