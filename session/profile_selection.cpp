#include "session/profile_selection.h"

#include <charconv>

#include "profiles/camera_name.h"

namespace {

bool IsPhotoIso(const CameraEntry& camera, uint32_t index, const std::string& isoText) {
  uint32_t iso = 0;
  const auto [end, error] = std::from_chars(isoText.data(), isoText.data() + isoText.size(), iso);
  return error == std::errc() && !isoText.empty() && index < camera.IsoCount() &&
         camera.isoValues[index] == iso;
}

}  // namespace

ProfileChoice ChooseIsoForCamera(const CameraProfileStore& store, uint32_t slot,
                                 const ExifSummary& exif, const NoiseLevels& measured) {
  if (slot >= store.cameras.size()) return {};
  const CameraEntry& camera = store.cameras[slot];
  ProfileChoice choice{slot, FindIsoIndex(store, slot, exif.iso)};
  if (!IsPhotoIso(camera, choice.isoIndex, exif.iso)) {
    // The nearest profile is looked up by name; a camera whose name an earlier slot shares
    // (ignoring blanks and case) would be answered with an index of that other camera.
    choice.isoIndex =
        FindNearestProfile(store, camera.m_wcsCameraName, measured.luma, measured.chroma);
    if (choice.isoIndex >= camera.IsoCount()) choice.isoIndex = 0;
  }
  return choice;
}

std::string PhotoCameraName(const ExifSummary& exif) {
  return NormaliseCameraName(FormCameraName(exif.make, exif.model));
}

DeleteOutcome DeleteProfile(CameraProfileStore& store, ProfileChoice selected,
                            DeleteAnswer answer) {
  switch (answer) {
    case DeleteAnswer::kYes:
      return DeleteCamera(store, selected.camera) ? DeleteOutcome::kRefused
                                                  : DeleteOutcome::kCameraRemoved;
    case DeleteAnswer::kNo: {
      const std::size_t cameras = store.cameras.size();
      if (DeleteIsoProfile(store, selected.camera, selected.isoIndex))
        return DeleteOutcome::kNothing;
      return store.cameras.size() < cameras ? DeleteOutcome::kCameraRemoved
                                            : DeleteOutcome::kIsoRemoved;
    }
    case DeleteAnswer::kCancel:
      break;
  }
  return DeleteOutcome::kNothing;
}
