#include "app/options_dialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QLabel>
#include <QRadioButton>
#include <QVBoxLayout>

#include "app/acceleration_text.h"
#include "config/localisation.h"
#include "config/settings.h"
#include "theme/application_theme.h"
#include "theme/colour_scheme.h"
#include "widgets/dialog_buttons.h"
#include "widgets/message_boxes.h"

namespace {

constexpr int32_t kStringOptions = 57;
constexpr int32_t kStringSelectLanguage = 58;
constexpr int32_t kStringUseAcceleration = 61;
constexpr int32_t kStringRestartCaption = 63;
constexpr int32_t kStringRestartText = 64;
constexpr int32_t kStringFusion = 111;
constexpr int32_t kStringPureGpu = 112;

constexpr int kLightScheme = 1;
constexpr int kDarkScheme = 2;
constexpr int kNearBlackScheme = 3;


bool DarkSchemeShown() {
  const int scheme = CurrentColourScheme();
  return scheme == kDarkScheme || scheme == kNearBlackScheme;
}

}  // namespace

OptionsDialog::OptionsDialog(QWidget* owner, std::function<AccelerationAdmission()> cardAdmission,
                             std::filesystem::path localisationFile)
    : QDialog(owner),
      cardAdmission_(std::move(cardAdmission)),
      localisationFile_(std::move(localisationFile)) {
  setWindowTitle(Localised(kStringOptions));
  languages_ = new QComboBox(this);
  languages_->setObjectName("languageList");
  languages_->setToolTip(Localised(kTipLanguage));
  acceleration_ = new QCheckBox(Localised(kStringUseAcceleration), this);
  acceleration_->setObjectName("accelerationBox");
  acceleration_->setToolTip(Localised(kTipAcceleration));
  accelerationReason_ = new QLabel(this);
  accelerationReason_->setObjectName("accelerationReason");
  accelerationReason_->setWordWrap(true);
  fusion_ = new QRadioButton(Localised(kStringFusion), this);
  fusion_->setObjectName("fusionRadio");
  fusion_->setToolTip(Localised(kTipFusion));
  pureGpu_ = new QRadioButton(Localised(kStringPureGpu), this);
  pureGpu_->setObjectName("pureGpuRadio");
  pureGpu_->setToolTip(Localised(kTipPureGpu));
  darkScheme_ = new QCheckBox("Dark Scheme", this);
  darkScheme_->setObjectName("darkSchemeBox");
  darkScheme_->setChecked(DarkSchemeShown());
  darkScheme_->hide();

  ShowAccelerationSettings();
  ShowLanguages();
  // Both radio buttons follow the box and keep their state while disabled.
  connect(acceleration_, &QCheckBox::toggled, fusion_, &QWidget::setEnabled);
  connect(acceleration_, &QCheckBox::toggled, pureGpu_, &QWidget::setEnabled);

  QDialogButtonBox* buttons = AddOkCancelButtons(this);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(new QLabel(Localised(kStringSelectLanguage), this));
  layout->addWidget(languages_);
  layout->addWidget(acceleration_);
  layout->addWidget(accelerationReason_);
  layout->addWidget(fusion_);
  layout->addWidget(pureGpu_);
  layout->addWidget(darkScheme_);
  layout->addWidget(buttons);
  setMinimumWidth(380);
}

void OptionsDialog::ShowAccelerationSettings() {
  const AccelerationAdmission card = cardAdmission_();
  const bool admissible = card.Admitted();
  acceleration_->setChecked(admissible && ReadSettingInt(kKeyHwAccel, 0) != 0);
  acceleration_->setEnabled(admissible);
  accelerationReason_->setText(AccelerationReason(card));
  accelerationReason_->setVisible(!admissible);
  const bool fused = ReadSettingInt(kKeyGpuCpuFusion, 0) != 0;
  fusion_->setChecked(fused);
  pureGpu_->setChecked(!fused);
  fusion_->setEnabled(acceleration_->isChecked());
  pureGpu_->setEnabled(acceleration_->isChecked());
}

void OptionsDialog::ShowLanguages() {
  for (const std::string& name : LanguageNames()) languages_->addItem(QString::fromStdString(name));
  oldLanguage_ = CurrentLanguage();
  languages_->setCurrentIndex(oldLanguage_);
}

int32_t OptionsDialog::ChosenLanguage() const {
  // An empty list, or a stored language the list does not hold, leaves the language as it was.
  const int index = languages_->currentIndex();
  return index >= 0 ? index : oldLanguage_;
}

void OptionsDialog::accept() {
  const bool accelerated = acceleration_->isChecked();
  const bool fused = fusion_->isChecked();
  const int32_t language = ChosenLanguage();
  StoreCurrentLanguage(language);
  StoreAccelerationSettings(accelerated ? 1 : 0, fused ? 1 : 0);
  chosen_ = {accelerated && cardAdmission_().Admitted(), fused};
  if (language != oldLanguage_) TellOfLanguageChange(language);
  if (darkScheme_->isChecked() != DarkSchemeShown()) {
    ApplyColourScheme(darkScheme_->isChecked() ? kDarkScheme : kLightScheme);
    RecolourAllWindows();
  }
  QDialog::accept();
}

void OptionsDialog::TellOfLanguageChange(int32_t language) {
  const auto text = [&](int32_t number) {
    return QString::fromStdString(LanguageStringFrom(localisationFile_, language, number));
  };
  ShowMessage(this, MessageKind::kInformation, text(kStringRestartCaption),
              text(kStringRestartText));
}

std::optional<AccelerationChoice> ShowOptionsDialog(
    QWidget* owner, std::function<AccelerationAdmission()> cardAdmission) {
  OptionsDialog dialog(owner, std::move(cardAdmission), LocalisationFilePath());
  if (dialog.exec() != QDialog::Accepted) return std::nullopt;
  return dialog.Chosen();
}
