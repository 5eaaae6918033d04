// The main window as the parameters panel sees it: where its messages go, the size of the view the
// preview rectangle is placed in, and the two things of the main window the panel changes directly.
#pragma once

#include <QObject>
#include <QSize>
#include <QString>

#include "engine/gpu_self_test.h"

class CGPGPU;

class PanelHost {
 public:
  virtual ~PanelHost() = default;
  // Receiver of the UM_* messages the panel sends and posts.
  virtual QObject* MainWindowObject() = 0;
  // The image view's size; the preview rectangle is placed at the centre of its visible part.
  virtual QSize ViewSize() const = 0;
  virtual void SetStatusText(const QString& text) = 0;
  virtual void SetSaveAsEnabled(bool enabled) = 0;
  // Asks the full-size run in progress to stop (Abort, or the panel closing with Cancel).
  virtual void StopFullRun() = 0;
  // The acceleration runs use now, and the card it refers to (null when there is none).
  virtual AccelerationChoice Acceleration() const = 0;
  virtual CGPGPU* Gpu() = 0;
};
