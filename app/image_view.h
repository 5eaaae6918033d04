// The image view: the denoised picture (the source picture while the right button is held) scaled
// and shifted into the main window's view area. Zoom and pan come from the mouse and the keys here
// and from the main window's commands; mouse moves, left presses and left releases go to the
// parameters panel first, so that it can drag its preview rectangle.
//
// The view's keys act while the view has the keyboard focus, so that the panel's controls keep
// theirs: the arrows pan, "+" and "-" zoom, Page Up and Page Down ask for the previous or next
// photo of the folder.
#pragma once

#include <QImage>
#include <QWidget>
#include <vector>

#include "app/folder_stepping.h"
#include "app/view_renderer.h"
#include "picture/photo_document.h"
#include "widgets/view_state.h"

class PreviewMouseClient;

class ImageView : public QWidget {
  Q_OBJECT

 public:
  ImageView(const PhotoDocument& document, ViewState& state, QWidget* parent = nullptr);

  // After an open or a run: rebuilds every copy from the document and draws.
  void RefreshCaches();
  // After the session changed the denoised picture: rebuilds its copy only and draws.
  void RefreshDenoised();
  // After the preview changed the denoised picture in `areas` alone: rebuilds these parts of its
  // copy and draws.
  void RefreshDenoisedAreas(const std::vector<PreviewPixels>& areas);
  // Draws from the copies (pan, zoom, the preview rectangle moved).
  void Redraw();
  // Empties the view after Close; it stays empty until the next refresh.
  void Clear();

  void ZoomToFit();
  void ZoomToFitUnlimited();
  void Zoom100();
  void ZoomBy(double factor);
  // A zoom chosen in the zoom box; the centre is kept.
  void SetZoom(double zoom);
  // Moves the view by whole arrow-key steps: −1, 0 or 1 per axis for one key press.
  void PanByKeys(int dx, int dy);

  // While a run is active the left button, the double click and the wheel are ignored and a resize
  // does not redraw.
  void SetRunActive(bool active);
  void SetBackgroundGrey(int grey);
  void SetPreviewMouseClient(PreviewMouseClient* client);

  // The surface as it was last rendered.
  QImage RenderedImage() const { return surface_; }

 signals:
  void zoomChanged(double zoom);
  // Page Up or Page Down.
  void stepRequested(StepDirection direction);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;
  void leaveEvent(QEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  bool HasPicture() const;
  bool ClientOverPreview() const;
  void Show(ViewPicture which);
  void ZoomDone();
  void EndPan();

  const PhotoDocument& document_;
  ViewState& state_;
  ViewRenderer renderer_;
  QImage surface_;
  ViewPicture shown_ = ViewPicture::kDenoised;
  PreviewMouseClient* client_ = nullptr;
  int backgroundGrey_ = 35;
  bool runActive_ = false;
};
