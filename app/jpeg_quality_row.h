// The JPEG quality row that the save dialog and the batch options dialog share: "Jpeg Quality:",
// a slider of 10 … 100 percent moving one step per key or click, the value and "%".
#pragma once

#include <QWidget>
#include <cstdint>

class QLabel;
class QSlider;

class JpegQualityRow : public QWidget {
  Q_OBJECT

 public:
  // Qualities below 10 start at 10; above 100, at 100 (FreeImage reads larger numbers as flags).
  JpegQualityRow(int32_t quality, QWidget* parent);

  int32_t Quality() const;
  QSlider* Slider() const { return slider_; }
  QString ValueText() const;

 private:
  QSlider* slider_;
  QLabel* value_;
};
