// The live preview: the rectangle the user places on the photo shows, to the bit, what the
// full-size run will give there (engine/denoise_rectangle.h), with the values the full-size run
// uses. The rectangle's region is cut out of the photo on the owner's thread and computed on the
// preview's worker (session/preview_worker.h), the newest request first; the result comes back
// through `postToOwner` and is pasted into the shown picture, which is the photo everywhere but in
// the rectangle. Each change restores and pastes only the rectangles concerned, so its cost does not
// grow with the photo.
//
// A result is the full-size result at its place whatever rectangle asked for it: when the rectangle
// moves, the part of the last result that it still covers is shown at once and the rest is the
// photo until the rectangle's own result comes. Until then the preview is "working".
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "engine/denoise_request.h"
#include "picture/photo_document.h"
#include "profiles/camera_profile_store.h"
#include "session/gpu_hand_over.h"
#include "session/preview_geometry.h"
#include "session/preview_worker.h"

// A picture with a raster the preview can work on: storage, non-zero sides, components and depth.
bool HasRaster(const SBxPicBuf& picture);

// What the engine is asked for besides the profile's values.
struct PreviewEngineSettings {
  int32_t quality = 3;
  bool useGpu = false;  // the card, when the owner's thread lends it (session/gpu_hand_over.h)
  bool fusion = false;
  // Noise levels measured on the whole photo, for colour regions; a one-component region gets the
  // grey level alone. The engine does not act on them.
  NoiseLevels measuredNoise{0, 0, 0};
};

enum class PreviewUpdateResult {
  kNoPhoto,    // nothing to work on; nothing changed
  kUnchanged,  // the rectangle asked for last, and the update was not forced
  kUpdated,    // the shown picture shows what is known of the rectangle (nothing when it lies off
               // the picture) over the photo, and the rectangle's result has been asked for
};

// What changed in the shown picture.
struct PreviewChange {
  bool wholePicture = false;         // it was rebuilt from the photo
  std::vector<PreviewPixels> areas;  // else every changed pixel lies in one of these (at most two)
  bool working = false;              // the rectangle does not show its own result yet
};

class LivePreview {
 public:
  using PostToOwner = std::function<void(std::function<void()>)>;
  using Listener = std::function<void(const PreviewChange&)>;

  // Works on `document`'s pictures; `listener` hears of every change, on the owner's thread.
  LivePreview(PhotoDocument& document, GpuHandOver& gpu, PostToOwner postToOwner,
              Listener listener);
  ~LivePreview();
  LivePreview(const LivePreview&) = delete;
  LivePreview& operator=(const LivePreview&) = delete;

  // Shows what is known of the rectangle at `pixels` and asks for its result with `values`,
  // unless it is the rectangle asked for last and `forced` is false. A request that comes while
  // another is computed stops that one when the values changed (`forced`) or when the rectangles do
  // not overlap, since its result would show nothing of the new rectangle.
  PreviewUpdateResult Update(const PreviewPixels& pixels, const IsoProfile& values,
                             const PreviewEngineSettings& settings, bool forced);

  // The shown picture is no longer the photo with a rectangle pasted into it (a new photo, a
  // full-size result, the photo brought back): what was computed and asked for is forgotten, and
  // the next update rebuilds the shown picture from the photo.
  void Reset();
  // Stops the computation in progress and drops the waiting one; what they would bring is
  // ignored. The rectangle stays working until Resume or the next update.
  void Abandon();
  // Asks again for the rectangle that Abandon left working.
  void Resume();
  // Returns once the worker computes nothing; for a job, on its own thread.
  void WaitUntilIdle() { worker_.WaitUntilIdle(); }

  bool Working() const { return answered_ < requested_; }
  // The rectangle asked for last; none after Reset.
  std::optional<PreviewPixels> LastRequested() const;

 private:
  struct Ask;
  struct Job;
  struct Known;

  bool ShowPhotoIfUnknown(PreviewChange& change);
  void ShowKnownPart(const PreviewPixels& pixels, PreviewChange& change);
  void Request(bool stopRunning);
  void Arrived(Job& job);

  PhotoDocument& document_;
  GpuHandOver& gpu_;
  PostToOwner postToOwner_;
  Listener listener_;
  uint64_t generation_ = 0;  // results of earlier generations (before Reset, Abandon) are ignored
  uint64_t requested_ = 0;   // the number of the newest request…
  uint64_t answered_ = 0;    // …and of the newest request whose result came
  std::unique_ptr<Ask> last_;
  std::unique_ptr<Known> known_;
  // Where the shown picture differs from the photo; none while that is not known.
  std::optional<PreviewPixels> pasted_;
  bool knownPasted_ = false;  // the newest result is what `pasted_` shows
  bool abandoned_ = false;    // Abandon stopped the request for the rectangle asked for last
  // Results posted to the owner hold a weak reference: one that arrives after the preview is gone
  // does nothing.
  std::shared_ptr<int> lifetime_ = std::make_shared<int>(0);
  PreviewWorker worker_;  // last: its thread ends before the rest goes
};
