// The main window as the parameters panel sees it: the size of the view the preview rectangle is
// placed in, the two things of the main window the panel changes directly, and the question
// before a result is thrown away.
#pragma once

#include <QSize>
#include <QString>

class PanelHost {
 public:
  virtual ~PanelHost() = default;
  // The image view's size; the preview rectangle is placed at the centre of its visible part.
  virtual QSize ViewSize() const = 0;
  virtual void SetStatusText(const QString& text) = 0;
  virtual void SetSaveAsEnabled(bool enabled) = 0;
  // Before an unsaved result is thrown away ("Redefine"): asks whether to save it first; false
  // when the user cancels, or the save did not happen.
  virtual bool ResultMayBeDiscarded() = 0;
};
