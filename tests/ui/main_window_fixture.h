// What the main window's suites share: a settings folder of the test's own, a folder of pattern
// photos, message boxes and the save question recorded instead of shown, and a finished full-size
// run.
#pragma once

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDropEvent>
#include <QMimeData>
#include <QPushButton>
#include <QString>
#include <QTest>
#include <QUrl>
#include <filesystem>
#include <functional>
#include <vector>

#include "app/main_window.h"
#include "panel/parameters_panel.h"
#include "support/photo_files.h"
#include "support/scoped_config_home.h"
#include "theme/application_theme.h"
#include "widgets/message_boxes.h"

struct Message {
  QString caption;
  QString text;
};

// Every test gets its own settings folder, a folder of pattern photos, and records the message
// boxes instead of showing them.
class MainWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ApplyColourScheme(2);  // as the application's start does
    SetMessageRecorder([this](MessageKind, const QString& caption, const QString& text) {
      messages_.push_back({caption, text});
    });
    SetSaveQuestionAnswerer([this](const QString&, const QString& text) {
      saveQuestions_.push_back(text);
      return saveAnswer_;
    });
    photos_ = config_.Folder() / "photos";
    std::filesystem::create_directories(photos_);
  }
  void TearDown() override {
    SetMessageRecorder({});
    SetSaveQuestionAnswerer({});
  }

  std::filesystem::path Photo(const char* name, int32_t width = 64, int32_t height = 48) {
    const std::filesystem::path path = photos_ / name;
    testphotos::WritePatternPhoto(path, width, height);
    return path;
  }

  static void WaitUntil(const std::function<bool()>& done) {
    ASSERT_TRUE(QTest::qWaitFor(done, 60000));
  }

  // Files dropped on the window, as the desktop delivers them: the drag enters, then drops.
  static void Drop(MainWindow& window, const std::vector<std::filesystem::path>& files) {
    QMimeData data;
    QList<QUrl> urls;
    for (const auto& file : files)
      urls << QUrl::fromLocalFile(QString::fromStdString(file.string()));
    data.setUrls(urls);
    QDragEnterEvent enter(QPoint(20, 20), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(&window, &enter);
    QDropEvent drop(QPointF(20, 20), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(&window, &drop);
  }

  // Denoise clicked and the run's end awaited: the result is shown and not saved.
  static void RunToResult(MainWindow& window) {
    window.Panel()->findChild<QPushButton*>(QStringLiteral("denoise"))->click();
    WaitUntil(
        [&] { return !window.RunActive() && window.Panel()->State() == PanelState::kResultShown; });
  }

  ScopedConfigHome config_;
  std::filesystem::path photos_;
  std::vector<Message> messages_;
  std::vector<QString> saveQuestions_;
  SaveAnswer saveAnswer_ = SaveAnswer::kDiscard;
};
