// The panel's choice of an ISO profile once the camera is known (the photo's ISO when the camera
// stores it, else the camera's profile whose stored noise levels are nearest to the photo's), and
// what deleting the selected profile does to the store.
#pragma once

#include "engine/denoise.h"
#include "picture/photo_document.h"
#include "profiles/profile_choice.h"

// The choice for camera `slot` (the user picked it, or the photo's camera came back after a
// delete). The index is always one the camera has, or 0.
ProfileChoice ChooseIsoForCamera(const CameraProfileStore& store, uint32_t slot,
                                 const ExifSummary& exif, const NoiseLevels& measured);

// The photo's camera name as the store keeps it: maker and model, normalised.
std::string PhotoCameraName(const ExifSummary& exif);

// The answers to "Delete Current Setting...": the whole camera (Yes), only the selected ISO (No),
// nothing (Cancel).
enum class DeleteAnswer { kYes, kNo, kCancel };

enum class DeleteOutcome {
  kNothing,        // cancelled, or nothing could be removed
  kRefused,        // Yes for the unknown camera, which cannot be deleted
  kIsoRemoved,     // the camera lost one profile and is still there
  kCameraRemoved,  // the camera is gone (Yes, or No on its last profile)
};

// Applies the answer to the profile `selected` of the store.
DeleteOutcome DeleteProfile(CameraProfileStore& store, ProfileChoice selected, DeleteAnswer answer);
