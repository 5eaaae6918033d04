#include "platform/utf8.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>

namespace {

const std::string kBad = "\xEF\xBF\xBD";         // U+FFFD
const std::string kE = "\xC3\xA9";               // é, two bytes
const std::string kEuro = "\xE2\x82\xAC";        // €, three bytes
const std::string kCamera = "\xF0\x9F\x93\xB7";  // U+1F4F7, four bytes

// The first and last sequence of every lead range, the forms just outside each narrowed second
// byte range, and sequences that are cut short or broken after their second byte.
TEST(Utf8SequenceLength, AcceptsOnlyWellFormedSequences) {
  const struct {
    std::string text;
    std::size_t length;
  } cases[] = {
      {"", 0},
      {"a", 1},
      {std::string(1, '\0'), 1},
      {"\x7F", 1},
      {"\x80", 0},  // continuation byte without a lead
      {"\xBF", 0},
      {"\xC0\xAF", 0},          // overlong "/"
      {"\xC1\xBF", 0},          // overlong U+007F
      {"\xC2\x80", 2},          // U+0080
      {"\xDF\xBF", 2},          // U+07FF
      {"\xC3\xA9xyz", 2},       // only the first sequence counts
      {"\xC3", 0},              // cut short
      {"\xC3\x28", 0},          // second byte is no continuation byte
      {"\xE0\x9F\xBF", 0},      // overlong U+07FF
      {"\xE0\xA0\x80", 3},      // U+0800
      {"\xED\x9F\xBF", 3},      // U+D7FF
      {"\xED\xA0\x80", 0},      // U+D800, a surrogate
      {"\xED\xBF\xBF", 0},      // U+DFFF, a surrogate
      {"\xEE\x80\x80", 3},      // U+E000
      {"\xEF\xBF\xBF", 3},      // U+FFFF
      {"\xE2\x82", 0},          // cut short
      {"\xE2\x82\x28", 0},      // third byte is no continuation byte
      {"\xF0\x8F\xBF\xBF", 0},  // overlong U+FFFF
      {"\xF0\x90\x80\x80", 4},  // U+10000
      {"\xF4\x8F\xBF\xBF", 4},  // U+10FFFF
      {"\xF4\x90\x80\x80", 0},  // U+110000
      {"\xF5\x80\x80\x80", 0},  // lead of nothing
      {"\xFF", 0},
      {"\xF0\x9F\x93", 0},      // cut short
      {"\xF0\x9F\x93\x28", 0},  // fourth byte is no continuation byte
      {"\xF0\x9F\x28\xB7", 0},  // third byte is no continuation byte
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Utf8SequenceLength(c.text), c.length) << testing::PrintToString(c.text);
  }
}

// A view that ends inside a sequence must not be read past its end, even where the bytes after it
// would complete the sequence.
TEST(Utf8SequenceLength, StaysInsideTheView) {
  const std::string text = kEuro + kCamera;
  for (std::size_t size = 1; size < 3; ++size) {
    EXPECT_EQ(Utf8SequenceLength(std::string_view(text).substr(0, size)), 0u) << size;
  }
  const std::string_view camera = std::string_view(text).substr(3);
  for (std::size_t size = 1; size < 4; ++size) {
    EXPECT_EQ(Utf8SequenceLength(camera.substr(0, size)), 0u) << size;
  }
}

// Each byte outside a well-formed sequence is replaced on its own, and reading starts again at the
// next byte, so a valid sequence right after a broken one is kept.
TEST(RepairUtf8, ReplacesEveryByteOfAnIllFormedSequence) {
  const struct {
    std::string source;
    std::string repaired;
    std::string asLatin1;
  } cases[] = {
      {"", "", ""},
      {std::string("a\0b", 3), std::string("a\0b", 3), std::string("a\0b", 3)},
      {"Fuji \xC3\xBC " + kEuro + " " + kCamera, "Fuji \xC3\xBC " + kEuro + " " + kCamera,
       "Fuji \xC3\xBC " + kEuro + " " + kCamera},
      {"\xC0\xAF", kBad + kBad, "\xC3\x80\xC2\xAF"},                     // overlong "/"
      {"\xED\xA0\x80", kBad + kBad + kBad, "\xC3\xAD\xC2\xA0\xC2\x80"},  // surrogate
      {"\xF4\x90\x80\x80", kBad + kBad + kBad + kBad,
       "\xC3\xB4\xC2\x90\xC2\x80\xC2\x80"},                      // above U+10FFFF
      {"ab\xE2\x82", "ab" + kBad + kBad, "ab\xC3\xA2\xC2\x82"},  // cut short
      {"\x80x", kBad + "x", "\xC2\x80x"},                        // lone continuation byte
      {"Caf\xE9", "Caf" + kBad, "Caf" + kE},                     // Latin-1 é
      {"\xFF", kBad, "\xC3\xBF"},
      {"\xE2\x82" + kEuro, kBad + kBad + kEuro, "\xC3\xA2\xC2\x82" + kEuro},
      {"\xF0" + kCamera, kBad + kCamera, "\xC3\xB0" + kCamera},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.source));
    EXPECT_EQ(RepairUtf8(c.source), c.repaired);
    EXPECT_EQ(RepairUtf8AsLatin1(c.source), c.asLatin1);
  }
}

// A character is a byte that is not a continuation byte together with the continuation bytes after
// it, whether or not they make a well-formed sequence.
TEST(CutAfterCharacters, KeepsTheFirstCharactersWhole) {
  const std::string mixed = kE + kEuro + kCamera + "x";
  const struct {
    std::string text;
    std::size_t count;
    std::string expected;
  } cases[] = {
      {"", 0, ""},
      {"", 3, ""},
      {"abc", 0, ""},
      {"abc", 2, "ab"},
      {"abc", 3, "abc"},
      {"abc", 10, "abc"},
      {mixed, 0, ""},
      {mixed, 1, kE},
      {mixed, 2, kE + kEuro},
      {mixed, 3, kE + kEuro + kCamera},
      {mixed, 4, mixed},
      {"a\x80\x80\x80\x80"
       "b",
       1, "a\x80\x80\x80\x80"},  // stray continuation bytes stay attached
      {"\x80\x80"
       "ab",
       1,
       "\x80\x80"
       "a"},  // and count for nothing at the start
      {"\xFF\xFE"
       "z",
       2, "\xFF\xFE"},                      // every other byte is a character
      {"\xE2\x82" + kEuro, 1, "\xE2\x82"},  // a sequence cut short is one character
  };
  for (const auto& c : cases) {
    EXPECT_EQ(CutAfterCharacters(c.text, c.count), c.expected)
        << testing::PrintToString(c.text) << " " << c.count;
  }
}

TEST(CutToCharacterBoundary, NeverSplitsASequence) {
  const struct {
    std::string text;
    std::size_t maxBytes;
    std::string expected;
  } cases[] = {
      {"", 0, ""},
      {"abc", 0, ""},
      {"abc", 2, "ab"},
      {"abc", 3, "abc"},
      {"abc", 5, "abc"},
      {"a" + kE, 2, "a"},
      {"a" + kE, 3, "a" + kE},
      {"a" + kEuro, 2, "a"},
      {"a" + kEuro, 3, "a"},
      {"a" + kEuro + "b", 4, "a" + kEuro},
      {"a" + kCamera, 2, "a"},
      {"a" + kCamera, 4, "a"},
      {"a" + kCamera + "b", 5, "a" + kCamera},
      {kEuro, 2, ""},                             // the only sequence does not fit
      {"a\x80\x80\x80\x80", 4, "a\x80\x80\x80"},  // four continuation bytes: not UTF-8
      {"ab\x80\x80\x80\x80", 5, "ab\x80\x80\x80"},
      {"\x80\x80", 1, "\x80"},  // nothing leads them
      {"ab\xF0\x9F", 3, "ab"},  // a cut-short sequence is no exception
  };
  for (const auto& c : cases) {
    EXPECT_EQ(CutToCharacterBoundary(c.text, c.maxBytes), c.expected)
        << testing::PrintToString(c.text) << " " << c.maxBytes;
  }
}

}  // namespace
