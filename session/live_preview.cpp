#include "session/live_preview.h"

#include <algorithm>
#include <utility>

#include "engine/denoise_rectangle.h"
#include "profiles/profile_request.h"

namespace {

bool SameGeometry(const SBxPicBuf& a, const SBxPicBuf& b) {
  return a.data != nullptr && a.width == b.width && a.height == b.height &&
         a.components == b.components && a.bitsPerComponent == b.bitsPerComponent;
}

int32_t Width(const PreviewPixels& r) { return r.right - r.left; }
int32_t Height(const PreviewPixels& r) { return r.bottom - r.top; }

bool Overlap(const PreviewPixels& a, const PreviewPixels& b) {
  return !IsEmpty(Intersection(a, b));
}

DetailGains GainsOf(const IsoProfile& values) {
  return {values.m_dSharp1, values.m_dSharp2, values.m_dSharp3};
}

}  // namespace

// A request as it was made.
struct LivePreview::Ask {
  PreviewPixels pixels;
  IsoProfile values;
  PreviewEngineSettings settings;
};

// One computation on the worker: the region cut out of the photo, and the rectangle's result.
struct LivePreview::Job {
  uint64_t number = 0;
  uint64_t generation = 0;
  PreviewPixels pixels;
  TileRect region{};
  PicBuf cut;
  DenoiseRequest request;
  DetailGains gains;
  PicBuf result;
  bool computed = false;
};

// The newest result: the full-size result inside its rectangle.
struct LivePreview::Known {
  PreviewPixels pixels;
  PicBuf result;
};

bool HasRaster(const SBxPicBuf& picture) {
  return picture.data != nullptr && picture.width > 0 && picture.height > 0 &&
         picture.components > 0 && picture.bitsPerComponent > 0;
}

LivePreview::LivePreview(PhotoDocument& document, GpuHandOver& gpu, PostToOwner postToOwner,
                         Listener listener)
    : document_(document),
      gpu_(gpu),
      postToOwner_(std::move(postToOwner)),
      listener_(std::move(listener)) {}

LivePreview::~LivePreview() = default;

std::optional<PreviewPixels> LivePreview::LastRequested() const {
  if (last_ == nullptr) return std::nullopt;
  return last_->pixels;
}

PreviewUpdateResult LivePreview::Update(const PreviewPixels& pixels, const IsoProfile& values,
                                        const PreviewEngineSettings& settings, bool forced) {
  if (!HasRaster(document_.sourcePicture)) return PreviewUpdateResult::kNoPhoto;
  if (!forced && last_ != nullptr && last_->pixels == pixels) {
    return PreviewUpdateResult::kUnchanged;
  }
  PreviewChange change;
  if (ShowPhotoIfUnknown(change)) return PreviewUpdateResult::kNoPhoto;
  const bool stopRunning = forced || last_ == nullptr || !Overlap(last_->pixels, pixels);
  last_ = std::make_unique<Ask>(Ask{pixels, values, settings});
  ShowKnownPart(pixels, change);
  // A rectangle wholly off the picture has nothing to compute.
  if (IsEmpty(pixels)) {
    worker_.Abandon();
    answered_ = requested_;
  } else {
    Request(stopRunning);
  }
  change.working = Working();
  listener_(change);
  return PreviewUpdateResult::kUpdated;
}

void LivePreview::Reset() {
  worker_.Abandon();
  ++generation_;
  requested_ = answered_ = 0;
  last_.reset();
  known_.reset();
  pasted_.reset();
  knownPasted_ = false;
  abandoned_ = false;
}

void LivePreview::Abandon() {
  worker_.Abandon();
  ++generation_;
  abandoned_ = Working();
}

void LivePreview::Resume() {
  if (abandoned_ && last_ != nullptr) Request(false);
}

// The shown picture rebuilt from the photo when it is not known to be the photo with a rectangle
// pasted into it. True when it cannot be had.
bool LivePreview::ShowPhotoIfUnknown(PreviewChange& change) {
  if (pasted_) return false;
  const SBxPicBuf& source = document_.sourcePicture;
  SBxPicBuf& shown = document_.denoisedPicture;
  if (!SameGeometry(shown, source) && CBxPicBufAPI::ReinitHeap(shown, source)) return true;
  CBxPicBufAPI::Copy(shown, source);
  pasted_ = PreviewPixels{};
  change.wholePicture = true;
  return false;
}

// Brings back the photo where the shown picture differs from it, and pastes the part of the newest
// result that lies under `pixels`; only these rectangles change.
void LivePreview::ShowKnownPart(const PreviewPixels& pixels, PreviewChange& change) {
  SBxPicBuf& shown = document_.denoisedPicture;
  const PreviewPixels paste = known_ != nullptr ? Intersection(known_->pixels, pixels)
                                                : PreviewPixels{};
  if (knownPasted_ && paste == *pasted_) return;
  if (!IsEmpty(*pasted_) && !Covers(paste, *pasted_)) {
    CBxPicBufAPI::CopyRect(shown, document_.sourcePicture, {pasted_->left, pasted_->top},
                           {pasted_->left, pasted_->top}, {Width(*pasted_), Height(*pasted_)});
    change.areas.push_back(*pasted_);
  }
  if (!IsEmpty(paste)) {
    CBxPicBufAPI::CopyRect(shown, known_->result, {paste.left, paste.top},
                           {paste.left - known_->pixels.left, paste.top - known_->pixels.top},
                           {Width(paste), Height(paste)});
    change.areas.push_back(paste);
  }
  pasted_ = paste;
  knownPasted_ = true;
}

// Cuts the region of the rectangle asked for last out of the photo and hands its computation to
// the worker. Without the memory for the cut nothing is asked for, and the rectangle shows what
// is known.
void LivePreview::Request(bool stopRunning) {
  abandoned_ = false;
  const SBxPicBuf& source = document_.sourcePicture;
  const PreviewEngineSettings& settings = last_->settings;
  auto job = std::make_shared<Job>();
  job->generation = generation_;
  job->pixels = last_->pixels;
  const NoiseLevels noise = source.components == 1
                                ? NoiseLevels{settings.measuredNoise.luma, 0, 0}
                                : settings.measuredNoise;
  job->request = RequestForProfile(
      last_->values, EngineChoice{settings.quality, settings.useGpu, settings.fusion, noise});
  job->gains = GainsOf(last_->values);
  const TileRect rect = TileRectOf(job->pixels);
  job->region = RectangleRegion(rect, job->request, job->gains, source.width, source.height);
  if (CBxPicBufAPI::ReinitHeap(job->cut, job->region.Width(), job->region.Height(),
                               source.components, source.bitsPerComponent)) {
    answered_ = requested_;
    return;
  }
  CBxPicBufAPI::CopyRect(job->cut, source, {0, 0}, {job->region.x0, job->region.y0},
                         {job->region.Width(), job->region.Height()});
  job->number = ++requested_;
  if (job->request.useGpu) gpu_.Lend();
  worker_.Submit(
      [this, job, alive = std::weak_ptr<int>(lifetime_)](const StopFlag& stop) {
        {
          const GpuHandOver::Borrowed card(gpu_, job->request.useGpu);
          job->computed = !DenoiseRectangleOfRegion(job->result, job->cut, job->region,
                                                    TileRectOf(job->pixels), job->request,
                                                    job->gains, RunControl(nullptr, &stop,
                                                                           card.Card()));
        }
        CBxPicBufAPI::DoneHeap(job->cut);
        postToOwner_([this, job, alive] {
          if (alive.lock()) Arrived(*job);
        });
      },
      stopRunning);
}

// A computation has ended: its result, unless it was stopped or belongs to an earlier generation,
// becomes the newest and is shown where the rectangle now lies.
void LivePreview::Arrived(Job& job) {
  if (job.generation != generation_ || !job.computed || !pasted_) return;
  answered_ = std::max(answered_, job.number);
  known_ = std::make_unique<Known>(Known{job.pixels, std::move(job.result)});
  knownPasted_ = false;
  PreviewChange change;
  ShowKnownPart(last_->pixels, change);
  change.working = Working();
  listener_(change);
}
