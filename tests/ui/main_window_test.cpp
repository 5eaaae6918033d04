// The main window end to end on the off-screen platform: start-up and the crash flag, opening by
// drop and by stepping, the zoom keys, Close, and full-size runs (finished, and cut short by
// closing the window).
#include "app/main_window.h"

#include <GL/gl.h>
#include <gtest/gtest.h>

#include <QApplication>
#include <QCoreApplication>
#include <QDropEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QSlider>
#include <QTest>
#include <QUrl>
#include <cmath>
#include <csignal>
#include <vector>

#include "app/acceleration_text.h"
#include "app/image_view.h"
#include "app/termination_signals.h"
#include "app/zoom_box.h"
#include "config/localisation.h"
#include "config/settings.h"
#include "engine/denoise.h"
#include "gpu/gpgpu.h"
#include "panel/parameters_panel.h"
#include "picture/photo_saving.h"
#include "support/photo_files.h"
#include "support/scoped_config_home.h"
#include "ui/main_window_fixture.h"
#include "widgets/localised_text.h"
#include "widgets/message_boxes.h"

namespace fs = std::filesystem;

TEST_F(MainWindowTest, TheCrashWarningShowsOnceAfterARunThatDidNotEndInOrder) {
  const QString warning = QString::fromStdString(LocalisedString(kStringCrashedLastTime));
  {
    MainWindow first;  // a first start on a new account: no warning
    EXPECT_TRUE(messages_.empty());
    EXPECT_EQ(ReadSettingInt(kKeyCrashedLastTime, -1), 1);
  }  // destroyed without closing, as a killed process would leave it
  {
    // The warning waits for the window to be on screen, so that it stands over it.
    MainWindow second;
    bool ownerShown = false;
    SetMessageRecorder([&](MessageKind, const QString& caption, const QString& text) {
      messages_.push_back({caption, text});
      ownerShown = second.isVisible();
    });
    QCoreApplication::processEvents();
    EXPECT_TRUE(messages_.empty());
    second.show();
    WaitUntil([&] { return !messages_.empty(); });
    ASSERT_EQ(messages_.size(), 1u);
    EXPECT_TRUE(ownerShown);
    EXPECT_EQ(messages_[0].text, warning);
    EXPECT_EQ(messages_[0].caption, QString::fromStdString(LocalisedString(kStringWarning)));
    second.close();
  }
  EXPECT_EQ(ReadSettingInt(kKeyCrashedLastTime, -1), 0);
  MainWindow third;
  third.show();
  QCoreApplication::processEvents();
  EXPECT_EQ(messages_.size(), 1u);
  third.close();
}

TEST_F(MainWindowTest, ADropOpensOnlyTheFirstFileAndPageDownWrapsThroughTheFolder) {
  MainWindow window;
  const fs::path a = Photo("a.png"), b = Photo("b.png"), c = Photo("c.png");
  Drop(window, {b, a, c});
  EXPECT_EQ(window.Document().path, b);
  EXPECT_EQ(window.windowTitle(), QStringLiteral("Stillgrain - %1").arg(QString::fromStdString(b.string())));
  EXPECT_FALSE(window.SaveAsAction()->isEnabled());  // nothing denoised yet
  EXPECT_TRUE(window.ZoomBoxWidget()->isEnabled());

  window.StepPhoto(StepDirection::kNext);
  EXPECT_EQ(window.Document().path, c);
  window.StepPhoto(StepDirection::kNext);
  EXPECT_EQ(window.Document().path, a);
  window.StepPhoto(StepDirection::kPrevious);
  EXPECT_EQ(window.Document().path, c);
  window.close();
}

// The view's keys act where the view has the focus, which it has at start and after an open; a
// focused control keeps its own keys.
TEST_F(MainWindowTest, KeysGoWhereTheFocusIs) {
  MainWindow window;
  window.show();
  window.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
  ImageView* view = window.ImageViewWidget();
  EXPECT_EQ(QApplication::focusWidget(), view);
  ASSERT_TRUE(window.OpenPhotoFile(Photo("a.png")));
  Photo("b.png");
  EXPECT_EQ(QApplication::focusWidget(), view);
  const QString zoomText = window.ZoomBoxWidget()->currentText();
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_Minus);
  EXPECT_NE(window.ZoomBoxWidget()->currentText(), zoomText);  // zoomed, not typed into the box
  EXPECT_FALSE(window.ZoomBoxWidget()->currentText().contains('-'));
  window.ImageViewWidget()->ZoomToFit();

  auto* slider = window.Panel()->findChild<QSlider*>("slider0");
  slider->setFocus();
  const int position = slider->value();
  const double centreX = window.View().viewCenterX;
  QTest::keyClick(slider, Qt::Key_PageUp);
  QTest::keyClick(slider, Qt::Key_Left);
  EXPECT_EQ(window.Document().path.filename(), "a.png");
  EXPECT_EQ(window.View().viewCenterX, centreX);
  EXPECT_EQ(slider->value(), position);  // one step up, one step down

  view->setFocus();
  QTest::keyClick(view, Qt::Key_Right);
  EXPECT_EQ(window.View().viewCenterX, centreX + kKeyPanStep);
  QTest::keyClick(view, Qt::Key_PageDown);
  EXPECT_EQ(window.Document().path.filename(), "b.png");
  EXPECT_EQ(window.View().viewCenterX, view->width() / 2.0);  // the pan stayed with a.png
  window.close();
}

// Asked for the graphics card, the window uses it only when it is admitted, and says why not.
TEST_F(MainWindowTest, TheCardIsUsedOnlyWhenAdmittedAndTheWindowSaysWhyNot) {
  StoreAccelerationSettings(1, 0);
  MainWindow window;
  const AccelerationAdmission& card = window.Session().CardAdmission();
  EXPECT_EQ(window.Session().Acceleration().useGpu, card.Admitted());
  EXPECT_EQ(window.StatusText(), AccelerationReason(card));
  if (!card.Admitted()) {
    EXPECT_FALSE(window.StatusText().isEmpty());
  }
  if (window.Session().Gpu() && window.Session().Gpu()->usable) {
    const std::string renderer = reinterpret_cast<const char*>(glGetString(GL_RENDERER));
    if (renderer.find("llvmpipe") != std::string::npos) {
      EXPECT_EQ(card.verdict, AccelerationVerdict::kSlowerThanCpu);
    }
  }
  window.close();
}

// Image Info follows the photo on screen, also when Page Down brought it, and names its own size.
TEST_F(MainWindowTest, ImageInfoDescribesTheOpenPhotoWhicheverWayItCame) {
  const fs::path camera = Photo("a.jpg", 240, 160);
  testphotos::WriteExif(camera, {{"Exif.Image.Make", "Acme"},
                                 {"Exif.Image.Model", "One"},
                                 {"Exif.Photo.ISOSpeedRatings", "800"},
                                 {"Exif.Photo.PixelXDimension", "6000"},
                                 {"Exif.Photo.PixelYDimension", "4000"}});
  Photo("b.png", 64, 48);
  const fs::path scan = Photo("c.tif", 80, 60);
  testphotos::WriteExif(scan, {{"Exif.Photo.ISOSpeedRatings", "400"}});
  MainWindow window;
  const auto info = [&] {
    return window.Panel()->findChild<QLabel*>("infoText")->text().toStdString();
  };
  ASSERT_TRUE(window.OpenPhotoFile(camera));
  EXPECT_EQ(info(), "Maker:  Acme\nType:  One\nResolution:  240 \u00d7 160\nISO:  800");
  window.StepPhoto(StepDirection::kNext);
  ASSERT_EQ(window.Document().path.filename(), "b.png");
  EXPECT_EQ(info(), "Resolution:  64 \u00d7 48");
  window.StepPhoto(StepDirection::kNext);
  EXPECT_EQ(info(), "Resolution:  80 \u00d7 60\nISO:  400");
  window.close();
}

TEST_F(MainWindowTest, PlusFiveTimesMultipliesTheZoomWithoutLimitAndCloseEmptiesTheWindow) {
  MainWindow window;
  window.show();
  window.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
  ASSERT_TRUE(window.OpenPhotoFile(Photo("small.png", 40, 30)));
  const double fitted = window.View().zoom;
  EXPECT_LE(fitted, 8.0);
  for (int i = 0; i < 5; ++i) QTest::keyClick(QApplication::focusWidget(), Qt::Key_Plus);
  EXPECT_NEAR(window.View().zoom, fitted * std::pow(1.2, 5), 1e-9);
  EXPECT_GT(window.View().zoom, 8.0);

  window.CommandClose();
  EXPECT_EQ(window.windowTitle(), QStringLiteral("Stillgrain"));
  EXPECT_EQ(window.Document().sourcePicture.data, nullptr);
  EXPECT_FALSE(window.SaveAsAction()->isEnabled());
  EXPECT_FALSE(window.ZoomBoxWidget()->isEnabled());
  EXPECT_EQ(window.StatusText(), QString::fromStdString(LocalisedString(1)));
  window.close();
}

TEST_F(MainWindowTest, AFullSizeRunDenoisesThePhotoOnTheWorkerAndReportsToThePanel) {
  MainWindow window;
  ASSERT_TRUE(window.OpenPhotoFile(Photo("run.png", 96, 80)));
  const PhotoDocument& document = window.Document();
  auto* denoise = window.Panel()->findChild<QPushButton*>(QStringLiteral("denoise"));
  ASSERT_NE(denoise, nullptr);
  denoise->click();
  WaitUntil([&] { return !window.RunActive() && window.Panel()->State() == PanelState::kResultShown; });
  EXPECT_EQ(window.Panel()->State(), PanelState::kResultShown);
  EXPECT_TRUE(window.ToolBar()->isEnabled());
  const size_t bytes = static_cast<size_t>(document.sourcePicture.stride) * document.sourcePicture.height;
  EXPECT_NE(std::memcmp(document.sourcePicture.data, document.denoisedPicture.data, bytes), 0);
  window.close();
}

// During a run the panel's bar says how far it is and how long it still needs; an abort is said
// in the status line.
TEST_F(MainWindowTest, ARunShowsPercentAndTimeLeftAndAnAbortIsSaid) {
  MainWindow window;
  window.show();
  ASSERT_TRUE(window.OpenPhotoFile(Photo("big.png", 1600, 1200)));
  window.Panel()->findChild<QPushButton*>(QStringLiteral("denoise"))->click();
  auto* bar = window.Panel()->findChild<QProgressBar*>("progress");
  WaitUntil([&] { return bar->value() > bar->minimum() || !window.RunActive(); });
  const QRegularExpression shape(QStringLiteral("^\\d+ % \u2014 \\d\\d:\\d\\d left$"));
  if (window.RunActive()) {
    EXPECT_TRUE(shape.match(bar->text()).hasMatch()) << bar->text().toStdString();
    window.Panel()->findChild<QPushButton*>(QStringLiteral("denoise"))->click();  // Abort
  }
  WaitUntil([&] { return !window.RunActive(); });
  EXPECT_EQ(window.StatusText(), Localised(kStringRunAborted));
  window.close();
}

TEST_F(MainWindowTest, ClosingDuringAFullSizeRunStopsItAndEndsInOrder) {
  MainWindow window;
  ASSERT_TRUE(window.OpenPhotoFile(Photo("big.png", 1600, 1200)));
  window.Panel()->findChild<QPushButton*>(QStringLiteral("denoise"))->click();
  WaitUntil([&] { return window.RunActive(); });
  window.close();
  EXPECT_FALSE(window.RunActive());
  EXPECT_EQ(ReadSettingInt(kKeyCrashedLastTime, -1), 0);
}

// A damaged photo is opened only when the user asks for what can be read of it.
TEST_F(MainWindowTest, ADamagedPhotoOpensOnlyWhenTheUserSaysSo) {
  const fs::path whole = Photo("whole.jpg", 200, 150);
  const std::vector<uint8_t> bytes = testphotos::ReadBytes(whole);
  testphotos::WriteBytes(photos_ / "cut.jpg", std::string(bytes.begin(), bytes.begin() + 2000));
  std::vector<QString> questions;
  bool answer = false;
  SetQuestionAnswerer([&](const QString&, const QString& text) {
    questions.push_back(text);
    return answer;
  });
  MainWindow window;
  EXPECT_FALSE(window.OpenPhotoFile(photos_ / "cut.jpg"));
  EXPECT_EQ(window.Document().sourcePicture.data, nullptr);
  answer = true;
  EXPECT_TRUE(window.OpenPhotoFile(photos_ / "cut.jpg"));
  EXPECT_EQ(window.Document().sourcePicture.width, 200);
  ASSERT_EQ(questions.size(), 2u);
  EXPECT_TRUE(questions[0].contains(Localised(kStringOpenDamagedPhoto)));
  EXPECT_TRUE(messages_.empty()) << "the question says it all";
  SetQuestionAnswerer({});
  window.close();
}

// SIGTERM (a logout, a service manager) ends the application as closing its window does: the run
// in progress stops and the next start sees no crash.
TEST_F(MainWindowTest, SigtermEndsTheApplicationInOrder) {
  auto* window = new MainWindow;
  window->setAttribute(Qt::WA_DeleteOnClose);
  ASSERT_TRUE(window->OpenPhotoFile(Photo("big.png", 1600, 1200)));
  CloseOnTerminationSignals(window);
  window->Panel()->findChild<QPushButton*>(QStringLiteral("denoise"))->click();
  ASSERT_EQ(ReadSettingInt(kKeyCrashedLastTime, -1), 1);
  QPointer<MainWindow> alive(window);
  raise(SIGTERM);
  ASSERT_TRUE(QTest::qWaitFor([&] { return alive.isNull(); }, 60000));
  EXPECT_EQ(ReadSettingInt(kKeyCrashedLastTime, -1), 0);
}

TEST_F(MainWindowTest, ABatchRunWritesTheDenoisedFoldersAndGivesTheWindowBack) {
  MainWindow window;
  ASSERT_TRUE(window.OpenPhotoFile(Photo("open.png")));
  fs::create_directories(photos_ / "s");
  Photo("s/c.png", 48, 40);
  window.StartBatch(photos_, BatchChoices{});
  EXPECT_TRUE(window.BatchActive());
  EXPECT_FALSE(window.OpenAction()->isEnabled());
  EXPECT_EQ(window.Document().sourcePicture.data, nullptr);  // the open photo was closed
  WaitUntil([&] { return !window.BatchActive(); });
  EXPECT_TRUE(fs::exists(photos_ / "denoised" / "open.png"));
  EXPECT_TRUE(fs::exists(photos_ / "s" / "denoised" / "c.png"));
  EXPECT_TRUE(window.OpenAction()->isEnabled());
  EXPECT_FALSE(window.SaveAsAction()->isEnabled());
  ASSERT_EQ(messages_.size(), 1u);
  EXPECT_TRUE(messages_[0].text.startsWith(Localised(kStringBatchFinished)));
  EXPECT_TRUE(messages_[0].text.contains(Localised(kStringBatchDenoisedCount).arg(2)));
  window.close();
}

// The batch window's choices reach the run: only the chosen folder's own photos, each denoised
// with the panel's values exactly as Denoise denoises the open photo; the report counts what
// happened and says what went wrong.
TEST_F(MainWindowTest, TheBatchRunsWithTheChosenValuesAndFoldersAndReportsWhatWentWrong) {
  MainWindow window;
  ASSERT_TRUE(window.OpenPhotoFile(Photo("a.png", 96, 80)));
  auto* strength = window.Panel()->findChild<QLineEdit*>("value0");
  strength->setText("23.5");
  emit strength->editingFinished();
  RunToResult(window);
  const fs::path result = config_.Folder() / "result.png";
  ASSERT_EQ(window.Session().Save(result, 85, nullptr), SaveFailure::kNone);
  window.CommandClose();

  fs::create_directories(photos_ / "s");
  Photo("s/c.png", 48, 40);
  const std::vector<uint8_t> whole = testphotos::ReadBytes(Photo("b.jpg", 200, 150));
  testphotos::WriteBytes(photos_ / "cut.jpg", std::string(whole.begin(), whole.begin() + 2000));
  testphotos::WriteBytes(photos_ / "notes.txt", "no photo");
  messages_.clear();
  window.StartBatch(photos_, {BatchProfiles::kPanelValues, false, 85});
  WaitUntil([&] { return !window.BatchActive(); });

  EXPECT_FALSE(fs::exists(photos_ / "s" / "denoised"));
  EXPECT_TRUE(testphotos::ReadBytes(photos_ / "denoised" / "a.png") ==
              testphotos::ReadBytes(result))
      << "the batch's a.png differs from the full-size run's";
  ASSERT_EQ(messages_.size(), 1u);
  const QString report = messages_[0].text;
  EXPECT_TRUE(report.startsWith(Localised(kStringBatchIncomplete))) << report.toStdString();
  for (const QString& line :
       {Localised(kStringBatchDenoisedCount).arg(2), Localised(kStringBatchFailedCount).arg(1),
        Localised(kStringBatchSkippedCount).arg(1)}) {
    EXPECT_TRUE(report.contains(line)) << line.toStdString();
  }
  EXPECT_TRUE(report.contains(QString::fromStdString((photos_ / "cut.jpg").string()) + ": "));
  window.close();
}
