// The engine's progress protocol driving a QProgressBar. The engine calls it from its worker
// thread; every call is forwarded to the bar's own thread as a queued invocation, and calls that
// arrive after the bar is gone are dropped.
#pragma once

#include <QPointer>
#include <QProgressBar>

#include "platform/progress_sink.h"

class ProgressBarSink : public ProgressSink {
 public:
  explicit ProgressBarSink(QProgressBar* bar) : bar_(bar) {}

  void SetRange(uint32_t minimum, uint32_t maximum) override;
  void SetStep(int32_t step) override;
  void DeltaPos(int32_t delta) override;
  void SetPos(uint32_t position) override;

 private:
  template <typename Change>
  void OnBarThread(Change change);

  QPointer<QProgressBar> bar_;
};
