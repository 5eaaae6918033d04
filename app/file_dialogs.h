// The open and save dialogs of the main window. Both are Qt's file dialogs; the save dialog is
// Qt's own (not the desktop's) so that it can carry the JPEG quality row below the file list.
#pragma once

#include <QFileDialog>
#include <cstdint>
#include <filesystem>
#include <optional>

class JpegQualityRow;

// "Open...", starting in `folder` (when not empty): the photos of every readable type in any case,
// or all files; nullopt when cancelled.
std::optional<std::filesystem::path> AskPhotoToOpen(QWidget* owner,
                                                    const std::filesystem::path& folder = {});

struct SaveChoice {
  std::filesystem::path path;  // with the extension of the chosen filter when none was typed
  int32_t jpegQuality;
};

class SaveDialog : public QFileDialog {
  Q_OBJECT

 public:
  // Proposes "<photo name>-denoised" in the photo's folder with the filter of the photo's type.
  SaveDialog(QWidget* owner, const std::filesystem::path& currentPhoto, uint32_t bitsPerComponent,
             int32_t jpegQuality);

  // The selected filter, counting from 1.
  int32_t SelectedFilterIndex() const;
  bool QualityRowEnabled() const;
  JpegQualityRow* QualityRow() const { return quality_; }

  // The file and quality the dialog stands for now (after OK: the user's choice); nullopt while
  // no name is typed.
  std::optional<SaveChoice> Choice() const;

  // The name is completed with the filter's extension only after the dialog closes, so a file
  // that exists under the completed name is asked about here.
  void accept() override;

 private:
  void FollowFilter();
  bool ConfirmReplacing(const std::filesystem::path& file);

  uint32_t bitsPerComponent_;
  JpegQualityRow* quality_;
};

// "Save As...": nullopt when cancelled. The caller saves, and stores the quality only when the
// save succeeded.
std::optional<SaveChoice> AskSaveTarget(QWidget* owner, const std::filesystem::path& currentPhoto,
                                        uint32_t bitsPerComponent, int32_t jpegQuality);
