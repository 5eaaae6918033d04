// The camera profile store: for each camera a list of ISO values and for each ISO value one set of
// denoising parameters. Slot 0 always holds the unknown camera, which serves every photo whose
// camera has no entry of its own.
//
// Each user (the parameters panel, a batch run) owns its own store for the time it is open. Every
// change acts on the store in memory; only `SaveProfiles` writes the file. Functions that can fail
// return true on failure. Slots and ISO indices out of range are refused, never used.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

inline constexpr const char* kUnknownCameraName = "<<Unknown Camera>>";
inline constexpr const char* kProfileFileName = "CameraISOSettingX.ini";

// One parameter record.
struct IsoProfile {
  uint32_t isoValue;              // the ISO value the record belongs to
  double m_dStrength;             // luma denoising strength, 0 to 50
  double m_dStrengthChroma;       // chroma denoising strength, 0 to 50
  double m_dStrengthChromaLarge;  // coarse-scale chroma strength, 0 to 50
  double m_dDynamics;             // dark/light noise domination, −2 to 2
  double m_dSharp1;               // "Tiny Details" gain, 0 to 4
  double m_dSharp2;               // "Medium Details" gain, 0 to 4
  double m_dSharp3;               // "Rough Details" gain, 0 to 4
  double m_dImmerkaerY;           // luma noise measured on the photo the profile came from
  double m_dImmerkaerUV;          // chroma noise measured on that photo
  int32_t m_iUseMedian;           // point-artefact mode: 0 none, 1 common, 2 strong

  bool operator==(const IsoProfile&) const = default;
};

// One camera. `isoValues` and `profiles` are parallel (profiles[k].isoValue == isoValues[k]);
// values inserted by the store keep `isoValues` ascending, the order read from a file is kept.
struct CameraEntry {
  std::string m_wcsCameraName;  // UTF-8, at most 127 characters
  std::vector<uint32_t> isoValues;
  std::vector<IsoProfile> profiles;

  uint32_t IsoCount() const { return static_cast<uint32_t>(isoValues.size()); }
  bool operator==(const CameraEntry&) const = default;
};

struct CameraProfileStore {
  std::vector<CameraEntry> cameras;  // slot 0 is the unknown camera
  int32_t actualCamera = 0;          // read from and written back to the file; selects nothing
  int32_t actualIso = 0;

  bool operator==(const CameraProfileStore&) const = default;
};

// The store used when no profile file exists: the unknown camera with one ISO 100 profile.
CameraProfileStore BuiltInProfileStore();

// The per-user profile file in the settings folder (the folder is created), where all saving goes.
std::filesystem::path UserProfileFilePath();
// The default profile file shipped beside the executable; only read.
std::filesystem::path DefaultProfileFilePath();

// Replaces the store's contents from the profile files. With neither file present the built-in
// store is used and saved to the per-user file at once. With both present the default file is
// read only when its "version" is greater than the per-user file's. A file without a camera slot 0
// (camera count below 1) gives the built-in store. True when an allocation failed while reading a
// camera (that camera stays incomplete); callers do not act on it.
bool LoadProfiles(CameraProfileStore& store);
bool LoadProfiles(CameraProfileStore& store, const std::filesystem::path& userFile,
                  const std::filesystem::path& defaultFile);

// Writes the whole store to the per-user file, replacing it in one step; a failure leaves the old
// file as it was and is not reported.
void SaveProfiles(const CameraProfileStore& store);
// Writes the store to `file`. True on failure, with the old file untouched.
bool SaveProfiles(const CameraProfileStore& store, const std::filesystem::path& file);

// The first slot from 1 whose name equals `name` ignoring blanks and ASCII letter case; 0 when none
// does, whatever slot 0 is named.
uint32_t FindCamera(const CameraProfileStore& store, std::string_view name);

// The first index of the camera's ISO values equal to the decimal value of `isoText`; 0 when none
// is (also for a camera without ISO values or a slot out of range).
uint32_t FindIsoIndex(const CameraProfileStore& store, uint32_t slot, std::string_view isoText);

// The ISO index, within the camera `FindCamera` resolves `cameraName` to, whose stored noise levels
// are nearest to the measured ones: |Y − y| when chromaNoise is below 0.00001, else the Euclidean
// distance over (Y, UV). Ties go to the lowest index; 0 for a camera without profiles.
uint32_t FindNearestProfile(const CameraProfileStore& store, std::string_view cameraName,
                            double lumaNoise, double chromaNoise);

// Adds or redefines the profile of camera `cameraName` (cleaned, not normalised) at the ISO value
// of `isoText`, kept within 16 to 409600. A new camera is inserted in case-insensitive name order
// among slots 1 and up; a new ISO value before the first greater one. The record is copied with its
// `isoValue` set. True on allocation failure.
bool StoreProfile(CameraProfileStore& store, std::string_view cameraName, std::string_view isoText,
                  const IsoProfile& profile);

// Removes ISO index `isoIndex` of camera `slot`; the camera's only profile removes the camera
// (refused for slot 0, which keeps its last profile). True when refused or out of range.
bool DeleteIsoProfile(CameraProfileStore& store, uint32_t slot, uint32_t isoIndex);

// Removes camera `slot`, closing the gap. True for slot 0 or a slot out of range.
bool DeleteCamera(CameraProfileStore& store, uint32_t slot);
