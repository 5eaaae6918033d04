// The main window end to end on the off-screen platform: start-up and the crash flag, opening by
// drop and by stepping, the zoom keys, Close, and full-size runs (finished, and cut short by
// closing the window).
#include "app/main_window.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDropEvent>
#include <QMimeData>
#include <QPushButton>
#include <QTest>
#include <QPointer>
#include <QUrl>
#include <cmath>
#include <csignal>
#include <vector>

#include "config/localisation.h"
#include "widgets/localised_text.h"
#include "widgets/message_boxes.h"
#include "config/settings.h"
#include "app/termination_signals.h"
#include "app/zoom_box.h"
#include "engine/denoise.h"
#include "panel/parameters_panel.h"
#include "support/photo_files.h"
#include "support/scoped_config_home.h"

namespace fs = std::filesystem;

namespace {

struct Message {
  QString caption;
  QString text;
};

// Every test gets its own settings folder, a folder of pattern photos, and records the message
// boxes instead of showing them.
class MainWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    SetMessageRecorder([this](MessageKind, const QString& caption, const QString& text) {
      messages_.push_back({caption, text});
    });
    photos_ = config_.Folder() / "photos";
    fs::create_directories(photos_);
  }
  void TearDown() override { SetMessageRecorder({}); }

  fs::path Photo(const char* name, int32_t width = 64, int32_t height = 48) {
    const fs::path path = photos_ / name;
    testphotos::WritePatternPhoto(path, width, height);
    return path;
  }

  static void WaitUntil(const std::function<bool()>& done) {
    ASSERT_TRUE(QTest::qWaitFor(done, 60000));
  }

  ScopedConfigHome config_;
  fs::path photos_;
  std::vector<Message> messages_;
};

}  // namespace

TEST_F(MainWindowTest, TheCrashWarningShowsOnceAfterARunThatDidNotEndInOrder) {
  const QString warning = QString::fromStdString(LocalisedString(kStringCrashedLastTime));
  {
    MainWindow first;  // a first start on a new account: no warning
    EXPECT_TRUE(messages_.empty());
    EXPECT_EQ(ReadSettingInt(kKeyCrashedLastTime, -1), 1);
  }  // destroyed without closing, as a killed process would leave it
  {
    MainWindow second;
    ASSERT_EQ(messages_.size(), 1u);
    EXPECT_EQ(messages_[0].text, warning);
    EXPECT_EQ(messages_[0].caption, QString::fromStdString(LocalisedString(kStringWarning)));
    second.close();
  }
  EXPECT_EQ(ReadSettingInt(kKeyCrashedLastTime, -1), 0);
  MainWindow third;
  EXPECT_EQ(messages_.size(), 1u);
  third.close();
}

TEST_F(MainWindowTest, ADropOpensOnlyTheFirstFileAndPageDownWrapsThroughTheFolder) {
  MainWindow window;
  const fs::path a = Photo("a.png"), b = Photo("b.png"), c = Photo("c.png");
  QMimeData data;
  data.setUrls({QUrl::fromLocalFile(QString::fromStdString(b.string())),
                QUrl::fromLocalFile(QString::fromStdString(a.string())),
                QUrl::fromLocalFile(QString::fromStdString(c.string()))});
  QDragEnterEvent enter(QPoint(20, 20), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QCoreApplication::sendEvent(&window, &enter);
  QDropEvent drop(QPointF(20, 20), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QCoreApplication::sendEvent(&window, &drop);
  EXPECT_EQ(window.Document().path, b);
  EXPECT_EQ(window.windowTitle(), QStringLiteral("Stillgrain - %1").arg(QString::fromStdString(b.string())));
  EXPECT_TRUE(window.SaveAsAction()->isEnabled());
  EXPECT_TRUE(window.ZoomBoxWidget()->isEnabled());

  window.StepPhoto(StepDirection::kNext);
  EXPECT_EQ(window.Document().path, c);
  window.StepPhoto(StepDirection::kNext);
  EXPECT_EQ(window.Document().path, a);
  window.StepPhoto(StepDirection::kPrevious);
  EXPECT_EQ(window.Document().path, c);
  window.close();
}

TEST_F(MainWindowTest, PlusFiveTimesMultipliesTheZoomWithoutLimitAndCloseEmptiesTheWindow) {
  MainWindow window;
  window.show();
  window.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
  ASSERT_TRUE(window.OpenPhotoFile(Photo("small.png", 40, 30), true));
  const double fitted = window.View().zoom;
  EXPECT_LE(fitted, 8.0);
  for (int i = 0; i < 5; ++i) QTest::keyClick(&window, Qt::Key_Plus);
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
  ASSERT_TRUE(window.OpenPhotoFile(Photo("run.png", 96, 80), true));
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

TEST_F(MainWindowTest, ClosingDuringAFullSizeRunStopsItAndEndsInOrder) {
  MainWindow window;
  ASSERT_TRUE(window.OpenPhotoFile(Photo("big.png", 1600, 1200), true));
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
  EXPECT_FALSE(window.OpenPhotoFile(photos_ / "cut.jpg", true));
  EXPECT_EQ(window.Document().sourcePicture.data, nullptr);
  answer = true;
  EXPECT_TRUE(window.OpenPhotoFile(photos_ / "cut.jpg", true));
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
  ASSERT_TRUE(window->OpenPhotoFile(Photo("big.png", 1600, 1200), true));
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
  ASSERT_TRUE(window.OpenPhotoFile(Photo("open.png"), true));
  fs::create_directories(photos_ / "s");
  Photo("s/c.png", 48, 40);
  window.StartBatch(photos_, 2);
  EXPECT_TRUE(window.BatchActive());
  EXPECT_FALSE(window.OpenAction()->isEnabled());
  EXPECT_EQ(window.Document().sourcePicture.data, nullptr);  // the open photo was closed
  WaitUntil([&] { return !window.BatchActive(); });
  EXPECT_TRUE(fs::exists(photos_ / "denoised" / "open.png"));
  EXPECT_TRUE(fs::exists(photos_ / "s" / "denoised" / "c.png"));
  EXPECT_TRUE(window.OpenAction()->isEnabled());
  EXPECT_FALSE(window.SaveAsAction()->isEnabled());
  ASSERT_EQ(messages_.size(), 1u);
  EXPECT_EQ(messages_[0].text, QString::fromStdString(LocalisedString(kStringBatchFinished)));
  window.close();
}
