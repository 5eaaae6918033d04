// UTF-8 text helpers shared by the EXIF texts, the camera names, the profile and localisation
// files and the JSON output.
//
// A well-formed sequence is one the Unicode standard allows: no overlong forms, no surrogates
// (U+D800 to U+DFFF), nothing above U+10FFFF. Where a limit counts characters, a character is any
// byte that is not a continuation byte (10xxxxxx) together with the continuation bytes that follow
// it, so that text which is not UTF-8 can still be cut without being repaired first.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// Length in bytes (1 to 4) of the well-formed sequence that `text` starts with, or 0 when `text`
// is empty or does not start with one.
std::size_t Utf8SequenceLength(std::string_view text);

// `text` with every byte that is not part of a well-formed sequence replaced by U+FFFD, one
// replacement per byte.
std::string RepairUtf8(std::string_view text);

// `text` with every byte that is not part of a well-formed sequence read as a Latin-1 character
// and written as its two-byte UTF-8 form, so that "Caf\xE9" becomes "Café".
std::string RepairUtf8AsLatin1(std::string_view text);

// The start of `text` up to (not including) its (count + 1)-th character; all of it when it has
// no more than `count` characters.
std::string_view CutAfterCharacters(std::string_view text, std::size_t count);

// At most `maxBytes` bytes of `text`. When the cut would fall inside a sequence, it moves back over
// at most three continuation bytes to the byte that leads them; a longer run of continuation bytes
// is not UTF-8 and is cut where it falls.
std::string_view CutToCharacterBoundary(std::string_view text, std::size_t maxBytes);
