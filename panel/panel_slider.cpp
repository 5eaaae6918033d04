#include "panel/panel_slider.h"

#include <QMouseEvent>
#include <QPainter>
#include <QStyleOptionSlider>

#include "theme/application_theme.h"

namespace {

// Height of the channel the value bar runs in; the thumb covers it.
constexpr int kChannelHeight = 6;

// A one-pixel frame: `topLeft` along the top and left edges, `bottomRight` along the others.
void DrawFrame(QPainter& painter, const QRect& r, const QColor& topLeft,
               const QColor& bottomRight) {
  painter.setPen(topLeft);
  painter.drawLine(r.topLeft(), r.topRight());
  painter.drawLine(r.topLeft(), r.bottomLeft());
  painter.setPen(bottomRight);
  painter.drawLine(r.bottomLeft(), r.bottomRight());
  painter.drawLine(r.topRight(), r.bottomRight());
}

// Two frames, outer then inner; returns the area inside them.
QRect DrawDoubleFrame(QPainter& painter, const QRect& r, const QColor (&outer)[2],
                      const QColor (&inner)[2]) {
  DrawFrame(painter, r, outer[0], outer[1]);
  const QRect inside = r.adjusted(1, 1, -1, -1);
  DrawFrame(painter, inside, inner[0], inner[1]);
  return inside.adjusted(1, 1, -1, -1);
}

}  // namespace

PanelSlider::PanelSlider(QWidget* parent) : QSlider(Qt::Horizontal, parent) {
  setSingleStep(1);
  setPageStep(1);
}

void PanelSlider::paintEvent(QPaintEvent*) {
  QStyleOptionSlider option;
  initStyleOption(&option);
  const QPalette& colours = palette();
  QPainter painter(this);

  // The style's rectangles, so that the thumb is drawn where the mouse finds it.
  const QRect groove =
      style()->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderGroove, this);
  const QRect thumb =
      style()->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderHandle, this);
  const int half = thumb.width() / 2;
  const QRect channel(groove.left() + half, groove.center().y() - kChannelHeight / 2,
                      groove.width() - 2 * half, kChannelHeight + 1);
  const QRect inside =
      DrawDoubleFrame(painter, channel, {colours.dark().color(), colours.light().color()},
                      {colours.shadow().color(), colours.midlight().color()});
  painter.fillRect(inside, colours.window());
  QRect filled = inside;
  filled.setRight(thumb.center().x());
  painter.fillRect(filled, isEnabled() ? QBrush(AccentColour()) : colours.shadow());

  const QRect face =
      DrawDoubleFrame(painter, thumb, {colours.midlight().color(), colours.shadow().color()},
                      {colours.light().color(), colours.dark().color()});
  painter.fillRect(face, colours.button());

  if (hasFocus()) {
    QStyleOptionFocusRect focus;
    focus.initFrom(this);
    style()->drawPrimitive(QStyle::PE_FrameFocusRect, &focus, &painter, this);
  }
}

void PanelSlider::mouseDoubleClickEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) {
    QSlider::mouseDoubleClickEvent(event);
    return;
  }
  event->accept();
  emit resetRequested();
}
