// What a denoising session tells the windows that show it. Every call arrives on the session's own
// thread (the one that made it), also for jobs that ended on a worker.
#pragma once

#include <vector>

#include "batch/batch_runner.h"
#include "session/preview_geometry.h"

class SessionObserver {
 public:
  virtual ~SessionObserver() = default;
  // The shown picture changed as a whole by the session's doing: the preview rebuilt it from the
  // photo, a full-size run ended, the photo as loaded came back. (Open and Close are the caller's
  // own doing.)
  virtual void PictureChanged() {}
  // The live preview changed the shown picture in `areas` alone (at most two rectangles; none when
  // only `working` changed), and its rectangle shows its own result (`working` false) or still
  // waits for it.
  virtual void PreviewShown(const std::vector<PreviewPixels>& areas, bool /*working*/) {
    if (!areas.empty()) PictureChanged();
  }
  // A full-size run began; until it ends nothing else may be started or opened.
  virtual void FullRunStarted() {}
  // A full-size run ended: with its result (sharpened) shown, or stopped and the photo as loaded
  // shown again.
  virtual void FullRunEnded(bool /*aborted*/) {}
  // A batch run ended.
  virtual void BatchEnded(const BatchSummary& /*summary*/) {}
};
