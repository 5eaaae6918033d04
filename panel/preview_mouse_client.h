// What the image view hands to the parameters panel before acting on the mouse itself: moves, left
// presses and left releases, in the view's own coordinates. While the panel reports the mouse over
// its preview rectangle (or dragging it), the view does not pan and a left press goes to the panel.
#pragma once

#include <QPoint>

class PreviewMouseClient {
 public:
  virtual ~PreviewMouseClient() = default;
  virtual void ViewMouseMoved(QPoint viewPos, bool leftButtonDown) = 0;
  virtual void ViewMousePressed(QPoint viewPos) = 0;
  virtual void ViewMouseReleased(QPoint viewPos) = 0;
  virtual bool OverPreview() const = 0;
};
