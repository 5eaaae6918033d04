// "Batch denoising options": how the batch chooses profiles, and the JPEG quality of its results.
#pragma once

#include <QDialog>

class JpegQualityRow;

class BatchOptionsDialog : public QDialog {
  Q_OBJECT

 public:
  // Shows the stored JPEG quality.
  explicit BatchOptionsDialog(QWidget* owner);

  JpegQualityRow* QualityRow() const { return quality_; }

  // Stores the quality, then closes as accepted.
  void accept() override;

 private:
  JpegQualityRow* quality_;
};

// Modal over `owner`: true after OK, false after Cancel.
bool ShowBatchOptionsDialog(QWidget* owner);
