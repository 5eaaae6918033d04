#include "panel/progress_bar_sink.h"

#include <QMetaObject>
#include <algorithm>
#include <climits>

namespace {

// The engine's range is not cut to 16 bits; the bar counts in int.
int ToBarValue(uint32_t value) { return static_cast<int>(std::min<uint32_t>(value, INT_MAX)); }

}  // namespace

template <typename Change>
void ProgressBarSink::OnBarThread(Change change) {
  QProgressBar* bar = bar_.data();
  if (bar == nullptr) return;
  // With the bar as context the call is dropped when the bar is destroyed before it runs.
  QMetaObject::invokeMethod(
      bar, [bar, change] { change(*bar); }, Qt::QueuedConnection);
}

void ProgressBarSink::SetRange(uint32_t minimum, uint32_t maximum) {
  OnBarThread([minimum, maximum](QProgressBar& bar) {
    bar.setRange(ToBarValue(minimum), ToBarValue(maximum));
  });
}

// The bar is only ever advanced by explicit deltas, so the step size has no use here.
void ProgressBarSink::SetStep(int32_t) {}

void ProgressBarSink::DeltaPos(int32_t delta) {
  OnBarThread([delta](QProgressBar& bar) {
    bar.setValue(std::clamp<qint64>(qint64(bar.value()) + delta, bar.minimum(), bar.maximum()));
  });
}

void ProgressBarSink::SetPos(uint32_t position) {
  OnBarThread([position](QProgressBar& bar) { bar.setValue(ToBarValue(position)); });
}
