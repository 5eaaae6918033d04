#include "profiles/profile_file.h"

// The file is UTF-8 and so are the strings in memory: no conversion between them.
#define SI_NO_CONVERSION
#include <SimpleIni.h>
#include <fcntl.h>
#include <locale.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <limits>
#include <new>
#include <system_error>

#include "engine/denoise.h"
#include "platform/utf8.h"
#include "profiles/camera_name.h"

namespace fs = std::filesystem;

namespace {

constexpr const char* kGeneral = "General";
constexpr const char* kKeyCameraCount = "No Of Cameras";
constexpr const char* kKeyActualCamera = "Actual Camera";
constexpr const char* kKeyActualIso = "Actual ISO";
constexpr const char* kKeyVersion = "version";
constexpr const char* kKeyCameraName = "m_wcsCameraName";
constexpr const char* kKeyIsoCount = "m_uiISOCount";
constexpr const char* kKeyUseMedian = "m_iUseMedian";
constexpr uintmax_t kMaxFileBytes = uintmax_t{64} << 20;

// The real fields of a profile in file order, with the default a missing key reads as and the
// range a read value is kept within.
struct RealField {
  const char* key;
  double IsoProfile::*field;
  const char* fallback;
  double low;
  double high;
};

constexpr std::array<RealField, 9> kRealFields = {{
    {"m_dStrength", &IsoProfile::m_dStrength, "10", 0.0, 50.0},
    {"m_dStrengthChroma", &IsoProfile::m_dStrengthChroma, "10", 0.0, 50.0},
    {"m_dStrengthChromaLarge", &IsoProfile::m_dStrengthChromaLarge, "0", 0.0, 50.0},
    {"m_dDynamics", &IsoProfile::m_dDynamics, "0", -2.0, 2.0},
    {"m_dSharp1", &IsoProfile::m_dSharp1, "1", 0.0, 4.0},
    {"m_dSharp2", &IsoProfile::m_dSharp2, "1", 0.0, 4.0},
    {"m_dSharp3", &IsoProfile::m_dSharp3, "1", 0.0, 4.0},
    {"m_dImmerkaerY", &IsoProfile::m_dImmerkaerY, "5", 0.0, 10000.0},
    {"m_dImmerkaerUV", &IsoProfile::m_dImmerkaerUV, "5", 0.0, 10000.0},
}};

// UTF-8 storage, multi-key and multi-line values; SimpleIni writes " = " by default.
class ProfileDocument : public CSimpleIniA {
 public:
  ProfileDocument() : CSimpleIniA(true, true, true) { SetSpaces(true); }
};

// SimpleIni ends lines with the platform's newline; the file uses CR LF everywhere.
class CrLfWriter : public CSimpleIniA::OutputWriter {
 public:
  explicit CrLfWriter(std::string& out) : out_(out) {}
  void Write(const char* text) override {
    for (; *text != '\0'; ++text) {
      if (*text == '\n') out_ += '\r';
      out_ += *text;
    }
  }

 private:
  std::string& out_;
};

std::string CameraSection(size_t slot) { return "Camera_" + std::to_string(slot); }

std::string IsoKey(size_t index) { return "ISO" + std::to_string(index); }

std::string ProfileSection(const std::string& cameraName, uint32_t isoValue) {
  return "Camera " + cameraName + " ISO" + std::to_string(isoValue);
}

std::string FormatReal(double value) {
  std::array<char, 512> text;
  const auto result =
      std::to_chars(text.data(), text.data() + text.size(), value, std::chars_format::fixed, 2);
  return std::string(text.data(), result.ptr);
}

// A value that is not greater than the lower bound becomes the lower bound, one that is not smaller
// than the upper bound the upper bound (so NaN reads as the lower bound).
double KeepWithin(double value, double low, double high) {
  if (!(value > low)) return low;
  if (!(value < high)) return high;
  return value;
}

int32_t ReadInt(const ProfileDocument& document, const char* section, const char* key,
                const char* fallback) {
  return ParseDecimalInt(document.GetValue(section, key, fallback));
}

int32_t ReadIntWithin(const ProfileDocument& document, const char* section, const char* key,
                      const char* fallback, int32_t low, uint32_t high) {
  return std::clamp(ReadInt(document, section, key, fallback), low, static_cast<int32_t>(high));
}

IsoProfile ReadIsoProfile(const ProfileDocument& document, const std::string& section,
                          uint32_t isoValue) {
  IsoProfile profile{};
  profile.isoValue = isoValue;
  for (const RealField& field : kRealFields) {
    const double value =
        ParseDecimalReal(document.GetValue(section.c_str(), field.key, field.fallback));
    profile.*field.field = KeepWithin(value, field.low, field.high);
  }
  profile.m_iUseMedian =
      ReadIntWithin(document, section.c_str(), kKeyUseMedian, "0", kMedianNone, kMedianStrong);
  return profile;
}

// True when the camera's arrays cannot be allocated; the camera then keeps only its name.
bool ReadCamera(const ProfileDocument& document, size_t slot, CameraEntry& camera) {
  const std::string section = CameraSection(slot);
  camera = CameraEntry{};
  camera.m_wcsCameraName =
      CleanCameraName(document.GetValue(section.c_str(), kKeyCameraName, kUnknownCameraName));
  const auto count = static_cast<uint32_t>(
      ReadIntWithin(document, section.c_str(), kKeyIsoCount, "0", 0, kMaxIsoCount));
  try {
    camera.isoValues.reserve(count);
    camera.profiles.reserve(count);
  } catch (const std::bad_alloc&) {
    return true;
  }
  for (uint32_t k = 0; k < count; ++k) {
    const auto iso = static_cast<uint32_t>(
        ReadIntWithin(document, section.c_str(), IsoKey(k).c_str(), "0", 0, kMaxStoredIsoValue));
    camera.isoValues.push_back(iso);
    camera.profiles.push_back(
        ReadIsoProfile(document, ProfileSection(camera.m_wcsCameraName, iso), iso));
  }
  return false;
}

// A count below 1 leaves the store without cameras, which the caller repairs.
size_t ReadCameraCount(const ProfileDocument& document) {
  return static_cast<size_t>(
      ReadIntWithin(document, kGeneral, kKeyCameraCount, "1", 0, kMaxCameraCount));
}

bool ReadStore(const ProfileDocument& document, CameraProfileStore& store) {
  store = CameraProfileStore{};
  store.actualCamera = ReadInt(document, kGeneral, kKeyActualCamera, "0");
  store.actualIso = ReadInt(document, kGeneral, kKeyActualIso, "0");
  store.cameras.resize(ReadCameraCount(document));
  bool failed = false;
  for (size_t slot = 0; slot < store.cameras.size(); ++slot) {
    failed = ReadCamera(document, slot, store.cameras[slot]) || failed;
  }
  return failed;
}

// The whole file, or "" when it is missing, too large or cannot be read in one go.
std::string ReadFileBytes(const fs::path& path) {
  std::error_code error;
  const uintmax_t size = fs::file_size(path, error);
  if (error || size == 0 || size > kMaxFileBytes) return {};
  std::string bytes(static_cast<size_t>(size), '\0');
  std::ifstream file(path, std::ios::binary);
  if (!file.read(bytes.data(), static_cast<std::streamsize>(size))) return {};
  return bytes;
}

// True on allocation failure.
bool LoadDocument(const fs::path& path, ProfileDocument& document) {
  const std::string bytes = RepairUtf8(ReadFileBytes(path));
  return document.LoadData(bytes.data(), bytes.size()) == SI_NOMEM;
}

void AddCamera(ProfileDocument& document, size_t slot, const CameraEntry& camera) {
  const std::string section = CameraSection(slot);
  document.SetValue(section.c_str(), kKeyCameraName, camera.m_wcsCameraName.c_str());
  document.SetValue(section.c_str(), kKeyIsoCount, std::to_string(camera.IsoCount()).c_str());
  for (size_t k = 0; k < camera.isoValues.size(); ++k) {
    document.SetValue(section.c_str(), IsoKey(k).c_str(),
                      std::to_string(camera.isoValues[k]).c_str());
    const std::string profileSection = ProfileSection(camera.m_wcsCameraName, camera.isoValues[k]);
    const IsoProfile& profile = camera.profiles[k];
    for (const RealField& field : kRealFields) {
      document.SetValue(profileSection.c_str(), field.key,
                        FormatReal(profile.*field.field).c_str());
    }
    document.SetValue(profileSection.c_str(), kKeyUseMedian,
                      std::to_string(profile.m_iUseMedian).c_str());
  }
}

bool WriteAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t written = ::write(fd, bytes.data(), bytes.size());
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return true;
    bytes.remove_prefix(static_cast<size_t>(written));
  }
  return false;
}

// A new file beside `path` with a name no other writer uses; -1 when none can be created. It is
// created like any new file (the umask applies); an existing file's permissions are copied onto it.
int CreateTemporaryBeside(const fs::path& path, std::string& tempName) {
  static std::atomic<uint32_t> counter{0};
  for (int attempt = 0; attempt < 100; ++attempt) {
    tempName =
        path.string() + "." + std::to_string(::getpid()) + "." + std::to_string(counter++) + ".tmp";
    const int fd = ::open(tempName.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd >= 0 || errno != EEXIST) return fd;
  }
  return -1;
}

void CopyPermissions(const fs::path& from, int fd) {
  struct stat old {};
  if (::stat(from.c_str(), &old) == 0) ::fchmod(fd, old.st_mode & 07777);
}

}  // namespace

int32_t ParseDecimalInt(std::string_view text) {
  size_t i = text.find_first_not_of(" \t\r\n");
  if (i == std::string_view::npos) return 0;
  const bool negative = text[i] == '-';
  if (text[i] == '-' || text[i] == '+') ++i;
  constexpr int64_t kLimit = int64_t{std::numeric_limits<int32_t>::max()} + 1;
  int64_t magnitude = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    magnitude = std::min(magnitude * 10 + (text[i] - '0'), kLimit);
  }
  const int64_t value = negative ? -magnitude : magnitude;
  return static_cast<int32_t>(std::clamp<int64_t>(value, std::numeric_limits<int32_t>::min(),
                                                  std::numeric_limits<int32_t>::max()));
}

double ParseDecimalReal(std::string_view text) {
  // strtod of the C locale: an application that switched the process to a locale with a decimal
  // comma must still read "10.00" as ten.
  static const locale_t cLocale = ::newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(0));
  const std::string terminated(text);
  return ::strtod_l(terminated.c_str(), nullptr, cLocale);
}

std::string ProfileFileText(const CameraProfileStore& store) {
  ProfileDocument document;
  document.SetValue(kGeneral, kKeyCameraCount, std::to_string(store.cameras.size()).c_str());
  document.SetValue(kGeneral, kKeyActualCamera, std::to_string(store.actualCamera).c_str());
  document.SetValue(kGeneral, kKeyActualIso, std::to_string(store.actualIso).c_str());
  document.SetValue(kGeneral, kKeyVersion, std::to_string(kProfileFileVersion).c_str());
  for (size_t slot = 0; slot < store.cameras.size(); ++slot) {
    AddCamera(document, slot, store.cameras[slot]);
  }
  std::string text;
  CrLfWriter writer(text);
  document.Save(writer, true);
  return text;
}

bool ReadProfileFile(const fs::path& path, CameraProfileStore& store) {
  try {
    ProfileDocument document;
    const bool failed = LoadDocument(path, document);
    return ReadStore(document, store) || failed;
  } catch (const std::bad_alloc&) {
    return true;
  }
}

uint32_t ReadProfileFileVersion(const fs::path& path) {
  try {
    ProfileDocument document;
    LoadDocument(path, document);
    return static_cast<uint32_t>(ReadInt(document, kGeneral, kKeyVersion, "1"));
  } catch (const std::bad_alloc&) {
    return 1;
  }
}

bool WriteFileAtomically(const fs::path& path, std::string_view bytes) {
  std::string tempName;
  const int fd = CreateTemporaryBeside(path, tempName);
  if (fd < 0) return true;
  CopyPermissions(path, fd);
  bool failed = WriteAll(fd, bytes) || ::fsync(fd) != 0;
  failed = ::close(fd) != 0 || failed;
  failed = failed || std::rename(tempName.c_str(), path.c_str()) != 0;
  if (failed) ::unlink(tempName.c_str());
  return failed;
}
