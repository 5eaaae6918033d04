// "Options": the interface language (used from the next start) and whether denoising uses the
// graphics card, shared with the CPU ("CPU+GPU Fusion") or alone ("Pure GPU").
#pragma once

#include <QDialog>
#include <cstdint>
#include <filesystem>
#include <functional>

class QCheckBox;
class QComboBox;
class QRadioButton;

class OptionsDialog : public QDialog {
  Q_OBJECT

 public:
  // `accelerationAdmissible` says whether the graphics card can be used now (a usable context and
  // a passed self-test); it is asked on opening and again on OK. The language is stored in
  // `localisationFile`.
  OptionsDialog(QWidget* owner, std::function<bool()> accelerationAdmissible,
                std::filesystem::path localisationFile);

  // Stores the choices, tells of a language change, then closes with 1.
  void accept() override;

 private:
  void ShowAccelerationSettings();
  void ShowLanguages();
  int32_t ChosenLanguage() const;
  void TellOfLanguageChange(int32_t language);

  std::function<bool()> accelerationAdmissible_;
  std::filesystem::path localisationFile_;
  int32_t oldLanguage_ = 0;
  QComboBox* languages_;
  QCheckBox* acceleration_;
  QRadioButton* fusion_;
  QRadioButton* pureGpu_;
  QCheckBox* darkScheme_;
};

// Modal over `owner`: 1 after OK, 2 after Cancel.
int ShowOptionsDialog(QWidget* owner, std::function<bool()> accelerationAdmissible);
