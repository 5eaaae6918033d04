#include "session/denoise_session.h"

#include <utility>

#include "engine/denoise.h"
#include "engine/sharpen_picture.h"
#include "gpu/gpgpu.h"
#include "profiles/profile_request.h"

DenoiseSession::DenoiseSession(PostToOwner postToOwner, std::unique_ptr<CGPGPU> gpu)
    : postToOwner_(std::move(postToOwner)), gpu_(std::move(gpu)) {}

// The card goes last, on this thread, which takes its context back once the job and the preview
// have stopped.
DenoiseSession::~DenoiseSession() {
  StopJobAndWait();
  preview_.Abandon();
  preview_.WaitUntilIdle();
  handOver_.TakeBack();
}

// A preview computation on the card is stopped for this thread to take the context back, and asked
// for again once this thread is back in its loop.
void DenoiseSession::TakeGpuBack() {
  if (preview_.Working()) {
    preview_.Abandon();
    postToOwner_([this, alive = std::weak_ptr<int>(lifetime_)] {
      if (alive.lock() && !JobRunning() && panel_.State() == PanelState::kIdle) preview_.Resume();
    });
  }
  handOver_.TakeBack();
}

void DenoiseSession::AddObserver(SessionObserver* observer) { observers_.push_back(observer); }

template <typename Call>
void DenoiseSession::Tell(Call call) {
  for (SessionObserver* observer : observers_) call(*observer);
}

bool DenoiseSession::HasPhoto() const { return HasRaster(document_.sourcePicture); }

const AccelerationAdmission& DenoiseSession::CardAdmission() {
  if (!cardAdmission_) {
    TakeGpuBack();
    cardAdmission_ = AdmitGraphicsCard(gpu_.get(), quality_);
  }
  return *cardAdmission_;
}

OpenOutcome DenoiseSession::Open(const std::filesystem::path& path, bool acceptDamaged) {
  OpenOutcome outcome =
      OpenPhotoFile(document_, path, OpenOptions{MaxPhotoPixels(), acceptDamaged});
  if (outcome.failure != OpenFailure::kNone) return outcome;
  if (!ShowPhotoAsLoaded()) {
    outcome.failure = OpenFailure::kOutOfMemory;
    outcome.notes.clear();
  }
  return outcome;
}

bool DenoiseSession::Adopt(PhotoDocument document) {
  document_ = std::move(document);
  return ShowPhotoAsLoaded();
}

// The shown picture starts as the photo as loaded; without room for it the photo is not kept.
bool DenoiseSession::ShowPhotoAsLoaded() {
  preview_.Reset();
  if (CBxPicBufAPI::ReinitHeap(document_.denoisedPicture, document_.sourcePicture)) {
    ReleasePhotoDocument(document_);
    return false;
  }
  CBxPicBufAPI::Copy(document_.denoisedPicture, document_.sourcePicture);
  return true;
}

void DenoiseSession::Close() {
  preview_.Reset();
  ReleasePhotoDocument(document_);
}

SaveFailure DenoiseSession::Save(const std::filesystem::path& path, int32_t jpegQuality,
                                 std::vector<std::string>* warnings) {
  const SaveFailure failure = SavePhoto(document_, path, jpegQuality, warnings);
  if (failure == SaveFailure::kNone) panel_.ResultSaved();
  return failure;
}

PreviewUpdateResult DenoiseSession::UpdatePreview(const PreviewPixels& pixels, bool forced) {
  if (JobRunning() || panel_.State() != PanelState::kIdle) return PreviewUpdateResult::kUnchanged;
  const PreviewEngineSettings settings{quality_, acceleration_.useGpu, acceleration_.fusion,
                                       panel_.MeasuredNoise()};
  return preview_.Update(pixels, panel_.RunValues(), settings, forced);
}

void DenoiseSession::PreviewChanged(const PreviewChange& change) {
  if (change.wholePicture) Tell([](SessionObserver& observer) { observer.PictureChanged(); });
  if (change.areas.empty() && change.working == previewWorkingTold_) return;
  previewWorkingTold_ = change.working;
  Tell([&change](SessionObserver& observer) {
    observer.PreviewShown(change.areas, change.working);
  });
}

void DenoiseSession::RestorePhoto() {
  PicBuf& shown = document_.denoisedPicture;
  const PicBuf& source = document_.sourcePicture;
  if (!HasPhoto() || shown.width != source.width || shown.height != source.height ||
      shown.components != source.components || shown.bitsPerComponent != source.bitsPerComponent) {
    return;
  }
  preview_.Reset();
  CBxPicBufAPI::Copy(shown, source);
  Tell([](SessionObserver& observer) { observer.PictureChanged(); });
}

bool DenoiseSession::StartFullRun(ProgressSink* progress) {
  if (JobRunning() || panel_.State() != PanelState::kIdle || !HasPhoto()) return false;
  preview_.Reset();
  panel_.RunStarted();
  const IsoProfile values = panel_.RunValues();
  const EngineChoice engine{quality_, acceleration_.useGpu, acceleration_.fusion, {-1, -1, -1}};
  const DenoiseRequest request = RequestForProfile(values, engine);
  runStop_.Clear();
  StartJob(
      engine.useGpu,
      [this, request, progress, values](CGPGPU* card) {
        DenoisePicture(document_.denoisedPicture, document_.sourcePicture, request,
                       RunControl(progress, &runStop_, card));
        // Without room for the pyramid the result stays unsharpened.
        if (!runStop_.Requested()) {
          SharpenPicture(document_.denoisedPicture, values.m_dSharp1, values.m_dSharp2,
                         values.m_dSharp3);
        }
      },
      [this] { FullRunEnded(); });
  Tell([](SessionObserver& observer) { observer.FullRunStarted(); });
  return true;
}

void DenoiseSession::FullRunEnded() {
  const bool aborted = runStop_.Requested();
  panel_.RunEnded(aborted);
  if (aborted) {
    RestorePhoto();
  } else {
    Tell([](SessionObserver& observer) { observer.PictureChanged(); });
  }
  Tell([aborted](SessionObserver& observer) { observer.FullRunEnded(aborted); });
}

bool DenoiseSession::StartBatch(const std::filesystem::path& root, const BatchChoices& choices,
                                BatchObserver* progress) {
  if (JobRunning()) return false;
  preview_.Reset();
  BatchOptions options;
  options.engine = {quality_, acceleration_.useGpu, acceleration_.fusion, {-1, -1, -1}};
  options.jpegQuality = choices.jpegQuality;
  options.includeSubfolders = choices.includeSubfolders;
  switch (choices.profiles) {
    case BatchProfiles::kStored:
      options.profileMode = ProfileMode::kAuto;
      break;
    case BatchProfiles::kAutomatic:
      options.profileMode = ProfileMode::kMeasured;
      break;
    case BatchProfiles::kPanelValues:
      // As a full-size run of the panel would denoise and sharpen the photo.
      options.profileMode = ProfileMode::kDefault;
      options.adjustProfile = [values = panel_.RunValues()](IsoProfile& profile) {
        profile = values;
      };
      break;
  }
  batchStop_.Clear();
  auto summary = std::make_shared<BatchSummary>();
  StartJob(
      options.engine.useGpu,
      [this, root, options, progress, summary](CGPGPU* card) mutable {
        options.gpu = card;
        *summary = BatchThread(root, options, progress, &batchStop_);
      },
      [this, summary] {
        Tell([&summary](SessionObserver& observer) { observer.BatchEnded(*summary); });
      });
  return true;
}

void DenoiseSession::StopJobAndWait() {
  if (!job_.Active()) return;
  runStop_.Request();
  batchStop_.Request();
  job_.Join();
  EndJob();
}

// The job waits on its own thread for the preview's computation, which the caller has stopped, and
// borrows the card's context for its length when it uses the card; a job that does not get the
// context is given no card, so the engine stays on the CPU.
void DenoiseSession::StartJob(bool useGpu, std::function<void(CGPGPU* card)> work,
                              std::function<void()> ending) {
  if (useGpu) handOver_.Lend();
  jobEnding_ = std::move(ending);
  const uint64_t number = ++jobNumber_;
  job_.Start([this, useGpu, work = std::move(work), number,
              alive = std::weak_ptr<int>(lifetime_)] {
    preview_.WaitUntilIdle();
    {
      const GpuHandOver::Borrowed card(handOver_, useGpu);
      work(card.Card());
    }
    postToOwner_([this, number, alive] {
      // A job that StopJobAndWait already ended, or a session that is gone, has nothing to end.
      if (alive.lock() && number == jobNumber_ && job_.Active()) EndJob();
    });
  });
}

void DenoiseSession::EndJob() {
  job_.Join();
  const std::function<void()> ending = std::move(jobEnding_);
  jobEnding_ = nullptr;
  if (ending) ending();
}
