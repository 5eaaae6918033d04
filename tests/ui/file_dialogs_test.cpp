// The save dialog's rules, the save dialog with its quality row, and the open dialog's filters and
// columns.
#include "app/file_dialogs.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QHeaderView>
#include <QMessageBox>
#include <QRegularExpression>
#include <QSlider>
#include <QTest>
#include <QTimer>
#include <QTreeView>
#include <fstream>

#include "app/jpeg_quality_row.h"
#include "app/save_name.h"
#include "support/scoped_config_home.h"

namespace fs = std::filesystem;

namespace {

TEST(SaveName, TheProposalCutsTheExtensionAndPicksTheFilterOfThePhotosType) {
  const struct {
    const char* photo;
    uint32_t bits;
    const char* name;
    int32_t filter;
  } cases[] = {
      {"/photos/IMG_0001.JPG", 8, "IMG_0001-denoised", 4},
      {"/photos/scan.bmp", 8, "scan-denoised", 1},
      {"/photos/a.b.png", 16, "a.b-denoised", 2},
      {"/photos/scan.bmp", 16, "scan-denoised", 1},
      {"/photos/raw.jpeg", 8, "raw-denoised", 1},
      {"/photos/noextension", 8, "noextension-denoised", 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.photo);
    const ProposedSave proposed = ProposeSaveName(c.photo, c.bits);
    EXPECT_EQ(proposed.name, c.name);
    EXPECT_EQ(proposed.filterIndex, c.filter);
  }
}

TEST(SaveName, AKnownEndingKeepsTheTypedNameOtherwiseTheFiltersExtensionIsAppended) {
  const struct {
    const char* typed;
    uint32_t bits;
    int32_t filter;
    const char* path;
  } cases[] = {
      {"/out/result.png", 8, 4, "/out/result.png"},
      {"/out/result", 8, 2, "/out/result.tif"},
      {"/out/RESULT.JPG", 8, 1, "/out/RESULT.JPG"},
      {"/out/result", 16, 2, "/out/result.png"},
      {"/out/result.jpg", 16, 1, "/out/result.jpg.tif"},
      {"/out/my.photo", 8, 4, "/out/my.photo.jpg"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.typed);
    EXPECT_EQ(ResolveSaveName(c.typed, c.bits, c.filter), fs::path(c.path));
  }
  EXPECT_EQ(SaveFilterPatterns(8), (std::vector<std::string>{"*.bmp", "*.tif", "*.png", "*.jpg"}));
  EXPECT_EQ(SaveFilterPatterns(16), (std::vector<std::string>{"*.tif", "*.png"}));
}

// Photos "opened" from a temporary folder, which is also where the dialog saves and where Qt's file
// dialog keeps its state.
class SaveDialogTest : public ::testing::Test {
 protected:
  fs::path Photo(const char* name) const { return config_.Folder() / name; }

  // What the file-type list does when the user picks an entry.
  static void ChooseFilter(SaveDialog& dialog, int32_t filterIndex) {
    auto* types = dialog.findChild<QComboBox*>("fileTypeCombo");
    ASSERT_NE(types, nullptr);
    types->setCurrentIndex(filterIndex - 1);
    emit types->activated(filterIndex - 1);
    emit types->textActivated(types->currentText());
  }

  ScopedConfigHome config_;
};

TEST_F(SaveDialogTest, AnEightBitJpegOffersFourFiltersAndTheQualityRowOnlyWithJpeg) {
  SaveDialog dialog(nullptr, Photo("IMG_0001.JPG"), 8, 85);
  dialog.show();
  EXPECT_EQ(dialog.windowTitle(), "Save As...");
  EXPECT_EQ(dialog.nameFilters().size(), 4);
  EXPECT_EQ(dialog.SelectedFilterIndex(), 4);
  EXPECT_TRUE(dialog.QualityRowEnabled());
  EXPECT_EQ(dialog.QualityRow()->Quality(), 85);
  ChooseFilter(dialog, 2);
  EXPECT_EQ(dialog.SelectedFilterIndex(), 2);
  EXPECT_FALSE(dialog.QualityRowEnabled());
  ChooseFilter(dialog, 4);
  EXPECT_TRUE(dialog.QualityRowEnabled());
}

TEST_F(SaveDialogTest, ASixteenBitPictureGetsTwoFiltersAndNoQualityRow) {
  SaveDialog dialog(nullptr, Photo("scan.png"), 16, 85);
  dialog.show();
  ASSERT_EQ(dialog.nameFilters().size(), 2);
  EXPECT_EQ(dialog.SelectedFilterIndex(), 2);
  EXPECT_FALSE(dialog.QualityRowEnabled());
  ChooseFilter(dialog, 1);
  EXPECT_FALSE(dialog.QualityRowEnabled());
}

TEST_F(SaveDialogTest, ANameTypedWithoutExtensionIsSavedWithTheFiltersOne) {
  SaveDialog dialog(nullptr, Photo("IMG_0001.JPG"), 8, 85);
  dialog.show();
  ChooseFilter(dialog, 2);
  dialog.selectFile("result");
  dialog.accept();
  ASSERT_EQ(dialog.result(), QDialog::Accepted);
  const std::optional<SaveChoice> choice = dialog.Choice();
  ASSERT_TRUE(choice);
  EXPECT_EQ(fs::weakly_canonical(choice->path), fs::weakly_canonical(Photo("result.tif")));
}

TEST_F(SaveDialogTest, AFileUnderTheCompletedNameIsReplacedOnlyWhenTheUserAgrees) {
  std::ofstream(Photo("result.tif")) << "earlier result";
  const struct {
    QMessageBox::StandardButton answer;
    QDialog::DialogCode result;
  } cases[] = {{QMessageBox::No, QDialog::Rejected}, {QMessageBox::Yes, QDialog::Accepted}};
  for (const auto& c : cases) {
    SaveDialog dialog(nullptr, Photo("IMG_0001.JPG"), 8, 85);
    dialog.show();
    ChooseFilter(dialog, 2);
    dialog.selectFile("result");
    bool asked = false;
    QTimer::singleShot(0, [&] {
      if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
        asked = true;
        box->button(c.answer)->click();
      }
    });
    dialog.accept();
    EXPECT_TRUE(asked);
    EXPECT_EQ(dialog.result(), c.result);
    EXPECT_EQ(dialog.isVisible(), c.result == QDialog::Rejected);
  }
}

TEST_F(SaveDialogTest, TheSliderShowsQualitiesWithinTenAndAHundred) {
  const struct { int32_t stored, shown; } cases[] = {{0, 10}, {10, 10}, {55, 55}, {150, 100}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.stored);
    SaveDialog dialog(nullptr, Photo("a.jpg"), 8, c.stored);
    EXPECT_EQ(dialog.QualityRow()->Slider()->value(), c.shown);
    EXPECT_EQ(dialog.QualityRow()->ValueText(), QString::number(c.shown));
    EXPECT_EQ(dialog.Choice()->jpegQuality, c.shown);
  }
}

// Every name that opens is offered, in any case, and the columns show sizes and dates whole.
TEST(OpenDialog, OffersEveryReadablePhotoInAnyCaseAndAllFilesWithReadableColumns) {
  const ScopedConfigHome config;  // where Qt's file dialog keeps its state, and the photos
  const fs::path folder = config.Folder() / "photos";
  fs::create_directories(folder);
  for (const char* name : {"a.jpeg", "B.TIFF", "c.Png", "d.JPG", "notes.txt", "e.gif"}) {
    std::ofstream(folder / name) << std::string(123456, 'x');
  }
  QString title;
  QStringList filterTexts;
  QStringList photoPatterns;
  int narrowColumns = -1;
  QTimer::singleShot(0, [&] {
    auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
    if (!dialog) return;
    title = dialog->windowTitle();
    if (auto* types = dialog->findChild<QComboBox*>("fileTypeCombo")) {
      for (int i = 0; i < types->count(); ++i) filterTexts << types->itemText(i);
    }
    const QString photos = dialog->nameFilters().value(0);
    const qsizetype open = photos.indexOf('(');
    photoPatterns = photos.mid(open + 1, photos.lastIndexOf(')') - open - 1).split(' ');
    auto* files = dialog->findChild<QTreeView*>("treeView");
    if (files &&
        QTest::qWaitFor([&] { return files->model()->rowCount(files->rootIndex()) == 4; })) {
      // A column is too narrow when some text in it is wider than the column.
      narrowColumns = 0;
      const QAbstractItemModel& model = *files->model();
      for (int column = 1; column < model.columnCount(files->rootIndex()); ++column) {
        int widest = 0;
        for (int row = 0; row < model.rowCount(files->rootIndex()); ++row) {
          const QString text = model.index(row, column, files->rootIndex()).data().toString();
          widest = std::max(widest, files->fontMetrics().horizontalAdvance(text));
        }
        narrowColumns += files->header()->sectionSize(column) < widest;
      }
    }
    dialog->reject();
  });
  EXPECT_FALSE(AskPhotoToOpen(nullptr, folder));
  EXPECT_EQ(title, "Open...");
  EXPECT_EQ(filterTexts, (QStringList{"Photos", "All files"}));
  const auto offered = [&](const QString& name) {
    for (const QString& pattern : photoPatterns) {
      if (QRegularExpression(QRegularExpression::wildcardToRegularExpression(pattern))
              .match(name)
              .hasMatch()) {
        return true;
      }
    }
    return false;
  };
  for (const char* name : {"a.jpeg", "B.TIFF", "c.Png", "d.JPG", "f.tga", "g.PPM", "h.webp"}) {
    EXPECT_TRUE(offered(name)) << name;
  }
  for (const char* name : {"notes.txt", "e.gif", "f.hdr", "jpg"})
    EXPECT_FALSE(offered(name)) << name;
  EXPECT_EQ(narrowColumns, 0);
}

}  // namespace
