// The panel's slider: a horizontal QSlider whose channel shows the value as a filled bar left of
// the thumb. Channel and thumb get the sunken and raised double frames of the panel's look in the
// palette's 3-D colours; everything else is the style's.
#pragma once

#include <QSlider>

class PanelSlider : public QSlider {
  Q_OBJECT

 public:
  explicit PanelSlider(QWidget* parent = nullptr);

 protected:
  void paintEvent(QPaintEvent* event) override;
};
