// How a batch run goes: how each photo is denoised, whether finished results are kept, which part
// of the tree the run takes, and where the photos are processed.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>

#include "batch/shard.h"
#include "config/settings.h"
#include "profiles/camera_profile_store.h"
#include "profiles/noise_calibration.h"
#include "profiles/profile_decision.h"
#include "profiles/profile_request.h"

class CGPGPU;
class PhotoWorkers;

// Each photo gets the profile that profiles/profile_decision.h decides for `profileMode` (by
// default the profile of its camera and ISO when both are stored exactly, else the automatic
// profile from the noise measured on it); `adjustProfile`, when set, may then change it (the
// command line's single-value overrides).
struct BatchOptions {
  EngineChoice engine;
  CGPGPU* gpu = nullptr;  // the card engine.useGpu refers to, current on the batch's thread
  ProfileMode profileMode = ProfileMode::kAuto;
  // The calibration of the automatic profile; unset, the shipped one, read at the start of the run
  // like the profile store.
  std::optional<NoiseCalibration> calibration;
  bool acceptDamaged = false;  // denoise what a damaged photo holds instead of counting it failed
  std::function<void(IsoProfile&)> adjustProfile;
  // The JPEG quality of every result (the settings' "jpeg" in the desktop application).
  int32_t jpegQuality = kDefaultJpegQuality;
  // The photos of the folders below the root as well, or only the root's own.
  bool includeSubfolders = true;
  // Leave a photo whose result is complete, newer than the photo and made from it by this program
  // version with the same values (batch/result_record.h); by default every photo is denoised again.
  bool skipDone = false;
  // Only the photos of this shard (batch/shard.h); 1/1 takes the whole tree.
  Shard shard;
  // Worker processes that take the photos, several at once (batch/photo_workers.h); without them
  // the photos are processed one after another on the calling thread.
  PhotoWorkers* workers = nullptr;
};
