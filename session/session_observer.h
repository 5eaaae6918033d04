// What a denoising session tells the windows that show it. Every call arrives on the session's own
// thread (the one that made it), also for jobs that ended on a worker.
#pragma once

#include "batch/batch_runner.h"

class SessionObserver {
 public:
  virtual ~SessionObserver() = default;
  // The shown picture changed by the session's doing: the preview was redone, a full-size run
  // ended, the photo as loaded came back. (Open and Close are the caller's own doing.)
  virtual void PictureChanged() {}
  // A full-size run began; until it ends nothing else may be started or opened.
  virtual void FullRunStarted() {}
  // A full-size run ended: with its result (sharpened) shown, or stopped and the photo as loaded
  // shown again.
  virtual void FullRunEnded(bool /*aborted*/) {}
  // A batch run ended.
  virtual void BatchEnded(const BatchSummary& /*summary*/) {}
};
