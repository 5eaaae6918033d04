#include "profiles/profile_choice.h"

#include <charconv>
#include <optional>

#include "profiles/camera_name.h"

namespace {

ProfileChoice CameraAndIso(const CameraProfileStore& store, const std::string& cameraName,
                           const ExifSummary& exif) {
  ProfileChoice choice;
  choice.camera = FindCamera(store, cameraName);
  choice.isoIndex = FindIsoIndex(store, choice.camera, exif.iso);
  return choice;
}

}  // namespace

std::optional<uint32_t> PhotoIso(const ExifSummary& exif) {
  uint32_t value = 0;
  const char* end = exif.iso.data() + exif.iso.size();
  auto [ptr, ec] = std::from_chars(exif.iso.data(), end, value);
  if (ec != std::errc() || exif.iso.empty()) return std::nullopt;
  return value;
}

bool StoresIsoExactly(const CameraProfileStore& store, ProfileChoice choice,
                      const ExifSummary& exif) {
  const std::optional<uint32_t> iso = PhotoIso(exif);
  if (!iso || choice.camera >= store.cameras.size()) return false;
  const CameraEntry& camera = store.cameras[choice.camera];
  return choice.isoIndex < camera.IsoCount() && camera.isoValues[choice.isoIndex] == *iso;
}

ProfileChoice ChooseProfileForPhoto(const CameraProfileStore& store, const ExifSummary& exif,
                                    const NoiseLevels& measured) {
  const std::string name = NormaliseCameraName(FormCameraName(exif.make, exif.model));
  ProfileChoice choice = CameraAndIso(store, name, exif);
  if (!StoresIsoExactly(store, choice, exif)) {
    choice.isoIndex = FindNearestProfile(store, name, measured.luma, measured.chroma);
  }
  return choice;
}

ProfileChoice ChooseBatchProfile(const CameraProfileStore& store, const ExifSummary& exif) {
  if (exif.make.empty()) return {};
  const std::string name = NormaliseCameraName(FormCameraName(exif.make, exif.model));
  const ProfileChoice choice = CameraAndIso(store, name, exif);
  return StoresIsoExactly(store, choice, exif) ? choice : ProfileChoice{};
}

IsoProfile ProfileAt(const CameraProfileStore& store, ProfileChoice choice) {
  if (choice.camera < store.cameras.size() &&
      choice.isoIndex < store.cameras[choice.camera].profiles.size()) {
    return store.cameras[choice.camera].profiles[choice.isoIndex];
  }
  return BuiltInProfileStore().cameras[0].profiles[0];
}
