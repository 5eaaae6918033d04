#include "app/image_view.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QWheelEvent>

#include "panel/preview_mouse_client.h"

ImageView::ImageView(const PhotoDocument& document, ViewState& state, QWidget* parent)
    : QWidget(parent), document_(document), state_(state) {
  // Every move reaches the panel's hit test, not only those of a drag.
  setMouseTracking(true);
  // A click in the view (or Tab) takes the keyboard from the panel, so the view's keys act again.
  setFocusPolicy(Qt::StrongFocus);
  setAttribute(Qt::WA_OpaquePaintEvent);
}

void ImageView::RefreshCaches() {
  renderer_.RefreshCache(ViewPicture::kSource, document_.sourcePicture);
  renderer_.RefreshCache(ViewPicture::kDenoised, document_.denoisedPicture);
  renderer_.RefreshAlpha(document_.alphaPlane);
  Show(ViewPicture::kDenoised);
}

void ImageView::RefreshDenoised() {
  renderer_.RefreshCache(ViewPicture::kDenoised, document_.denoisedPicture);
  Redraw();
}

void ImageView::RefreshDenoisedAreas(const std::vector<PreviewPixels>& areas) {
  for (const PreviewPixels& area : areas) {
    renderer_.RefreshCacheArea(ViewPicture::kDenoised, document_.denoisedPicture, area);
  }
  Redraw();
}

void ImageView::Redraw() { Show(shown_); }

void ImageView::Clear() {
  // The document's pictures are gone: a later resize must not bring the old copies back.
  renderer_.ReleaseCaches();
  EndPan();
  Show(ViewPicture::kDenoised);
}

void ImageView::ZoomToFit() {
  if (!HasPicture()) return;
  ::ZoomToFit(state_, width(), height(), document_.sourcePicture.width,
              document_.sourcePicture.height, FitLimit::kMaxZoom);
  ZoomDone();
}

void ImageView::ZoomToFitUnlimited() {
  if (!HasPicture()) return;
  ::ZoomToFit(state_, width(), height(), document_.sourcePicture.width,
              document_.sourcePicture.height, FitLimit::kNone);
  ZoomDone();
}

void ImageView::Zoom100() {
  ZoomTo100(state_, width(), height());
  ZoomDone();
}

void ImageView::ZoomBy(double factor) {
  ScaleZoom(state_, factor);
  ZoomDone();
}

void ImageView::SetZoom(double zoom) {
  if (!(zoom > 0)) return;
  state_.zoom = zoom;
  ZoomDone();
}

void ImageView::PanByKeys(int dx, int dy) {
  ShiftViewCenter(state_, dx, dy);
  Redraw();
}

void ImageView::SetRunActive(bool active) {
  runActive_ = active;
  if (active) {
    EndPan();
  } else if (surface_.size() != size()) {
    Redraw();  // resized during the run
  }
}

void ImageView::SetBackgroundGrey(int grey) {
  backgroundGrey_ = grey;
  Redraw();
}

void ImageView::SetPreviewMouseClient(PreviewMouseClient* client) { client_ = client; }

void ImageView::paintEvent(QPaintEvent* /*event*/) {
  QPainter painter(this);
  // During a run the surface keeps its size while the widget may have grown.
  if (surface_.size() != size()) {
    painter.fillRect(rect(), QColor(backgroundGrey_, backgroundGrey_, backgroundGrey_));
  }
  painter.drawImage(0, 0, surface_);
}

void ImageView::resizeEvent(QResizeEvent* /*event*/) {
  if (!runActive_) Redraw();
}

void ImageView::mousePressEvent(QMouseEvent* event) {
  const QPoint pos = event->position().toPoint();
  state_.lastMouseX = pos.x();
  state_.lastMouseY = pos.y();
  if (event->button() == Qt::RightButton) {
    Show(ViewPicture::kSource);
  } else if (event->button() == Qt::LeftButton && !runActive_) {
    if (ClientOverPreview()) {
      client_->ViewMousePressed(pos);
    } else {
      StartPan(state_, pos.x(), pos.y());
    }
  }
}

void ImageView::mouseReleaseEvent(QMouseEvent* event) {
  const QPoint pos = event->position().toPoint();
  if (event->button() == Qt::RightButton) {
    Show(ViewPicture::kDenoised);
  } else if (event->button() == Qt::LeftButton) {
    EndPan();
    if (client_ != nullptr && !runActive_) client_->ViewMouseReleased(pos);
  }
}

void ImageView::mouseMoveEvent(QMouseEvent* event) {
  const QPoint pos = event->position().toPoint();
  state_.lastMouseX = pos.x();
  state_.lastMouseY = pos.y();
  const bool leftDown = (event->buttons() & Qt::LeftButton) != 0;
  if (client_ != nullptr) client_->ViewMouseMoved(pos, leftDown);
  if (state_.panning && leftDown && !ClientOverPreview() && rect().contains(pos)) {
    PanToCursor(state_, pos.x(), pos.y());
    Redraw();
  }
}

void ImageView::mouseDoubleClickEvent(QMouseEvent* event) {
  // The second press of a quick right double click arrives here instead of as a press.
  if (event->button() == Qt::RightButton) {
    Show(ViewPicture::kSource);
    return;
  }
  if (event->button() != Qt::LeftButton || runActive_) return;
  ZoomToFitUnlimited();
  EndPan();
  state_.lastMouseX = state_.lastMouseY = 0;
  state_.dragAnchorX = state_.dragAnchorY = 0;
}

void ImageView::wheelEvent(QWheelEvent* event) {
  event->accept();
  const int delta = event->angleDelta().y();
  // A sideways scroll has no vertical delta; it would otherwise count as a step out.
  if (!HasPicture() || state_.panning || runActive_ || delta == 0) return;
  const QPoint pos = event->position().toPoint();
  ZoomAboutCursor(state_, pos.x(), pos.y(), delta, document_.sourcePicture.width,
                  document_.sourcePicture.height);
  ZoomDone();
}

void ImageView::leaveEvent(QEvent* /*event*/) { EndPan(); }

void ImageView::keyPressEvent(QKeyEvent* event) {
  const auto pan = [this](int dx, int dy) {
    if (!runActive_) PanByKeys(dx, dy);
  };
  switch (event->key()) {
    case Qt::Key_Left:
      pan(-1, 0);
      break;
    case Qt::Key_Right:
      pan(1, 0);
      break;
    case Qt::Key_Up:
      pan(0, -1);
      break;
    case Qt::Key_Down:
      pan(0, 1);
      break;
    case Qt::Key_Plus:
      ZoomBy(kZoomInFactor);
      break;
    case Qt::Key_Minus:
      ZoomBy(kZoomOutFactor);
      break;
    case Qt::Key_PageUp:
      emit stepRequested(StepDirection::kPrevious);
      break;
    case Qt::Key_PageDown:
      emit stepRequested(StepDirection::kNext);
      break;
    default:
      QWidget::keyPressEvent(event);
      return;
  }
  event->accept();
}

bool ImageView::HasPicture() const {
  const SBxPicBuf& picture = document_.sourcePicture;
  return picture.data != nullptr && picture.width > 0 && picture.height > 0;
}

bool ImageView::ClientOverPreview() const { return client_ != nullptr && client_->OverPreview(); }

void ImageView::Show(ViewPicture which) {
  shown_ = which;
  if (surface_.size() != size()) surface_ = QImage(size(), QImage::Format_BGR888);
  renderer_.Render(surface_, which, state_, backgroundGrey_);
  update();
}

void ImageView::ZoomDone() {
  Redraw();
  emit zoomChanged(state_.zoom);
}

void ImageView::EndPan() { state_.panning = false; }
