// A profile's values as the engine takes them: the one place where a stored profile, or the values
// on the panel's sliders, become a DenoiseRequest. The preview, the full-size run, the batch and the
// command line all build their requests here.
#pragma once

#include <cstdint>

#include "engine/denoise_request.h"
#include "profiles/camera_profile_store.h"

// How the engine runs, apart from the profile's values.
struct EngineChoice {
  int32_t quality = 3;  // the 21 × 21 search window
  bool useGpu = false;
  bool fusion = false;
  NoiseLevels noiseLevels{-1, -1, -1};  // measured on the photo, handed down unread
};

DenoiseRequest RequestForProfile(const IsoProfile& profile, const EngineChoice& engine);
