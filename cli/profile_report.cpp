#include "cli/profile_report.h"

#include <cstdio>

#include "profiles/camera_name.h"
#include "profiles/noise_calibration_file.h"

namespace cli {

namespace {

std::string Levels(const ProfileDecision& decision) {
  char text[64];
  if (decision.noise.colour) {
    std::snprintf(text, sizeof(text), "%.2f / %.2f", decision.read.luma, decision.read.chroma);
  } else {
    std::snprintf(text, sizeof(text), "%.2f", decision.read.luma);
  }
  return text;
}

// Why the photo has no stored profile of its own.
std::string NoStoredProfile(const ExifSummary& exif) {
  if (exif.make.empty()) return "the photo names no camera";
  const std::string camera = NormaliseCameraName(FormCameraName(exif.make, exif.model));
  if (exif.iso.empty()) return "the photo names no ISO speed (camera " + camera + ")";
  return "no stored profile of " + camera + " at ISO " + exif.iso;
}

}  // namespace

NoiseCalibration LoadCalibrationOrWarn(bool quiet) {
  std::string warning;
  NoiseCalibration calibration = LoadNoiseCalibration(&warning);
  if (!warning.empty() && !quiet) {
    std::fprintf(stderr, "stillgrain-cli: warning: %s\n", warning.c_str());
  }
  return calibration;
}

ProfileSources LoadProfileSources(ProfileMode mode, bool quiet) {
  ProfileSources sources;
  if (mode == ProfileMode::kAuto) {
    LoadProfiles(sources.store);
  } else {
    sources.store = BuiltInProfileStore();
  }
  sources.calibration = LoadCalibrationOrWarn(quiet);
  return sources;
}

ProfileDecision DecideForPhoto(const ProfileSources& sources, const PhotoDocument& document,
                               ProfileMode mode) {
  const PhotoNoise noise = MeasurePhotoNoiseInDetail(document.sourcePicture);
  return DecideProfile(sources.store, document.exif, noise, sources.calibration, mode,
                       ChoiceSurface::kRun);
}

std::string DescribeDecision(const ProfileDecision& decision, const ProfileSources& sources,
                             const ExifSummary& exif, ProfileMode mode) {
  switch (decision.rule) {
    case ProfileRule::kStoredProfile:
    case ProfileRule::kNearestProfile:
      return "stored profile of " + sources.store.cameras[decision.stored.camera].m_wcsCameraName +
             " at ISO " + std::to_string(decision.profile.isoValue);
    case ProfileRule::kAutomatic: {
      const std::string automatic = "automatic from the measured noise " + Levels(decision);
      return mode == ProfileMode::kMeasured ? automatic + " (--profile measured)"
                                            : automatic + ": " + NoStoredProfile(exif);
    }
    case ProfileRule::kBuiltInDefault:
      break;
  }
  return "built-in default profile (--profile default)";
}

}  // namespace cli
