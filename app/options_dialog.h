// "Options": the interface language (used from the next start) and whether denoising uses the
// graphics card, shared with the CPU ("CPU+GPU Fusion") or alone ("Pure GPU").
#pragma once

#include <QDialog>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>

#include "engine/gpu_self_test.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QRadioButton;

class OptionsDialog : public QDialog {
  Q_OBJECT

 public:
  // `cardAdmission` says whether the graphics card can be used (a usable context, a passed
  // self-test and a card faster than the CPU), and why not; it is asked on opening and again on OK.
  // The language is stored in the user's settings; `localisationFile` holds the languages' texts.
  OptionsDialog(QWidget* owner, std::function<AccelerationAdmission()> cardAdmission,
                std::filesystem::path localisationFile);

  // Stores the choices, tells of a language change, then closes as accepted.
  void accept() override;

  // The acceleration the next runs use after OK: the card only when the box is checked and the card
  // is still admissible.
  AccelerationChoice Chosen() const { return chosen_; }

 private:
  void ShowAccelerationSettings();
  void ShowLanguages();
  int32_t ChosenLanguage() const;
  void TellOfLanguageChange(int32_t language);

  std::function<AccelerationAdmission()> cardAdmission_;
  std::filesystem::path localisationFile_;
  int32_t oldLanguage_ = 0;
  QComboBox* languages_;
  QCheckBox* acceleration_;
  QLabel* accelerationReason_;
  QRadioButton* fusion_;
  QRadioButton* pureGpu_;
  QCheckBox* darkScheme_;
  AccelerationChoice chosen_;
};

// Modal over `owner`: the acceleration chosen with OK, nothing after Cancel.
std::optional<AccelerationChoice> ShowOptionsDialog(
    QWidget* owner, std::function<AccelerationAdmission()> cardAdmission);
