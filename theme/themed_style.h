// The application's style: Fusion with flat controls in the palette's face, edge, highlight and
// text colours (which ApplyColourScheme fills from the colour scheme), and check marks drawn from
// the scheme's images.
#pragma once

#include <QProxyStyle>

class ThemedStyle : public QProxyStyle {
  Q_OBJECT

 public:
  ThemedStyle();

  void drawPrimitive(PrimitiveElement element, const QStyleOption* option, QPainter* painter,
                     const QWidget* widget = nullptr) const override;
  void drawControl(ControlElement element, const QStyleOption* option, QPainter* painter,
                   const QWidget* widget = nullptr) const override;
  int pixelMetric(PixelMetric metric, const QStyleOption* option = nullptr,
                  const QWidget* widget = nullptr) const override;
};
