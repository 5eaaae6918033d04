// The docker: a plain child of the main window that stacks docked windows (the parameters panel)
// along one edge, takes the width of the widest of them and paints the space around them in the
// colour scheme's face colour, with a highlight line on the edge that faces the image view.
#pragma once

#include <QFont>
#include <QList>
#include <QPointer>
#include <QString>
#include <QWidget>

class DockerPanel : public QWidget {
 public:
  // Created hidden at (0, 0), 300 x 1000, as a child of `parent` (which must not be null); the
  // owner lays it out and shows it.
  explicit DockerPanel(QWidget* parent);

  // Appends `window`, a child of the docker, to the stack (below the ones added before).
  void AddDockedWindow(QWidget* window);
  // Stacks the docked windows from the top at x = 1 (x = 0 on the left side), keeping their sizes,
  // then takes the widest one's width (plus 1 on the left side) and moves to the parent's right
  // edge less one pixel (or to x = 0), keeping its top and height. An empty docker is one pixel
  // wide.
  void LayoutDocker();

  bool LeftSide() const { return leftSide_; }
  void SetLeftSide(bool leftSide) { leftSide_ = leftSide; }
  // A text drawn centred and word-wrapped below the last visible docked window; at most 255
  // characters are kept.
  void SetCaption(const QString& caption);

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  QRegion FreeRegion() const;
  QRect CaptionRect() const;

  bool leftSide_ = false;
  QString caption_;
  QFont captionFont_;
  // Guarded, so that a docked window deleted by its owner drops out of the stack.
  QList<QPointer<QWidget>> children_;
};
