#include "panel/adding_configuration_dialog.h"

#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "widgets/dialog_buttons.h"
#include "config/localisation.h"
#include "session/profile_selection.h"
#include "platform/utf8.h"

namespace {

constexpr std::size_t kMaxTextCharacters = 127;


std::string EditText(const QLineEdit* edit) {
  const std::string text = edit->text().toStdString();
  return std::string(CutAfterCharacters(text, kMaxTextCharacters));
}

}  // namespace

AddingConfigurationDialog::AddingConfigurationDialog(const QString& camera, const QString& iso,
                                                     const ExifSummary& exif, QWidget* parent)
    : QDialog(parent), exif_(exif) {
  setWindowTitle(Localised(142));
  camera_ = new QLineEdit(camera, this);
  camera_->setObjectName("cameraEdit");
  iso_ = new QLineEdit(iso, this);
  iso_->setObjectName("isoEdit");
  auto* fromExif = new QPushButton("<-EXIF", this);
  fromExif->setObjectName("fromExif");
  fromExif->setEnabled(CanTakeFromExif(exif_));
  connect(fromExif, &QPushButton::clicked, this, &AddingConfigurationDialog::TakeFromExif);

  QDialogButtonBox* buttons = AddOkCancelButtons(this);

  auto* layout = new QGridLayout(this);
  layout->addWidget(new QLabel(Localised(130), this), 0, 0);
  layout->addWidget(camera_, 0, 1);
  layout->addWidget(new QLabel("ISO:", this), 1, 0);
  layout->addWidget(iso_, 1, 1);
  layout->addWidget(fromExif, 0, 2, 2, 1);
  layout->addWidget(buttons, 2, 0, 1, 3);
  camera_->setMinimumWidth(260);
}

std::string AddingConfigurationDialog::CameraText() const { return EditText(camera_); }

std::string AddingConfigurationDialog::IsoText() const { return EditText(iso_); }

bool AddingConfigurationDialog::CanTakeFromExif(const ExifSummary& exif) {
  return (!exif.make.empty() && !exif.model.empty()) || !exif.iso.empty();
}

void AddingConfigurationDialog::TakeFromExif() {
  if (!exif_.make.empty() && !exif_.model.empty()) {
    camera_->setText(QString::fromStdString(PhotoCameraName(exif_)));
  }
  if (!exif_.iso.empty()) iso_->setText(QString::fromStdString(exif_.iso));
}
