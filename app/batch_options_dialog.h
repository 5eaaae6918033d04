// "Batch denoising options": which values each photo is denoised with (its stored profile, the
// automatic profile, or the panel's values), whether the folders below the chosen one are included,
// and the JPEG quality of the results. The choices are kept in the settings for the next run.
#pragma once

#include <QDialog>
#include <optional>

#include "session/batch_choices.h"

class QButtonGroup;
class QCheckBox;
class QLabel;
class JpegQualityRow;

class BatchOptionsDialog : public QDialog {
  Q_OBJECT

 public:
  // Shows the choices of the last run.
  explicit BatchOptionsDialog(QWidget* owner);

  JpegQualityRow* QualityRow() const { return quality_; }
  // The choices as the dialog shows them.
  BatchChoices Choices() const;

  // Stores the choices, then closes as accepted.
  void accept() override;

 private:
  void ExplainProfiles();

  QButtonGroup* profiles_;
  QLabel* explanation_;
  QCheckBox* subfolders_;
  JpegQualityRow* quality_;
};

// Modal over `owner`: the choices after OK, nothing after Cancel.
std::optional<BatchChoices> AskBatchChoices(QWidget* owner);
