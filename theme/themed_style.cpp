#include "theme/themed_style.h"

#include <QPainter>
#include <QStyleFactory>
#include <QStyleOption>

#include "theme/application_theme.h"
#include "theme/check_mark_image.h"
#include "theme/colour_scheme.h"

namespace {

// The size of the check-mark drawings, in logical pixels.
constexpr int kIndicatorSize = 13;

CheckMark MarkOf(QStyle::State state) {
  if (state & QStyle::State_On) return CheckMark::kChecked;
  if (state & QStyle::State_NoChange) return CheckMark::kPartial;
  return CheckMark::kUnchecked;
}

QPixmap CheckMarkPixmap(const QStyleOption& option, const QPainter& painter) {
  const std::string name = CheckMarkImageName(CurrentColourScheme(), MarkOf(option.state),
                                              option.state & QStyle::State_Enabled);
  if (name.empty()) return {};
  return ThemeImage(QString::fromStdString(name), option.rect.size(),
                    painter.device()->devicePixelRatio());
}

// A radio button is a ring on the field colour with a dot when chosen, in the text colour of its
// state: it reads as "one of these", where a check mark would read as "any of these".
void DrawRadioMark(QPainter& painter, const QStyleOption& option) {
  const QPalette::ColorGroup group =
      option.state & QStyle::State_Enabled ? QPalette::Active : QPalette::Disabled;
  const QColor ink = option.palette.color(group, QPalette::Text);
  const QRectF circle = QRectF(option.rect).adjusted(0.5, 0.5, -0.5, -0.5);
  painter.save();
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setPen(ink);
  painter.setBrush(option.palette.color(group, QPalette::Base));
  painter.drawEllipse(circle);
  if (option.state & QStyle::State_On) {
    const qreal inset = circle.width() * 0.3;
    painter.setPen(Qt::NoPen);
    painter.setBrush(ink);
    painter.drawEllipse(circle.adjusted(inset, inset, -inset, -inset));
  }
  painter.restore();
}

void DrawFrame(QPainter& painter, const QRect& rect, const QColor& colour) {
  painter.save();
  painter.setPen(colour);
  painter.setBrush(Qt::NoBrush);
  painter.drawRect(rect.adjusted(0, 0, -1, -1));
  painter.restore();
}

// Push and tool buttons: the face colour, the shadow colour while pressed, a dark border that turns
// to the highlight colour under the mouse or with the focus. The window's main action ("primary")
// has the accent colour for its face while it is enabled.
void DrawFlatButton(QPainter& painter, const QStyleOption& option, bool primary) {
  const QPalette& palette = option.palette;
  const QStyle::State state = option.state;
  const bool enabled = state & QStyle::State_Enabled;
  const bool pressed = state & (QStyle::State_Sunken | QStyle::State_On);
  const bool hot = enabled && (state & (QStyle::State_MouseOver | QStyle::State_HasFocus));
  QColor face = palette.color(pressed ? QPalette::Dark : QPalette::Button);
  if (primary && enabled) face = pressed ? AccentColour().darker(120) : AccentColour();
  painter.fillRect(option.rect, face);
  DrawFrame(painter, option.rect, palette.color(hot ? QPalette::Highlight : QPalette::Shadow));
}

bool IsPrimary(const QWidget* widget) {
  return widget != nullptr && widget->property("primary").toBool();
}

void DrawFlatLineEdit(QPainter& painter, const QStyleOption& option) {
  const bool focused = option.state & QStyle::State_HasFocus;
  painter.fillRect(option.rect, option.palette.color(QPalette::Base));
  DrawFrame(painter, option.rect,
            option.palette.color(focused ? QPalette::Highlight : QPalette::Dark));
}

// The filled part of a progress bar in the highlight colour; false for a busy indicator (no
// range), which the base style animates.
bool DrawFlatProgress(QPainter& painter, const QStyleOptionProgressBar& bar) {
  const qint64 range = qint64(bar.maximum) - bar.minimum;
  if (range <= 0) return false;
  const double done = double(qint64(bar.progress) - bar.minimum) / double(range);
  const bool horizontal = bar.state & QStyle::State_Horizontal;
  QRect filled = bar.rect;
  if (horizontal) {
    const int width = qRound(filled.width() * qBound(0.0, done, 1.0));
    filled = bar.invertedAppearance ? filled.adjusted(filled.width() - width, 0, 0, 0)
                                    : filled.adjusted(0, 0, width - filled.width(), 0);
  } else {
    const int height = qRound(filled.height() * qBound(0.0, done, 1.0));
    filled = bar.invertedAppearance ? filled.adjusted(0, 0, 0, height - filled.height())
                                    : filled.adjusted(0, filled.height() - height, 0, 0);
  }
  painter.fillRect(filled, bar.palette.color(QPalette::Highlight));
  return true;
}

void DrawFlatHeaderSection(QPainter& painter, const QStyleOption& option) {
  const QRect& rect = option.rect;
  painter.fillRect(rect, option.palette.color(QPalette::Button));
  painter.save();
  painter.setPen(option.palette.color(QPalette::Dark));
  painter.drawLine(rect.topRight(), rect.bottomRight());
  painter.drawLine(rect.bottomLeft(), rect.bottomRight());
  painter.restore();
}

}  // namespace

ThemedStyle::ThemedStyle() : QProxyStyle(QStyleFactory::create(QStringLiteral("Fusion"))) {}

void ThemedStyle::drawPrimitive(PrimitiveElement element, const QStyleOption* option,
                                QPainter* painter, const QWidget* widget) const {
  switch (element) {
    case PE_IndicatorCheckBox:
    case PE_IndicatorItemViewItemCheck: {
      const QPixmap mark = CheckMarkPixmap(*option, *painter);
      if (mark.isNull()) break;
      painter->drawPixmap(option->rect.topLeft(), mark);
      return;
    }
    case PE_IndicatorRadioButton:
      DrawRadioMark(*painter, *option);
      return;
    case PE_PanelButtonCommand:
    case PE_PanelButtonTool:
      DrawFlatButton(*painter, *option, IsPrimary(widget));
      return;
    case PE_PanelLineEdit:
      DrawFlatLineEdit(*painter, *option);
      return;
    case PE_FrameLineEdit:
      DrawFrame(*painter, option->rect, option->palette.color(QPalette::Dark));
      return;
    case PE_FrameGroupBox:
      DrawFrame(*painter, option->rect, option->palette.color(QPalette::Light));
      return;
    default:
      break;
  }
  QProxyStyle::drawPrimitive(element, option, painter, widget);
}

void ThemedStyle::drawControl(ControlElement element, const QStyleOption* option, QPainter* painter,
                              const QWidget* widget) const {
  switch (element) {
    case CE_ProgressBarGroove:
      painter->fillRect(option->rect, option->palette.color(QPalette::Base));
      DrawFrame(*painter, option->rect, option->palette.color(QPalette::Dark));
      return;
    case CE_ProgressBarContents: {
      const auto* bar = qstyleoption_cast<const QStyleOptionProgressBar*>(option);
      if (bar && DrawFlatProgress(*painter, *bar)) return;
      break;
    }
    case CE_HeaderSection:
      DrawFlatHeaderSection(*painter, *option);
      return;
    default:
      break;
  }
  QProxyStyle::drawControl(element, option, painter, widget);
}

int ThemedStyle::pixelMetric(PixelMetric metric, const QStyleOption* option,
                             const QWidget* widget) const {
  switch (metric) {
    case PM_IndicatorWidth:
    case PM_IndicatorHeight:
    case PM_ExclusiveIndicatorWidth:
    case PM_ExclusiveIndicatorHeight:
      return kIndicatorSize;
    default:
      return QProxyStyle::pixelMetric(metric, option, widget);
  }
}
