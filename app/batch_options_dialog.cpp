#include "app/batch_options_dialog.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QLabel>
#include <QRadioButton>
#include <QVBoxLayout>

#include "app/jpeg_quality_row.h"
#include "widgets/dialog_buttons.h"
#include "widgets/localised_text.h"

namespace {

constexpr BatchProfiles kProfileOptions[] = {BatchProfiles::kStored, BatchProfiles::kAutomatic,
                                             BatchProfiles::kPanelValues};
// What each option does, in the same order.
constexpr int32_t kExplanations[] = {kStringBatchProfileFallback, kStringBatchAutomaticExplained,
                                     kStringBatchPanelValuesExplained};

int32_t Offset(BatchProfiles profiles) { return static_cast<int32_t>(profiles); }

}  // namespace

BatchOptionsDialog::BatchOptionsDialog(QWidget* owner) : QDialog(owner) {
  setWindowTitle(Localised(kStringBatchOptionsTitle));
  const BatchChoices stored = LoadBatchChoices();
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(new QLabel(Localised(kStringBatchProfiles), this));
  profiles_ = new QButtonGroup(this);
  for (const BatchProfiles option : kProfileOptions) {
    auto* radio = new QRadioButton(Localised(kStringFirstBatchProfile + Offset(option)), this);
    radio->setObjectName(QStringLiteral("batchProfiles%1").arg(Offset(option)));
    radio->setToolTip(Localised(kExplanations[Offset(option)]));
    radio->setChecked(option == stored.profiles);
    profiles_->addButton(radio, Offset(option));
    layout->addWidget(radio);
  }
  explanation_ = new QLabel(this);
  explanation_->setObjectName("profileFallbackText");
  explanation_->setWordWrap(true);
  layout->addWidget(explanation_);
  connect(profiles_, &QButtonGroup::idToggled, this, [this] { ExplainProfiles(); });
  ExplainProfiles();

  subfolders_ = new QCheckBox(Localised(kStringIncludeSubfolders), this);
  subfolders_->setObjectName("includeSubfolders");
  subfolders_->setToolTip(Localised(kTipIncludeSubfolders));
  subfolders_->setChecked(stored.includeSubfolders);
  layout->addWidget(subfolders_);
  quality_ = new JpegQualityRow(stored.jpegQuality, this);
  layout->addWidget(quality_);
  layout->addWidget(AddOkCancelButtons(this));
  setMinimumWidth(460);
}

void BatchOptionsDialog::ExplainProfiles() {
  explanation_->setText(Localised(kExplanations[profiles_->checkedId()]));
}

BatchChoices BatchOptionsDialog::Choices() const {
  return {static_cast<BatchProfiles>(profiles_->checkedId()), subfolders_->isChecked(),
          quality_->Quality()};
}

void BatchOptionsDialog::accept() {
  StoreBatchChoices(Choices());
  QDialog::accept();
}

std::optional<BatchChoices> AskBatchChoices(QWidget* owner) {
  BatchOptionsDialog dialog(owner);
  if (dialog.exec() != QDialog::Accepted) return std::nullopt;
  return dialog.Choices();
}
