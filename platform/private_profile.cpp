#include "platform/private_profile.h"

// Only the char interface is used, which needs no converter (the default one wants ConvertUTF.h,
// which the system package does not ship); values stay the file's UTF-8 bytes.
#define SI_NO_CONVERSION
#include <SimpleIni.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <mutex>
#include <string_view>
#include <system_error>

#include "platform/utf8.h"

namespace fs = std::filesystem;

namespace {

constexpr mode_t kNewFileMode = 0644;

// UTF-8 storage, duplicate keys kept so that the first one answers (as Windows does), no
// multi-line values, "key=value" without spaces.
class ProfileIni : public CSimpleIniA {
 public:
  ProfileIni() : CSimpleIniA(/*a_bIsUtf8=*/true, /*a_bMultiKey=*/true, /*a_bMultiLine=*/false) {
    SetSpaces(false);
  }
};

// Loads the file into ini. A missing file leaves ini empty; true when an existing path could not
// be read as a file.
bool LoadProfile(const fs::path& path, CSimpleIniA& ini) {
  std::error_code error;
  const fs::file_status status = fs::status(path, error);
  if (status.type() == fs::file_type::not_found) return false;
  if (error || status.type() != fs::file_type::regular) return true;
  return ini.LoadFile(path.c_str()) < 0;
}

std::string_view Unquoted(std::string_view value) {
  const bool quoted = value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
                      value.back() == value.front();
  return quoted ? value.substr(1, value.size() - 2) : value;
}

int32_t LeadingInteger(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size() && static_cast<unsigned char>(text[i]) <= ' ') ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  uint32_t magnitude = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    magnitude = magnitude * 10u + static_cast<uint32_t>(text[i] - '0');
  }
  return static_cast<int32_t>(negative ? 0u - magnitude : magnitude);
}

// Whether "[section]" and "key=value" lines would read back as exactly these texts.
bool ReadsBackAsWritten(std::string_view section, std::string_view key, std::string_view value) {
  constexpr std::string_view kLineEnds("\r\n\0", 3);
  const auto hasLineEnd = [&](std::string_view text) {
    return text.find_first_of(kLineEnds) != std::string_view::npos;
  };
  return !hasLineEnd(section) && !hasLineEnd(key) && !hasLineEnd(value) &&
         section.find(']') == std::string_view::npos && !key.empty() &&
         key.find('=') == std::string_view::npos && key.find_first_of("[;#") != 0;
}

bool WriteAll(int fd, std::string_view text) {
  while (!text.empty()) {
    const ssize_t written = write(fd, text.data(), text.size());
    if (written <= 0) return false;
    text.remove_prefix(static_cast<std::size_t>(written));
  }
  return true;
}

// The old file's permissions, so that rewriting a file does not change who may read it.
mode_t ModeFor(const fs::path& path) {
  struct stat info {};
  return stat(path.c_str(), &info) == 0 ? (info.st_mode & 07777) : kNewFileMode;
}

// Writes text to a fresh temporary file in the folder of path and renames it over path. True on
// failure, in which case the temporary file is gone and path is untouched.
bool ReplaceFile(const fs::path& path, std::string_view text) {
  std::string temporary =
      (path.parent_path() / ("." + path.filename().string() + ".XXXXXX")).string();
  const int fd = mkstemp(temporary.data());
  if (fd < 0) return true;
  bool failed = !WriteAll(fd, text) || fchmod(fd, ModeFor(path)) != 0 || fsync(fd) != 0;
  failed = close(fd) != 0 || failed;
  if (!failed) failed = std::rename(temporary.c_str(), path.c_str()) != 0;
  if (failed) unlink(temporary.c_str());
  return failed;
}

// Serialises the read-modify-write cycles of this process, so that two threads writing different
// keys of one file do not lose each other's value.
std::mutex& WriteMutex() {
  static std::mutex mutex;
  return mutex;
}

}  // namespace

struct PrivateProfileFile::Contents {
  ProfileIni ini;
};

PrivateProfileFile::PrivateProfileFile(const fs::path& path)
    : contents_(std::make_unique<Contents>()) {
  if (LoadProfile(path, contents_->ini)) contents_->ini.Reset();
}

PrivateProfileFile::~PrivateProfileFile() = default;

std::string PrivateProfileFile::GetString(const std::string& section, const std::string& key,
                                          const std::string& fallback, std::size_t maxBytes) const {
  const char* value = contents_->ini.GetValue(section.c_str(), key.c_str(), nullptr);
  return std::string(CutToCharacterBoundary(
      value != nullptr ? Unquoted(value) : std::string_view(fallback), maxBytes));
}

int32_t PrivateProfileFile::GetInt(const std::string& section, const std::string& key,
                                   int32_t fallback) const {
  const std::string text = GetString(section, key, "");
  return text.empty() ? fallback : LeadingInteger(text);
}

std::string GetPrivateProfileString(const std::string& section, const std::string& key,
                                    const std::string& fallback, const fs::path& path,
                                    std::size_t maxBytes) {
  return PrivateProfileFile(path).GetString(section, key, fallback, maxBytes);
}

int32_t GetPrivateProfileInt(const std::string& section, const std::string& key, int32_t fallback,
                             const fs::path& path) {
  return PrivateProfileFile(path).GetInt(section, key, fallback);
}

bool WritePrivateProfileString(const std::string& section, const std::string& key,
                               const std::string& value, const fs::path& path) {
  if (!ReadsBackAsWritten(section, key, value)) return true;
  const std::lock_guard lock(WriteMutex());
  ProfileIni ini;
  if (LoadProfile(path, ini)) return true;
  if (ini.SetValue(section.c_str(), key.c_str(), value.c_str(), nullptr, true) < 0) return true;
  std::string text;
  if (ini.Save(text) < 0) return true;
  return ReplaceFile(path, text);
}
