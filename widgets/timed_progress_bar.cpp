#include "widgets/timed_progress_bar.h"

#include <cmath>

#include "batch/batch_progress.h"
#include "widgets/localised_text.h"

TimedProgressBar::TimedProgressBar(QWidget* parent) : QProgressBar(parent) {
  setTextVisible(true);
  setAlignment(Qt::AlignCenter);
  clock_.start();
}

void TimedProgressBar::Restart() {
  clock_.restart();
  ownersSeconds_.reset();
  update();
}

void TimedProgressBar::SetElapsedSeconds(double seconds) {
  ownersSeconds_ = seconds;
  update();
}

double TimedProgressBar::ElapsedSeconds() const {
  return ownersSeconds_ ? *ownersSeconds_ : clock_.elapsed() / 1000.0;
}

QString TimedProgressBar::text() const {
  const qint64 total = qint64(maximum()) - minimum();
  if (total <= 0) return {};
  const qint64 done = qint64(value()) - minimum();
  const int percent = static_cast<int>(done * 100 / total);
  if (done <= 0 || done >= total) return QStringLiteral("%1 %").arg(percent);
  const double left =
      ElapsedSeconds() * static_cast<double>(total - done) / static_cast<double>(done);
  const QString leftText =
      QString::fromStdString(FormatMinutesSeconds(static_cast<uint32_t>(std::lround(left))));
  return Localised(kStringProgressLeft).arg(percent).arg(leftText);
}
