#include "app/options_dialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QLabel>
#include <QRadioButton>
#include <QVBoxLayout>

#include "widgets/dialog_buttons.h"
#include "config/localisation.h"
#include "widgets/message_boxes.h"
#include "config/settings.h"
#include "theme/application_theme.h"
#include "theme/colour_scheme.h"

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

OptionsDialog::OptionsDialog(QWidget* owner, std::function<bool()> accelerationAdmissible,
                             std::filesystem::path localisationFile)
    : QDialog(owner),
      accelerationAdmissible_(std::move(accelerationAdmissible)),
      localisationFile_(std::move(localisationFile)) {
  setWindowTitle(Localised(kStringOptions));
  languages_ = new QComboBox(this);
  languages_->setObjectName("languageList");
  acceleration_ = new QCheckBox(Localised(kStringUseAcceleration), this);
  acceleration_->setObjectName("accelerationBox");
  fusion_ = new QRadioButton(Localised(kStringFusion), this);
  fusion_->setObjectName("fusionRadio");
  pureGpu_ = new QRadioButton(Localised(kStringPureGpu), this);
  pureGpu_->setObjectName("pureGpuRadio");
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
  layout->addWidget(fusion_);
  layout->addWidget(pureGpu_);
  layout->addWidget(darkScheme_);
  layout->addWidget(buttons);
}

void OptionsDialog::ShowAccelerationSettings() {
  const bool admissible = accelerationAdmissible_();
  acceleration_->setChecked(admissible && ReadSettingInt(kKeyHwAccel, 0) != 0);
  acceleration_->setEnabled(admissible);
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
  StoreCurrentLanguageIn(localisationFile_, language);
  StoreAccelerationSettings(accelerated ? 1 : 0, fused ? 1 : 0);
  chosen_ = {accelerated && accelerationAdmissible_(), fused};
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

std::optional<AccelerationChoice> ShowOptionsDialog(QWidget* owner,
                                                    std::function<bool()> accelerationAdmissible) {
  OptionsDialog dialog(owner, std::move(accelerationAdmissible), LocalisationFilePath());
  if (dialog.exec() != QDialog::Accepted) return std::nullopt;
  return dialog.Chosen();
}
