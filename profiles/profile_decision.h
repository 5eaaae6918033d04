// The one rule that decides which values a photo is denoised with, for the parameters panel, the
// command line and the batch alike: the stored profile of the photo's camera when the store holds
// one, else the automatic profile, whose strengths and detail gains come from the noise measured on
// the photo through the calibration table (profiles/noise_calibration.h).
//
// The unknown camera's profiles are not the photo's camera's: a photo whose camera has no entry of
// its own gets the automatic profile. The built-in default profile is only taken when asked for.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

#include "picture/photo_document.h"
#include "profiles/camera_profile_store.h"
#include "profiles/noise_calibration.h"
#include "profiles/photo_noise.h"
#include "profiles/profile_choice.h"

// What the user asked for ("--profile auto|measured|default" on the command line).
enum class ProfileMode {
  kAuto,      // the stored profile when there is one, else the automatic profile
  kMeasured,  // the automatic profile, whatever the store holds
  kDefault,   // the built-in default profile
};

// Where the choice is made: the surfaces differ in what counts as the photo's stored profile.
enum class ChoiceSurface {
  kPanel,  // any profile of the photo's camera: its ISO when stored, else the nearest in noise
  kRun,    // the command line and the batch: only the profile of the camera and ISO, exactly
};

// Which rule chose.
enum class ProfileRule {
  kStoredProfile,   // the stored profile of the photo's camera and ISO
  kNearestProfile,  // the photo's camera's stored profile nearest in measured noise (panel only)
  kAutomatic,       // the automatic profile from the measured noise
  kBuiltInDefault,  // the built-in default profile
};

struct ProfileDecision {
  ProfileRule rule = ProfileRule::kBuiltInDefault;
  IsoProfile profile{};   // the values the photo gets
  ProfileChoice stored;   // where the stored profile is (rules kStoredProfile and kNearestProfile)
  PhotoNoise noise;       // what was measured on the photo
  LevelsRead read{0, 0};  // the levels the automatic profile read (rule kAutomatic)
};

ProfileDecision DecideProfile(const CameraProfileStore& store, const ExifSummary& exif,
                              const PhotoNoise& noise, const NoiseCalibration& calibration,
                              ProfileMode mode, ChoiceSurface surface);

// The automatic profile of a photo with `noise`: strengths and gains of the calibration at the
// levels it reads (a grey photo has no chroma strengths), no dynamics, no point-artefact pass; it
// carries the whole photo's levels and `isoValue` as a stored profile would.
IsoProfile AutomaticProfile(const NoiseCalibration& calibration, const PhotoNoise& noise,
                            uint32_t isoValue);

// "auto", "measured" and "default".
std::optional<ProfileMode> ProfileModeNamed(std::string_view name);

// A stable name of each rule: "stored", "nearest", "measured" and "default".
std::string_view RuleName(ProfileRule rule);
