#include "profiles/camera_profile_store.h"

#include <algorithm>
#include <cmath>
#include <new>
#include <system_error>

#include "platform/paths.h"
#include "profiles/camera_name.h"
#include "profiles/profile_file.h"

namespace fs = std::filesystem;

namespace {

constexpr int32_t kMinStoredIso = 16;
constexpr int32_t kMaxStoredIso = 409600;
constexpr double kNoChromaNoise = 0.00001;

bool FileExists(const fs::path& path) {
  std::error_code error;
  return fs::exists(path, error);
}

// With both files present the shipped default wins only when it is newer; a file read from the
// executable's folder reaches the per-user folder at the next save.
const fs::path& FileToRead(const fs::path& userFile, const fs::path& defaultFile) {
  if (!FileExists(userFile)) return defaultFile;
  if (!FileExists(defaultFile)) return userFile;
  return ReadProfileFileVersion(defaultFile) > ReadProfileFileVersion(userFile) ? defaultFile
                                                                                : userFile;
}

uint32_t StoredIsoValue(std::string_view isoText) {
  return static_cast<uint32_t>(std::clamp(ParseDecimalInt(isoText), kMinStoredIso, kMaxStoredIso));
}

// New cameras go before the first camera from slot 1 whose name sorts after theirs; slot 0 stays
// the unknown camera.
void InsertCamera(CameraProfileStore& store, const std::string& name, const IsoProfile& profile) {
  size_t slot = std::min<size_t>(1, store.cameras.size());
  while (slot < store.cameras.size() &&
         CompareNoCase(store.cameras[slot].m_wcsCameraName, name) <= 0) {
    ++slot;
  }
  store.cameras.insert(store.cameras.begin() + static_cast<ptrdiff_t>(slot),
                       CameraEntry{name, {profile.isoValue}, {profile}});
}

// Overwrites the profile of an ISO value the camera has, else inserts it before the first greater
// value. Both arrays are reserved first so that they grow together or not at all.
void StoreIso(CameraEntry& camera, const IsoProfile& profile) {
  std::vector<uint32_t>& values = camera.isoValues;
  const auto same = std::find(values.begin(), values.end(), profile.isoValue);
  if (same != values.end()) {
    camera.profiles[static_cast<size_t>(same - values.begin())] = profile;
    return;
  }
  values.reserve(values.size() + 1);
  camera.profiles.reserve(camera.profiles.size() + 1);
  const auto greater = std::find_if(values.begin(), values.end(),
                                    [&](uint32_t value) { return value > profile.isoValue; });
  const ptrdiff_t at = greater - values.begin();
  values.insert(greater, profile.isoValue);
  camera.profiles.insert(camera.profiles.begin() + at, profile);
}

double NoiseDistance(const IsoProfile& profile, double lumaNoise, double chromaNoise) {
  const double dy = profile.m_dImmerkaerY - lumaNoise;
  if (chromaNoise < kNoChromaNoise) return std::fabs(dy);
  const double du = profile.m_dImmerkaerUV - chromaNoise;
  return std::sqrt(dy * dy + du * du);
}

}  // namespace

CameraProfileStore BuiltInProfileStore() {
  const IsoProfile iso100 = {100, 10.0, 10.0, 0.0, 0.0, 1.0, 1.0, 1.0, 10.0, 10.0, 0};
  CameraProfileStore store;
  store.cameras.push_back(CameraEntry{kUnknownCameraName, {iso100.isoValue}, {iso100}});
  return store;
}

fs::path UserProfileFilePath() { return SettingsFolder() / kProfileFileName; }

fs::path DefaultProfileFilePath() { return ResourceFolderFor(kProfileFileName) / kProfileFileName; }

bool LoadProfiles(CameraProfileStore& store) {
  return LoadProfiles(store, UserProfileFilePath(), DefaultProfileFilePath());
}

bool LoadProfiles(CameraProfileStore& store, const fs::path& userFile,
                  const fs::path& defaultFile) {
  if (!FileExists(userFile) && !FileExists(defaultFile)) {
    store = BuiltInProfileStore();
    CreateFolderFor(userFile);
    SaveProfiles(store, userFile);
    return false;
  }
  const bool failed = ReadProfileFile(FileToRead(userFile, defaultFile), store);
  // Every caller indexes slot 0; a file that stores no cameras gets the built-in store instead.
  if (store.cameras.empty()) store = BuiltInProfileStore();
  return failed;
}

void SaveProfiles(const CameraProfileStore& store) {
  CreateFolderFor(UserProfileFilePath());
  SaveProfiles(store, UserProfileFilePath());
}

bool SaveProfiles(const CameraProfileStore& store, const fs::path& file) {
  try {
    return WriteFileAtomically(file, ProfileFileText(store));
  } catch (const std::bad_alloc&) {
    return true;
  }
}

uint32_t FindCamera(const CameraProfileStore& store, std::string_view name) {
  const std::string key = CameraMatchKey(name);
  for (size_t slot = 1; slot < store.cameras.size(); ++slot) {
    if (CameraMatchKey(store.cameras[slot].m_wcsCameraName) == key) {
      return static_cast<uint32_t>(slot);
    }
  }
  return 0;
}

uint32_t FindIsoIndex(const CameraProfileStore& store, uint32_t slot, std::string_view isoText) {
  if (slot >= store.cameras.size()) return 0;
  const int64_t iso = ParseDecimalInt(isoText);
  const std::vector<uint32_t>& values = store.cameras[slot].isoValues;
  const auto found = std::find(values.begin(), values.end(), iso);
  return found == values.end() ? 0 : static_cast<uint32_t>(found - values.begin());
}

uint32_t FindNearestProfile(const CameraProfileStore& store, std::string_view cameraName,
                            double lumaNoise, double chromaNoise) {
  const uint32_t slot = FindCamera(store, cameraName);
  if (slot >= store.cameras.size()) return 0;
  const std::vector<IsoProfile>& profiles = store.cameras[slot].profiles;
  double best = 1e300;
  uint32_t bestIndex = 0;
  for (size_t k = 0; k < profiles.size(); ++k) {
    const double distance = NoiseDistance(profiles[k], lumaNoise, chromaNoise);
    if (distance < best) {
      best = distance;
      bestIndex = static_cast<uint32_t>(k);
    }
  }
  return bestIndex;
}

bool StoreProfile(CameraProfileStore& store, std::string_view cameraName, std::string_view isoText,
                  const IsoProfile& profile) {
  const std::string name = CleanCameraName(cameraName);
  IsoProfile record = profile;
  record.isoValue = StoredIsoValue(isoText);
  try {
    const auto camera = std::find_if(store.cameras.begin(), store.cameras.end(), [&](auto& entry) {
      return CompareNoCase(entry.m_wcsCameraName, name) == 0;
    });
    if (camera == store.cameras.end()) {
      InsertCamera(store, name, record);
    } else {
      StoreIso(*camera, record);
    }
  } catch (const std::bad_alloc&) {
    return true;
  }
  return false;
}

bool DeleteIsoProfile(CameraProfileStore& store, uint32_t slot, uint32_t isoIndex) {
  if (slot >= store.cameras.size()) return true;
  CameraEntry& camera = store.cameras[slot];
  if (isoIndex >= camera.IsoCount()) return true;
  if (camera.IsoCount() == 1) return DeleteCamera(store, slot);
  camera.isoValues.erase(camera.isoValues.begin() + isoIndex);
  camera.profiles.erase(camera.profiles.begin() + isoIndex);
  return false;
}

bool DeleteCamera(CameraProfileStore& store, uint32_t slot) {
  if (slot == 0 || slot >= store.cameras.size()) return true;
  store.cameras.erase(store.cameras.begin() + slot);
  return false;
}
