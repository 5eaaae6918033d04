// Which stored profile a photo's camera and ISO find.
#pragma once

#include <cstdint>
#include <optional>

#include "engine/denoise.h"
#include "picture/photo_document.h"
#include "profiles/camera_profile_store.h"
#include "profiles/photo_noise.h"

// The camera slot and ISO index of a profile in a store.
struct ProfileChoice {
  uint32_t camera = 0;
  uint32_t isoIndex = 0;
};

// As the parameters panel chooses for a newly opened photo: the photo's camera (or the unknown
// camera) and its ISO when stored exactly, else the camera's profile whose stored noise levels are
// nearest to the photo's measured ones.
ProfileChoice ChooseProfileForPhoto(const CameraProfileStore& store, const ExifSummary& exif,
                                    const NoiseLevels& measured);

// The photo's camera and ISO when both are stored exactly (a photo without a maker text has no
// camera), else the unknown camera's first profile; profiles/profile_decision.h takes the
// automatic profile where this finds no camera of the photo's own.
ProfileChoice ChooseBatchProfile(const CameraProfileStore& store, const ExifSummary& exif);

// The photo's ISO speed, when its EXIF text is a decimal number.
std::optional<uint32_t> PhotoIso(const ExifSummary& exif);

// Whether the profile of `choice` is stored for exactly the photo's ISO.
bool StoresIsoExactly(const CameraProfileStore& store, ProfileChoice choice,
                      const ExifSummary& exif);

// The profile of a choice, or the built-in default profile when the store has none there (an
// unknown camera without profiles).
IsoProfile ProfileAt(const CameraProfileStore& store, ProfileChoice choice);
