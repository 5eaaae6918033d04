// INI files read and written the way the Windows private-profile functions do it, for the settings
// file and the localisation file.
//
// - Sections and keys are matched without regard to ASCII case; the first of duplicate keys wins.
// - A missing file, section or key yields the caller's default; an empty value counts as missing
//   for the integer lookup only.
// - Values are returned trimmed, with one pair of enclosing quotes (" or ') removed, and cut to the
//   caller's buffer: at most maxBytes bytes, ending on a UTF-8 character boundary. Bytes that are
//   not valid UTF-8 are passed through unchanged.
// - A write keeps every other section, key and comment in its order and replaces the file
//   atomically: the new text goes to a temporary file in the same folder, which is then renamed
//   over the old file, so a failed write leaves the old file as it was.
// - Files are UTF-8 (a leading byte-order mark is skipped) and written as "key=value" lines.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>

// The longest value a lookup returns by default: a buffer of 1024 bytes less the terminating null.
inline constexpr std::size_t kProfileValueMaxBytes = 1023;

// A profile file read once, for callers that look up many keys of the same file.
class PrivateProfileFile {
 public:
  // Reads the file; a missing or unreadable file reads as empty.
  explicit PrivateProfileFile(const std::filesystem::path& path);
  ~PrivateProfileFile();
  PrivateProfileFile(const PrivateProfileFile&) = delete;
  PrivateProfileFile& operator=(const PrivateProfileFile&) = delete;

  std::string GetString(const std::string& section, const std::string& key,
                        const std::string& fallback,
                        std::size_t maxBytes = kProfileValueMaxBytes) const;

  // The value's leading decimal integer: leading white space, an optional sign, then the digits up
  // to the first other character, wrapping around like 32-bit arithmetic. A value without digits
  // is 0; a missing or empty value is the fallback.
  int32_t GetInt(const std::string& section, const std::string& key, int32_t fallback) const;

 private:
  struct Contents;
  std::unique_ptr<Contents> contents_;
};

std::string GetPrivateProfileString(const std::string& section, const std::string& key,
                                    const std::string& fallback, const std::filesystem::path& path,
                                    std::size_t maxBytes = kProfileValueMaxBytes);

int32_t GetPrivateProfileInt(const std::string& section, const std::string& key, int32_t fallback,
                             const std::filesystem::path& path);

// Sets one key, creating the file and the section when needed (not the folder). True on failure:
// the folder is missing or not writable, the existing file cannot be read, or the section, key or
// value could not be read back as written (a line break anywhere, "=" in the key, "]" in the
// section, an empty key).
bool WritePrivateProfileString(const std::string& section, const std::string& key,
                               const std::string& value, const std::filesystem::path& path);
