// The panel's slider: a horizontal QSlider whose channel shows the value as a filled bar left of
// the thumb. Channel and thumb get the sunken and raised double frames of the panel's look in the
// palette's 3-D colours; everything else is the style's. A double click asks for the value to be
// set back (to the chosen profile's).
#pragma once

#include <QSlider>

class PanelSlider : public QSlider {
  Q_OBJECT

 public:
  explicit PanelSlider(QWidget* parent = nullptr);

 signals:
  void resetRequested();

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
};
