#include "app/file_dialogs.h"

#include <QGridLayout>
#include <QHeaderView>
#include <QMessageBox>
#include <QTreeView>

#include "app/jpeg_quality_row.h"
#include "app/save_name.h"
#include "config/localisation.h"
#include "picture/readable_photo_types.h"
#include "widgets/localised_text.h"

namespace fs = std::filesystem;

namespace {

fs::path ToPath(const QString& text) { return fs::path(text.toStdString()); }

QString ToText(const fs::path& path) { return QString::fromStdString(path.string()); }

bool IsFile(const fs::path& path) {
  std::error_code error;
  return fs::is_regular_file(path, error);
}

// A Qt name filter whose visible description is `patterns` (";"-separated) itself. Each pattern is
// listed in lower and upper case as well, since the desktop's dialogs match case-sensitively.
QString NameFilter(const std::string& patterns) {
  const QString description = QString::fromStdString(patterns);
  QStringList matched;
  for (const QString& pattern : description.split(';')) {
    matched << pattern << pattern.toUpper();
  }
  return description + " (" + matched.join(' ') + ")";
}

// "*.[jJ][pP][gG]": the extension in any case, for dialogs that compare names case-sensitively.
QString AnyCasePattern(const std::string& extension) {
  QString pattern = QStringLiteral("*.");
  for (const QChar c : QString::fromStdString(extension)) {
    pattern += c.isLetter() ? QStringLiteral("[%1%2]").arg(c.toLower()).arg(c.toUpper()) : c;
  }
  return pattern;
}

// "Photos (…)" with every readable photo type, then "All files (*)".
QStringList OpenFilters() {
  QStringList patterns;
  for (const std::string& extension : ReadablePhotoExtensions()) {
    patterns << AnyCasePattern(extension);
  }
  return {Localised(kStringPhotosFilter) + " (" + patterns.join(' ') + ")",
          Localised(kStringAllFilesFilter) + " (*)"};
}

// Qt's own dialog lists files in columns; each but the name takes the width of its contents, the
// name the rest, so that sizes, types and dates are read whole at the dialog's first size.
void MakeColumnsReadable(QFileDialog& dialog) {
  auto* files = dialog.findChild<QTreeView*>(QStringLiteral("treeView"));
  if (files == nullptr) return;
  QHeaderView* header = files->header();
  header->setStretchLastSection(false);
  header->setSectionResizeMode(QHeaderView::ResizeToContents);
  header->setSectionResizeMode(0, QHeaderView::Stretch);
}

}  // namespace

std::optional<fs::path> AskPhotoToOpen(QWidget* owner, const fs::path& folder) {
  QFileDialog dialog(owner, Localised(kStringOpen));
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  dialog.setFileMode(QFileDialog::ExistingFile);
  dialog.setOption(QFileDialog::HideNameFilterDetails);
  dialog.setNameFilters(OpenFilters());
  if (!folder.empty()) dialog.setDirectory(ToText(folder));
  MakeColumnsReadable(dialog);
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
  return ToPath(dialog.selectedFiles().front());
}

SaveDialog::SaveDialog(QWidget* owner, const fs::path& currentPhoto, uint32_t bitsPerComponent,
                       int32_t jpegQuality)
    : QFileDialog(owner, Localised(kStringSaveAs)),
      bitsPerComponent_(bitsPerComponent) {
  setOption(QFileDialog::DontUseNativeDialog);
  setOption(QFileDialog::HideNameFilterDetails);
  setAcceptMode(QFileDialog::AcceptSave);
  setFileMode(QFileDialog::AnyFile);
  QStringList filters;
  for (const std::string& pattern : SaveFilterPatterns(bitsPerComponent)) {
    filters << NameFilter(pattern);
  }
  setNameFilters(filters);
  const ProposedSave proposed = ProposeSaveName(currentPhoto, bitsPerComponent);
  selectNameFilter(filters.value(proposed.filterIndex - 1));
  if (currentPhoto.has_parent_path()) setDirectory(ToText(currentPhoto.parent_path()));
  selectFile(QString::fromStdString(proposed.name));

  MakeColumnsReadable(*this);
  quality_ = new JpegQualityRow(jpegQuality, this);
  if (auto* grid = qobject_cast<QGridLayout*>(layout())) {
    grid->addWidget(quality_, grid->rowCount(), 0, 1, grid->columnCount());
  }
  connect(this, &QFileDialog::filterSelected, this, &SaveDialog::FollowFilter);
  FollowFilter();
}

int32_t SaveDialog::SelectedFilterIndex() const {
  // Depending on the Qt version, a dialog that hides the filters' details names the selected one
  // by its whole text or by its description only.
  const QString selected = selectedNameFilter();
  const QStringList filters = nameFilters();
  for (qsizetype index = 0; index < filters.size(); ++index) {
    if (filters[index] == selected || filters[index].startsWith(selected + " (")) {
      return static_cast<int32_t>(index) + 1;
    }
  }
  return 0;
}

bool SaveDialog::QualityRowEnabled() const { return quality_->isEnabled(); }

std::optional<SaveChoice> SaveDialog::Choice() const {
  const QStringList files = selectedFiles();
  if (files.isEmpty() || files.front().isEmpty()) return std::nullopt;
  return SaveChoice{
      ResolveSaveName(ToPath(files.front()), bitsPerComponent_, SelectedFilterIndex()),
      quality_->Quality()};
}

void SaveDialog::accept() {
  const std::optional<SaveChoice> choice = Choice();
  const bool completed = choice && choice->path != ToPath(selectedFiles().front());
  if (completed && IsFile(choice->path) && !ConfirmReplacing(choice->path)) return;
  QFileDialog::accept();
}

bool SaveDialog::ConfirmReplacing(const fs::path& file) {
  const QString question = Localised(kStringReplaceFile).arg(ToText(file.filename()));
  return QMessageBox::warning(this, windowTitle(), question, QMessageBox::Yes | QMessageBox::No) ==
         QMessageBox::Yes;
}

void SaveDialog::FollowFilter() {
  quality_->setEnabled(IsJpegFilter(bitsPerComponent_, SelectedFilterIndex()));
}

std::optional<SaveChoice> AskSaveTarget(QWidget* owner, const fs::path& currentPhoto,
                                        uint32_t bitsPerComponent, int32_t jpegQuality) {
  SaveDialog dialog(owner, currentPhoto, bitsPerComponent, jpegQuality);
  if (dialog.exec() != QDialog::Accepted) return std::nullopt;
  return dialog.Choice();
}
