#include "app/zoom_box.h"

#include <QKeyEvent>
#include <QLineEdit>
#include <QWheelEvent>
#include <array>

#include "widgets/view_state.h"

namespace {

constexpr std::array<double, 8> kItemZooms = {0.1, 0.25, 0.5, 1.0, 1.5, 2.0, 4.0, 8.0};
constexpr int kStartItem = 3;

QString ZoomText(double zoom) { return QString::fromStdString(FormatZoomText(zoom)); }

bool IsEnter(const QEvent* event) {
  if (event->type() != QEvent::KeyPress) return false;
  const int key = static_cast<const QKeyEvent*>(event)->key();
  return key == Qt::Key_Return || key == Qt::Key_Enter;
}

}  // namespace

ZoomBox::ZoomBox(QWidget* parent) : QComboBox(parent) {
  setEditable(true);
  // A typed value is a request for a zoom, never a new entry of the list.
  setInsertPolicy(QComboBox::NoInsert);
  QFont boxFont("Tahoma");
  boxFont.setPixelSize(16);
  boxFont.setWeight(QFont::DemiBold);
  setFont(boxFont);
  for (const double zoom : kItemZooms) addItem(ZoomText(zoom));
  setCurrentIndex(kStartItem);
  // The wheel must not step through the list, whether the box has the focus or not.
  setFocusPolicy(Qt::StrongFocus);
  // Enter is taken before the line edit sees it, whether it reaches the line edit directly or
  // through the box (keyPressEvent): the combo box would otherwise pick an item whose text matches
  // as well, and the zoom would be asked for twice.
  lineEdit()->installEventFilter(this);
  connect(this, qOverload<int>(&QComboBox::activated), this, &ZoomBox::ChooseItem);
  setEnabled(false);
}

void ZoomBox::ShowZoom(double zoom) {
  shownZoom_ = zoom;
  setEditText(ZoomText(zoom));
}

void ZoomBox::hidePopup() {
  QComboBox::hidePopup();
  ReturnFocus();
}

bool ZoomBox::eventFilter(QObject* watched, QEvent* event) {
  if (watched == lineEdit() && IsEnter(event)) {
    ApplyTypedText();
    return true;
  }
  return QComboBox::eventFilter(watched, event);
}

void ZoomBox::keyPressEvent(QKeyEvent* event) {
  if (IsEnter(event)) {
    ApplyTypedText();
    return;
  }
  QComboBox::keyPressEvent(event);
}

void ZoomBox::wheelEvent(QWheelEvent* event) {
  event->accept();
  ReturnFocus();
}

void ZoomBox::ChooseItem(int index) {
  if (index < 0 || index >= static_cast<int>(kItemZooms.size())) return;
  emit zoomChosen(kItemZooms[index]);
  ReturnFocus();
}

void ZoomBox::ApplyTypedText() {
  const std::optional<double> percent = ParseZoomText(currentText().toStdString());
  if (!percent) {
    ShowZoom(shownZoom_);
    return;
  }
  ShowZoom(*percent / 100);
  emit zoomChosen(*percent / 100);
  ReturnFocus();
}

void ZoomBox::ReturnFocus() {
  if (window() != this) window()->setFocus();
  emit focusReturned();
}
