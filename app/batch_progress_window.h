// "Batch Denoising": the modeless window that follows a batch run. It counts the photos done (one
// UM_BATCH_FILE_DONE each) against the total of the counting pass, shows the elapsed time and the
// estimated total duration of the run, and lets the user cancel. The main window destroys it when
// the run has ended.
#pragma once

#include <QDialog>
#include <QTimer>
#include <cstdint>

#include "batch/batch_progress.h"
#include "engine/run_control.h"

class QLabel;
class QProgressBar;

class BatchProgressWindow : public QDialog {
  Q_OBJECT

 public:
  // Cancel raises `stop`, which must outlive the window.
  BatchProgressWindow(QWidget* owner, uint32_t totalCount, StopFlag& stop);

  // One timer tick: a second more of elapsed time.
  void AdvanceOneSecond();
  // One photo done.
  void PhotoDone();

  const BatchProgress& Progress() const { return progress_; }
  QString EstimatedText() const;
  QString ElapsedText() const;
  int ProgressPosition() const;

  // Cancel, Escape and closing the window: the run stops after the photo being processed.
  void reject() override;

 protected:
  void customEvent(QEvent* event) override;

 private:
  BatchProgress progress_;
  StopFlag& stop_;
  QTimer clock_;
  QLabel* estimated_;
  QLabel* elapsed_;
  QProgressBar* bar_;
};
