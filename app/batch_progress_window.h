// "Batch Denoising": the modeless window that follows a batch run. It counts the photos done
// against the total of the counting pass, shows the elapsed time and the estimated total duration
// of the run, the percentage done and the time left, and lets the user cancel. The main window
// destroys it when the run has ended.
#pragma once

#include <QDialog>
#include <QTimer>
#include <cstdint>
#include <functional>

#include "app/batch_report.h"
#include "batch/batch_progress.h"
#include "batch/batch_runner.h"

class QLabel;
class TimedProgressBar;

class BatchProgressWindow : public QDialog, public BatchObserver {
  Q_OBJECT

 public:
  // Cancel calls `cancel`.
  BatchProgressWindow(QWidget* owner, uint32_t totalCount, std::function<void()> cancel);

  // One timer tick: a second more of elapsed time.
  void AdvanceOneSecond();
  // One photo done.
  void PhotoDone();

  // BatchObserver, called on the batch's worker: each photo done becomes a step on this window's
  // thread (dropped when the window is gone), and each failure is kept for the report; files that
  // are no photos make no step.
  void PhotoDone(const std::filesystem::path& input, const std::filesystem::path& output,
                 BatchOutcome outcome, const std::string& reason) override;
  void FileSkipped(const std::filesystem::path&, const std::string&) override {}
  void FolderSkipped(const std::filesystem::path& folder, const std::string& reason) override;

  // The photos that failed and the folders that could not be read, in the order of the run.
  const std::vector<BatchFailure>& Failures() const { return failures_; }

  const BatchProgress& Progress() const { return progress_; }
  QString EstimatedText() const;
  QString ElapsedText() const;
  int ProgressPosition() const;
  // What the bar says: done in percent and the time left.
  QString ProgressText() const;

  // Cancel, Escape and closing the window: the run stops after the photo being processed.
  void reject() override;

 private:
  BatchProgress progress_;
  std::function<void()> cancel_;
  std::vector<BatchFailure> failures_;
  QTimer clock_;
  QLabel* estimated_;
  QLabel* elapsed_;
  TimedProgressBar* bar_;
};
