// The live preview's computation: the extended region around the preview rectangle is cut out of
// the photo, denoised with the current values exactly as they are (not quantised to slider steps),
// sharpened, and its inner part pasted into the shown picture over an untouched copy of the photo.
// Everything runs synchronously on the caller's thread.
#pragma once

#include <optional>

#include "engine/denoise.h"
#include "session/preview_geometry.h"
#include "picture/photo_document.h"
#include "profiles/camera_profile_store.h"

// A picture with a raster the preview can work on: storage, non-zero sides, components and depth.
bool HasRaster(const SBxPicBuf& picture);

// What the engine is asked for besides the profile's values.
struct PreviewEngineSettings {
  int32_t quality = 3;
  bool useGpu = false;
  bool fusion = false;
  CGPGPU* gpu = nullptr;  // the card useGpu refers to, its context current on this thread
  // Noise levels measured on the whole photo, for colour regions; a one-component region gets the
  // grey level alone. The engine does not act on them.
  NoiseLevels measuredNoise{0, 0, 0};
};

enum class PreviewUpdateResult {
  kNoPhoto,    // nothing to work on; nothing changed
  kUnchanged,  // the same region as last time and the update was not forced
  kUpdated,    // denoisedPicture shows the photo with the processed rectangle (or none, when the
               // rectangle lies off the picture)
};

class LivePreview {
 public:
  LivePreview();
  ~LivePreview();
  LivePreview(const LivePreview&) = delete;
  LivePreview& operator=(const LivePreview&) = delete;

  // Processes the region of `pixels` (the preview rectangle on the picture) unless it equals the
  // one processed last and `forced` is false, and rebuilds document.denoisedPicture from the
  // photo and the processed rectangle.
  PreviewUpdateResult Update(PhotoDocument& document, const PreviewPixels& pixels,
                             const IsoProfile& profile, const PreviewEngineSettings& settings,
                             bool forced);

  // A new photo: the next update processes its region whatever it is.
  void ForgetLastRegion() { lastRegion_.reset(); }
  // Frees the working pictures (the panel closes).
  void Release();

  const std::optional<PreviewPixels>& LastRegion() const { return lastRegion_; }

 private:
  // Denoises and sharpens `region` of the photo into previewResult_. True on failure.
  bool ProcessRegion(const SBxPicBuf& source, const PreviewPixels& pixels,
                     const PreviewPixels& region, const IsoProfile& profile,
                     const PreviewEngineSettings& settings);

  SBxPicBuf previewResult_;    // the processed content of the rectangle
  SBxPicBuf previewDenoised_;  // the denoised extended region, before sharpening
  std::optional<PreviewPixels> lastRegion_;
};
