#include "app/batch_options_dialog.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QVBoxLayout>

#include "widgets/dialog_buttons.h"
#include "app/jpeg_quality_row.h"
#include "config/localisation.h"
#include "config/settings.h"

namespace {
}  // namespace

BatchOptionsDialog::BatchOptionsDialog(QWidget* owner) : QDialog(owner) {
  setWindowTitle(Localised(kStringBatchOptionsTitle));
  auto* explanation = new QLabel(Localised(kStringBatchProfileFallback), this);
  explanation->setObjectName("profileFallbackText");
  explanation->setWordWrap(true);
  quality_ = new JpegQualityRow(LoadJpegQuality(), this);

  QDialogButtonBox* buttons = AddOkCancelButtons(this);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(explanation);
  layout->addWidget(quality_);
  layout->addWidget(buttons);
  setMinimumWidth(420);
}

void BatchOptionsDialog::accept() {
  StoreJpegQuality(quality_->Quality());
  QDialog::accept();
}

bool ShowBatchOptionsDialog(QWidget* owner) {
  BatchOptionsDialog dialog(owner);
  return dialog.exec() == QDialog::Accepted;
}
