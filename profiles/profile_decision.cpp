#include "profiles/profile_decision.h"

#include <iterator>

namespace {

constexpr std::string_view kModeNames[] = {"auto", "measured", "default"};
constexpr std::string_view kRuleNames[] = {"stored", "nearest", "measured", "default"};

bool HasProfiles(const CameraProfileStore& store, uint32_t slot) {
  return slot > 0 && slot < store.cameras.size() && !store.cameras[slot].profiles.empty();
}

// The stored profile the photo has on `surface`, if any.
std::optional<ProfileDecision> StoredDecision(const CameraProfileStore& store,
                                              const ExifSummary& exif, const PhotoNoise& noise,
                                              ChoiceSurface surface) {
  ProfileDecision decision;
  if (surface == ChoiceSurface::kRun) {
    decision.stored = ChooseBatchProfile(store, exif);
    decision.rule = ProfileRule::kStoredProfile;
  } else {
    decision.stored = ChooseProfileForPhoto(store, exif, noise.whole);
    decision.rule = StoresIsoExactly(store, decision.stored, exif) ? ProfileRule::kStoredProfile
                                                                   : ProfileRule::kNearestProfile;
  }
  if (!HasProfiles(store, decision.stored.camera)) return std::nullopt;
  decision.profile = ProfileAt(store, decision.stored);
  decision.noise = noise;
  return decision;
}

}  // namespace

IsoProfile AutomaticProfile(const NoiseCalibration& calibration, const PhotoNoise& noise,
                            uint32_t isoValue) {
  const LevelsRead levels = ReadLevels(calibration, noise);
  const CalibratedValues values = ValuesAt(calibration, levels.luma, levels.chroma);
  IsoProfile profile{};
  profile.isoValue = isoValue;
  profile.m_dStrength = values.strength;
  profile.m_dStrengthChroma = noise.colour ? values.chroma : 0.0;
  profile.m_dStrengthChromaLarge = noise.colour ? values.chromaLarge : 0.0;
  profile.m_dDynamics = 0.0;
  profile.m_dSharp1 = values.tiny;
  profile.m_dSharp2 = values.medium;
  profile.m_dSharp3 = values.rough;
  profile.m_dImmerkaerY = noise.whole.luma;
  profile.m_dImmerkaerUV = noise.whole.chroma;
  profile.m_iUseMedian = kMedianNone;
  return profile;
}

ProfileDecision DecideProfile(const CameraProfileStore& store, const ExifSummary& exif,
                              const PhotoNoise& noise, const NoiseCalibration& calibration,
                              ProfileMode mode, ChoiceSurface surface) {
  if (mode == ProfileMode::kAuto) {
    if (auto stored = StoredDecision(store, exif, noise, surface)) return *stored;
  }
  ProfileDecision decision;
  decision.noise = noise;
  if (mode == ProfileMode::kDefault) {
    decision.rule = ProfileRule::kBuiltInDefault;
    decision.profile = BuiltInProfileStore().cameras[0].profiles[0];
  } else {
    decision.rule = ProfileRule::kAutomatic;
    decision.profile = AutomaticProfile(calibration, noise, PhotoIso(exif).value_or(0));
    decision.read = ReadLevels(calibration, noise);
  }
  return decision;
}

std::optional<ProfileMode> ProfileModeNamed(std::string_view name) {
  for (size_t i = 0; i < std::size(kModeNames); ++i) {
    if (name == kModeNames[i]) return static_cast<ProfileMode>(i);
  }
  return std::nullopt;
}

std::string_view RuleName(ProfileRule rule) { return kRuleNames[static_cast<size_t>(rule)]; }
