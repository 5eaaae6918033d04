#include "app/jpeg_quality_row.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QSlider>
#include <algorithm>

#include "widgets/localised_text.h"
#include "config/localisation.h"

namespace {
constexpr int32_t kLowestQuality = 10;
constexpr int32_t kHighestQuality = 100;
}  // namespace

JpegQualityRow::JpegQualityRow(int32_t quality, QWidget* parent) : QWidget(parent) {
  setObjectName("jpegQualityRow");
  slider_ = new QSlider(Qt::Horizontal, this);
  slider_->setObjectName("jpegQualitySlider");
  slider_->setRange(kLowestQuality, kHighestQuality);
  slider_->setSingleStep(1);
  slider_->setPageStep(1);
  slider_->setValue(std::clamp(quality, kLowestQuality, kHighestQuality));
  value_ = new QLabel(QString::number(slider_->value()), this);
  value_->setObjectName("jpegQualityValue");
  // Room for "100", so that the slider keeps its length while it moves.
  value_->setMinimumWidth(value_->fontMetrics().horizontalAdvance("100"));
  value_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  connect(slider_, &QSlider::valueChanged, value_,
          [this](int value) { value_->setText(QString::number(value)); });

  auto* layout = new QHBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(new QLabel(Localised(kStringJpegQuality), this));
  layout->addWidget(slider_, 1);
  layout->addWidget(value_);
  layout->addWidget(new QLabel("%", this));
}

int32_t JpegQualityRow::Quality() const { return slider_->value(); }

QString JpegQualityRow::ValueText() const { return value_->text(); }
