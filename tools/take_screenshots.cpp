// Renders the screenshots of the documentation on Qt's off-screen platform, from a real camera
// photo: take_screenshots PHOTO OUTPUT_FOLDER. Among them the application in its second language
// (German), the question before an unsaved result goes, a tooltip and a small window. The settings
// and profiles it touches live in a temporary folder, never the user's. A crop of the photo with
// added noise (fixed seed) stands in for a photo taken at high ISO, and keeps the photo's EXIF
// record.
#include <QApplication>
#include <QMenu>
#include <QMessageBox>
#include <QPainter>
#include <QProgressBar>
#include <QPushButton>
#include <QThread>
#include <QToolBar>
#include <QToolTip>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <random>
#include <utility>
#include <vector>

#include "app/batch_options_dialog.h"
#include "app/batch_progress_window.h"
#include "app/file_dialogs.h"
#include "app/image_view.h"
#include "app/main_window.h"
#include "app/options_dialog.h"
#include "app/qt_translations.h"
#include "config/localisation.h"
#include "panel/adding_configuration_dialog.h"
#include "panel/parameters_panel.h"
#include "picture/photo_loading.h"
#include "picture/photo_saving.h"
#include "theme/application_theme.h"
#include "tools/offscreen_settings.h"
#include "widgets/localised_text.h"
#include "widgets/message_boxes.h"

namespace fs = std::filesystem;

namespace {

fs::path outputFolder;

void Settle(int milliseconds = 50) {
  for (int i = 0; i < milliseconds / 10; ++i) {
    QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    QThread::msleep(10);
  }
}

void Save(const QPixmap& picture, const char* name) {
  const fs::path path = outputFolder / name;
  if (picture.save(QString::fromStdString(path.string()))) {
    std::printf("%s\n", path.c_str());
  } else {
    std::fprintf(stderr, "take_screenshots: cannot write %s\n", path.c_str());
  }
}

void SaveWidget(QWidget& widget, const char* name) {
  Settle();
  Save(widget.grab(), name);
}

// A 1800 × 1200 crop of the centre of the photo with Gaussian noise of sigma 8 (fixed seed),
// written as JPEG with the photo's metadata.
bool WriteNoisyCrop(const fs::path& photo, const fs::path& output) {
  PhotoDocument document;
  if (OpenPhoto(document, photo, true)) return false;
  const SBxPicBuf& source = document.sourcePicture;
  const int32_t width = std::min(source.width, 1800), height = std::min(source.height, 1200);
  if (CBxPicBufAPI::ReinitHeap(document.denoisedPicture, width, height, source.components,
                               source.bitsPerComponent)) {
    return false;
  }
  CBxPicBufAPI::CopyRect(document.denoisedPicture, source, {0, 0},
                         {(source.width - width) / 2, (source.height - height) / 2},
                         {width, height});
  std::mt19937 random(2026);
  std::normal_distribution<double> noise(0.0, 8.0);
  SBxPicBuf& crop = document.denoisedPicture;
  for (int32_t y = 0; y < crop.height; ++y) {
    uint8_t* row = crop.data + static_cast<int64_t>(y) * crop.stride;
    for (int32_t x = 0; x < crop.width * static_cast<int32_t>(crop.components); ++x) {
      row[x] = static_cast<uint8_t>(std::clamp(row[x] + noise(random), 0.0, 255.0));
    }
  }
  CBxPicBufAPI::DoneHeap(document.alphaPlane);
  const SaveFailure failure = SavePhoto(document, output, 95);
  ReleasePhotoDocument(document);
  return failure == SaveFailure::kNone;
}

bool WaitFor(const std::function<bool()>& done, int seconds) {
  for (int i = 0; i < seconds * 100 && !done(); ++i) Settle(10);
  return done();
}

// Popups (menus, tooltips) drawn over the window where the user sees them: the off-screen
// platform's screen is smaller than the window, so they are placed here rather than by the
// platform.
QPixmap WithPopups(QWidget& window, const std::vector<std::pair<QWidget*, QPoint>>& popups) {
  QPixmap picture = window.grab();
  QPainter painter(&picture);
  for (const auto& [popup, at] : popups) painter.drawPixmap(at, popup->grab());
  return picture;
}

// The popup menu below the Menu button, its File submenu open beside it.
QPixmap WithPopupMenu(MainWindow& window, QMenu& menu) {
  QMenu* file = menu.actions().first()->menu();
  menu.setActiveAction(menu.actions().first());
  file->adjustSize();
  menu.adjustSize();
  const QPoint root(window.width() - menu.width() - 4, window.ToolBar()->height());
  const QPoint sub(root.x() - file->width() + 2, root.y());
  return WithPopups(window, {{&menu, root}, {file, sub}});
}

// The tooltip of a control as the mouse resting on it brings it up, below and right of the cursor.
QPixmap WithTooltip(MainWindow& window, QWidget& control) {
  const QPoint cursor = control.mapTo(&window, control.rect().center());
  QToolTip::showText(control.mapToGlobal(control.rect().center()), control.toolTip(), &control);
  Settle(100);
  QPixmap picture = window.grab();
  for (QWidget* top : QApplication::topLevelWidgets()) {
    if (!top->isVisible() || !top->inherits("QTipLabel")) continue;
    // Kept within the window, as the desktop keeps a tooltip on the screen.
    const QPoint at(std::min(cursor.x() + 12, window.width() - top->width() - 4), cursor.y() + 20);
    picture = WithPopups(window, {{top, at}});
  }
  QToolTip::hideText();
  return picture;
}

// The question before an unsaved result goes, as closing the window asks it.
void SaveQuestion(MainWindow& window, const char* name) {
  const QString photo = QString::fromStdString(window.Document().path.filename().string());
  const std::unique_ptr<QMessageBox> box =
      SaveQuestionBox(&window, window.windowTitle(), Localised(kStringUnsavedResult).arg(photo));
  box->show();
  SaveWidget(*box, name);
}

// The application after a start in German: the main window on the noisy photo, and the question
// with Qt's own buttons in German.
void GermanScreenshots(const fs::path& noisy) {
  StoreCurrentLanguage(1);
  LoadLocalisation();
  LoadLanguageList();
  InstallQtTranslations(LanguageAcronym(CurrentLanguage()));
  MainWindow german;
  german.resize(1280, 880);
  german.show();
  german.OpenPhotoFile(noisy);
  SaveWidget(german, "german.png");
  SaveQuestion(german, "german-save-question.png");
  german.CloseWithoutQuestions();
}

}  // namespace

int main(int argc, char** argv) {
  const OffscreenSettings settings("screenshots");
  if (settings.Folder().empty()) return 1;
  QApplication application(argc, argv);
  if (argc != 3) {
    std::fprintf(stderr, "usage: take_screenshots PHOTO OUTPUT_FOLDER\n");
    return 1;
  }
  const fs::path photo = argv[1];
  outputFolder = argv[2];
  fs::create_directories(outputFolder);
  const fs::path noisy = settings.Folder() / "DSC00042.JPG";
  if (!fs::exists(photo) || !WriteNoisyCrop(photo, noisy)) {
    std::fprintf(stderr, "take_screenshots: cannot read %s\n", argv[1]);
    return 2;
  }
  LoadLocalisation();
  ApplyColourScheme(2);

  // The crash warning, as the start after an unclean exit shows it.
  QMessageBox warning(QMessageBox::Information, Localised(kStringWarning),
                      Localised(kStringCrashedLastTime));
  warning.show();
  SaveWidget(warning, "crash-warning.png");
  warning.hide();
  SetMessageRecorder([](MessageKind, const QString&, const QString&) {});

  MainWindow window;
  window.resize(1280, 880);
  window.show();
  window.OpenPhotoFile(photo);
  // The preview is computed on its worker: the screenshots show its result.
  const auto previewShown = [&window] { return !window.Session().PreviewWorking(); };
  WaitFor(previewShown, 60);
  SaveWidget(window, "main-window.png");

  const std::unique_ptr<QMenu> menu = window.BuildPopupMenu();
  Save(WithPopupMenu(window, *menu), "popup-menu.png");

  OptionsDialog options(
      &window, [&] { return window.Session().CardAdmission(); }, LocalisationFilePath());
  options.show();
  SaveWidget(options, "options-dialog.png");
  options.hide();

  SaveDialog save(&window, photo, 8, 85);
  save.resize(900, 560);
  save.show();
  SaveWidget(save, "save-dialog.png");
  save.hide();

  // The noisy crop: the panel with its information, the preview rectangle at 100 %.
  window.OpenPhotoFile(noisy);
  window.ImageViewWidget()->Zoom100();
  window.Panel()->PhotoOpened(window.ImageViewWidget()->width(), true);
  WaitFor(previewShown, 60);
  SaveWidget(window, "preview-rectangle.png");
  SaveWidget(*window.Panel(), "panel-manual-tuning.png");
  Save(WithTooltip(window, *window.Panel()->findChild<QWidget*>(QStringLiteral("slider0"))),
       "tooltip.png");

  AddingConfigurationDialog adding(QStringLiteral("<<Unknown Camera>>"), QStringLiteral("100"),
                                   window.Document().exif, &window);
  adding.show();
  SaveWidget(adding, "adding-configuration.png");
  adding.hide();

  window.ImageViewWidget()->ZoomToFit();
  window.Panel()->findChild<QPushButton*>(QStringLiteral("denoise"))->click();
  auto* bar = window.Panel()->findChild<QProgressBar*>();
  WaitFor([&] { return bar && bar->maximum() > 0 && bar->value() > bar->maximum() / 3; }, 60);
  SaveWidget(window, "full-run-in-progress.png");
  WaitFor(
      [&] { return !window.RunActive() && window.Panel()->State() == PanelState::kResultShown; },
      120);
  window.ImageViewWidget()->Zoom100();
  SaveWidget(window, "result-shown.png");
  SaveQuestion(window, "save-question.png");

  // A laptop's screen: the panel scrolls.
  window.resize(1024, 600);
  window.ImageViewWidget()->ZoomToFit();
  SaveWidget(window, "small-window.png");

  BatchOptionsDialog batchOptions(&window);
  batchOptions.show();
  SaveWidget(batchOptions, "batch-options.png");
  batchOptions.hide();

  BatchProgressWindow batch(&window, 12, [] {});
  batch.show();
  for (int second = 0; second < 30; ++second) batch.AdvanceOneSecond();
  for (int photo = 0; photo < 3; ++photo) batch.PhotoDone();
  SaveWidget(batch, "batch-progress.png");
  batch.hide();

  window.CloseWithoutQuestions();
  GermanScreenshots(noisy);
  return 0;
}
