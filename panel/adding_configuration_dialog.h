// "Adding Configuration": the camera and ISO under which the panel's current values are saved as a
// profile, preset from the panel's lists; "<-EXIF" fills them from the photo.
#pragma once

#include <QDialog>
#include <string>

#include "picture/photo_document.h"

class QLineEdit;
class QPushButton;

class AddingConfigurationDialog : public QDialog {
  Q_OBJECT

 public:
  AddingConfigurationDialog(const QString& camera, const QString& iso, const ExifSummary& exif,
                            QWidget* parent);

  // The edits' texts, at most 127 characters each, whichever way the dialog was closed.
  std::string CameraText() const;
  std::string IsoText() const;

  // "<-EXIF" has something to take: maker and model, or the ISO.
  static bool CanTakeFromExif(const ExifSummary& exif);

 private:
  void TakeFromExif();

  ExifSummary exif_;
  QLineEdit* camera_;
  QLineEdit* iso_;
};
