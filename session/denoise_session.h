// One user's work with Stillgrain, free of any toolkit: the open photo, the parameters panel's
// model, the live preview, the full-size run and the batch run on a worker thread, and the graphics
// card with the hand-over of its context between threads. The desktop application's windows are
// views of a session; tests drive one directly.
//
// Threads: a session is made, used and destroyed on one thread, its owner (the user-interface
// thread), which never waits for the engine. Jobs run on a worker, the live preview's computations
// on a thread of their own (session/live_preview.h); when one ends, the session asks `postToOwner`
// to run its ending on the owner's thread, where the observers hear of it. Only one job runs at a
// time, and the engine runs one picture at a time: a job starts by stopping the preview's
// computation and waits on its own thread until it has stopped, and the preview asks for nothing
// while a job runs.
//
// The graphics card's context is current on the owner's thread at first (the self-test uses it
// there); a job or a preview computation that uses the card borrows it (session/gpu_hand_over.h).
#pragma once

#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "batch/batch_runner.h"
#include "engine/gpu_self_test.h"
#include "engine/run_control.h"
#include "gpu/gpgpu.h"
#include "picture/open_failure.h"
#include "picture/photo_loading.h"
#include "picture/photo_saving.h"
#include "session/batch_choices.h"
#include "session/gpu_hand_over.h"
#include "session/live_preview.h"
#include "session/panel_model.h"
#include "session/session_observer.h"
#include "session/worker_thread.h"

class DenoiseSession {
 public:
  // Runs a function on the owner's thread later (a queued call of the user interface's loop).
  using PostToOwner = std::function<void(std::function<void()>)>;

  // `gpu` is the initialised card, or null; its context is current on this thread.
  DenoiseSession(PostToOwner postToOwner, std::unique_ptr<CGPGPU> gpu);
  // Stops the jobs, waits for them, and tears the card down.
  ~DenoiseSession();
  DenoiseSession(const DenoiseSession&) = delete;
  DenoiseSession& operator=(const DenoiseSession&) = delete;

  // An observer hears of every job that ends after it was added; one that goes away first stops the
  // job in hand (StopJobAndWait) before it goes.
  void AddObserver(SessionObserver* observer);

  // How runs use the graphics card; the engine's quality (always 3, the 21 × 21 search window, in
  // the desktop application).
  AccelerationChoice Acceleration() const { return acceleration_; }
  void SetAcceleration(AccelerationChoice acceleration) { acceleration_ = acceleration; }
  // Whether the card may be used, and why not: its self-test and the timed probe against the CPU,
  // run on the first call on this thread, which takes the card's context back for them (a preview
  // computation on the card is stopped for them and asked for again afterwards); the card stays
  // what it is, so later calls give the same answer at once. Not while a job runs.
  const AccelerationAdmission& CardAdmission();
  CGPGPU* Gpu() const { return gpu_.get(); }
  int32_t Quality() const { return quality_; }

  // The open photo; not while a job runs (the windows offer no Open then). After a successful open
  // the shown picture is the photo as loaded; without the memory for it the photo is not kept
  // (kOutOfMemory).
  OpenOutcome Open(const std::filesystem::path& path, bool acceptDamaged);
  // A photo made in memory (a synthesised scene) becomes the open photo in the same way; false when
  // its shown copy cannot be had (the photo is then not kept).
  bool Adopt(PhotoDocument document);
  void Close();
  [[nodiscard]] SaveFailure Save(const std::filesystem::path& path, int32_t jpegQuality,
                                 std::vector<std::string>* warnings);
  const PhotoDocument& Document() const { return document_; }
  bool HasPhoto() const;
  // A finished full-size run's result is shown (what Save As writes), and whether no save has
  // written it yet: closing, opening another photo or Redefine would then lose it.
  bool HasResult() const { return HasPhoto() && panel_.State() == PanelState::kResultShown; }
  bool HasUnsavedResult() const { return HasPhoto() && panel_.UnsavedResult(); }

  PanelModel& Panel() { return panel_; }
  const PanelModel& Panel() const { return panel_; }

  // The live preview with the run values of the panel (those of the full-size run): the rectangle
  // at `pixels` shows at once what is known of it, and its result follows, unless it is the
  // rectangle asked for last and the update is not forced. Only while Idle and no job runs.
  PreviewUpdateResult UpdatePreview(const PreviewPixels& pixels, bool forced);
  // Whether the preview's rectangle still waits for its result.
  bool PreviewWorking() const { return preview_.Working(); }
  // The next update rebuilds the shown picture from the photo and asks for its rectangle whatever it
  // is (a new photo, Redefine).
  void ForgetPreviewRegion() { preview_.Reset(); }
  // The shown picture becomes the photo as loaded again.
  void RestorePhoto();

  // The full-size run with the panel's run values, from Idle with a photo and no job running;
  // false when it was not started. `progress` (may be null) must outlive the run.
  bool StartFullRun(ProgressSink* progress);
  // Asks the full-size run to stop (Abort); it ends as aborted.
  void AbortFullRun() { runStop_.Request(); }

  // Batch denoising of the folder `root` (and the folders below it, as chosen) with the chosen
  // values and the session's acceleration; `progress` hears of every photo (on the worker) and
  // must outlive the run.
  bool StartBatch(const std::filesystem::path& root, const BatchChoices& choices,
                  BatchObserver* progress);
  void CancelBatch() { batchStop_.Request(); }

  bool JobRunning() const { return job_.Active(); }
  // Stops the job in hand, waits for it and ends it here and now (closing the window).
  void StopJobAndWait();

 private:
  void StartJob(bool useGpu, std::function<void(CGPGPU* card)> work,
                std::function<void()> ending);
  void EndJob();
  void FullRunEnded();
  bool ShowPhotoAsLoaded();
  void PreviewChanged(const PreviewChange& change);
  void TakeGpuBack();
  template <typename Call>
  void Tell(Call call);

  PostToOwner postToOwner_;
  std::unique_ptr<CGPGPU> gpu_;
  GpuHandOver handOver_{gpu_.get()};
  AccelerationChoice acceleration_;
  std::optional<AccelerationAdmission> cardAdmission_;
  int32_t quality_ = 3;
  std::vector<SessionObserver*> observers_;

  PhotoDocument document_;
  PanelModel panel_;
  LivePreview preview_{document_, handOver_, postToOwner_,
                       [this](const PreviewChange& change) { PreviewChanged(change); }};

  bool previewWorkingTold_ = false;

  WorkerThread job_;
  std::function<void()> jobEnding_;  // runs on the owner's thread once the job has returned
  uint64_t jobNumber_ = 0;  // the job whose ending a queued call may run
  // Queued endings hold a weak reference: one that arrives after the session is gone does nothing.
  std::shared_ptr<int> lifetime_ = std::make_shared<int>(0);
  StopFlag runStop_;
  StopFlag batchStop_;
};
