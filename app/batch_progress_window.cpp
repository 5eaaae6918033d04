#include "app/batch_progress_window.h"

#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <algorithm>
#include <climits>

#include "config/localisation.h"
#include "widgets/localised_text.h"
#include "widgets/timed_progress_bar.h"

namespace {

constexpr int kTickMilliseconds = 1000;

QString MinutesSeconds(uint32_t seconds) {
  return QString::fromStdString(FormatMinutesSeconds(seconds));
}

}  // namespace

BatchProgressWindow::BatchProgressWindow(QWidget* owner, uint32_t totalCount,
                                         std::function<void()> cancel)
    : QDialog(owner), cancel_(std::move(cancel)) {
  setModal(false);
  setWindowTitle(Localised(kStringBatchProgressTitle));
  progress_.totalCount = totalCount;
  estimated_ = new QLabel(MinutesSeconds(0), this);
  elapsed_ = new QLabel(MinutesSeconds(0), this);
  bar_ = new TimedProgressBar(this);
  bar_->SetElapsedSeconds(0);
  bar_->setRange(0, static_cast<int>(std::min<uint32_t>(totalCount, INT_MAX)));
  bar_->setValue(0);

  auto* buttons = new QDialogButtonBox(this);
  buttons->addButton(Localised(kStringCancel), QDialogButtonBox::RejectRole);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

  auto* layout = new QGridLayout(this);
  layout->addWidget(new QLabel(Localised(kStringEstimatedTime), this), 0, 0);
  layout->addWidget(estimated_, 0, 1, Qt::AlignRight);
  layout->addWidget(new QLabel(Localised(kStringElapsedTime), this), 1, 0);
  layout->addWidget(elapsed_, 1, 1, Qt::AlignRight);
  layout->addWidget(bar_, 2, 0, 1, 2);
  layout->addWidget(buttons, 3, 0, 1, 2);
  setMinimumWidth(320);

  clock_.setInterval(kTickMilliseconds);
  connect(&clock_, &QTimer::timeout, this, &BatchProgressWindow::AdvanceOneSecond);
  clock_.start();
}

void BatchProgressWindow::AdvanceOneSecond() {
  ++progress_.elapsedSeconds;
  elapsed_->setText(MinutesSeconds(progress_.elapsedSeconds));
  bar_->SetElapsedSeconds(progress_.elapsedSeconds);
}

void BatchProgressWindow::PhotoDone() {
  ++progress_.doneCount;
  estimated_->setText(MinutesSeconds(progress_.EstimatedTotalSeconds()));
  // Photos the counting pass missed (".jpeg", ".tiff") keep the bar full rather than stuck.
  bar_->setValue(static_cast<int>(std::min<uint32_t>(progress_.doneCount, bar_->maximum())));
}

void BatchProgressWindow::PhotoDone(const std::filesystem::path& input,
                                    const std::filesystem::path&, BatchOutcome outcome,
                                    const std::string& reason) {
  QMetaObject::invokeMethod(
      this,
      [this, input, outcome, reason] {
        if (outcome == BatchOutcome::kFailed) failures_.push_back({input, reason});
        PhotoDone();
      },
      Qt::QueuedConnection);
}

void BatchProgressWindow::FolderSkipped(const std::filesystem::path& folder,
                                        const std::string& reason) {
  QMetaObject::invokeMethod(
      this,
      [this, folder, reason] {
        failures_.push_back({folder, reason});
      },
      Qt::QueuedConnection);
}

QString BatchProgressWindow::EstimatedText() const { return estimated_->text(); }

QString BatchProgressWindow::ElapsedText() const { return elapsed_->text(); }

int BatchProgressWindow::ProgressPosition() const { return bar_->value(); }

QString BatchProgressWindow::ProgressText() const { return bar_->text(); }

void BatchProgressWindow::reject() {
  clock_.stop();
  if (cancel_) cancel_();
  QDialog::reject();
}
