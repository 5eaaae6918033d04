// A progress bar that says how far a job is and how long it still needs: "42 % — 01:23 left". The
// time left is the time so far scaled by what is still to do, shown once the first step is done.
#pragma once

#include <QElapsedTimer>
#include <QProgressBar>
#include <optional>

class TimedProgressBar : public QProgressBar {
  Q_OBJECT

 public:
  explicit TimedProgressBar(QWidget* parent = nullptr);

  // A new job: the bar's own clock starts again.
  void Restart();
  // The time so far as an owner with a clock of its own counts it (the batch window's seconds);
  // from then on the bar's own clock is not read.
  void SetElapsedSeconds(double seconds);

  QString text() const override;

 private:
  double ElapsedSeconds() const;

  QElapsedTimer clock_;
  std::optional<double> ownersSeconds_;
};
