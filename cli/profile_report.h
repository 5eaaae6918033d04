// How the photo commands (denoise, info) decide a photo's profile and say why: the profile store
// and the noise calibration loaded once, the rule of profiles/profile_decision.h for the command
// line, and a line that tells which rule chose.
#pragma once

#include <string>

#include "picture/photo_document.h"
#include "profiles/camera_profile_store.h"
#include "profiles/noise_calibration.h"
#include "profiles/profile_decision.h"

namespace cli {

struct ProfileSources {
  CameraProfileStore store;
  NoiseCalibration calibration;
};

// The shipped noise calibration. A file that is refused is named on stderr with the reason, unless
// `quiet`; the built-in table serves instead.
NoiseCalibration LoadCalibrationOrWarn(bool quiet);

// The store (read only when `mode` may take a stored profile) and the calibration.
ProfileSources LoadProfileSources(ProfileMode mode, bool quiet);

// The decision for the opened photo, its noise measured on the picture as loaded.
ProfileDecision DecideForPhoto(const ProfileSources& sources, const PhotoDocument& document,
                               ProfileMode mode);

// Which rule chose and why, in words: "stored profile of SONY / ILCE-6000 at ISO 100",
// "automatic from the measured noise 1.20 / 0.85: no stored profile of SONY / ILCE-6000 at ISO
// 3200", "automatic from the measured noise 1.20 / 0.85 (--profile measured)", "built-in default
// profile (--profile default)".
std::string DescribeDecision(const ProfileDecision& decision, const ProfileSources& sources,
                             const ExifSummary& exif, ProfileMode mode);

}  // namespace cli
