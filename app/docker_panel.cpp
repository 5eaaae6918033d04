#include "app/docker_panel.h"

#include <QApplication>
#include <QPainter>
#include <algorithm>

#include "theme/application_theme.h"
#include "theme/colour_scheme.h"

namespace {

constexpr int kMaxCaptionLength = 255;
constexpr int kCaptionMargin = 5;
constexpr int kCaptionRightAndBottomMargin = 10;

}  // namespace

DockerPanel::DockerPanel(QWidget* parent) : QWidget(parent) {
  Q_ASSERT(parent);
  captionFont_ = QApplication::font();
  captionFont_.setWeight(QFont::Medium);
  captionFont_.setPixelSize(30);
  setCursor(Qt::ArrowCursor);
  setGeometry(0, 0, 300, 1000);
  hide();
}

void DockerPanel::AddDockedWindow(QWidget* window) { children_.append(window); }

void DockerPanel::SetCaption(const QString& caption) {
  caption_ = caption.left(kMaxCaptionLength);
  update();
}

void DockerPanel::LayoutDocker() {
  int y = 0;
  int width = 0;
  for (QWidget* child : children_) {
    if (!child) continue;
    child->move(leftSide_ ? 0 : 1, y);
    y += child->height();
    width = std::max(width, child->width());
  }
  // Without children the docker keeps one column for its edge line on either side.
  width = leftSide_ ? width + 1 : std::max(width, 1);
  const int x = leftSide_ ? 0 : parentWidget()->width() - width - 1;
  setGeometry(x, this->y(), width, height());
  update();
}

QRegion DockerPanel::FreeRegion() const {
  QRegion region(rect());
  for (QWidget* child : children_) {
    if (child && child->isVisibleTo(this)) region -= child->geometry();
  }
  return region;
}

QRect DockerPanel::CaptionRect() const {
  int top = 0;
  for (QWidget* child : children_) {
    if (child && child->isVisibleTo(this)) top = child->geometry().bottom() + 1;
  }
  top += kCaptionMargin;
  return QRect(QPoint(kCaptionMargin, top), QPoint(width() - kCaptionRightAndBottomMargin - 1,
                                                   height() - kCaptionRightAndBottomMargin - 1));
}

void DockerPanel::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.setClipRegion(FreeRegion());
  painter.fillRect(rect(), SchemeColour(kColourButtonFace, QPalette::Button));
  if (!caption_.isEmpty()) {
    painter.setFont(captionFont_);
    painter.setPen(SchemeColour(kColourButtonText, QPalette::ButtonText));
    painter.drawText(CaptionRect(), Qt::AlignHCenter | Qt::AlignTop | Qt::TextWordWrap, caption_);
  }
  painter.setPen(SchemeColour(kColourButtonHighlight, QPalette::Light));
  const int edge = leftSide_ ? width() - 1 : 0;
  painter.drawLine(edge, 0, edge, height() - 1);
}
