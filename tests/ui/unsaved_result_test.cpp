// Work is never lost: the question before a finished result that was not saved goes away, Save As
// only for a result, undo and redo of the values, a double click back to the profile's value, and
// a typed value.
#include <gtest/gtest.h>

#include <QApplication>
#include <QLineEdit>
#include <QSlider>
#include <QTimer>

#include "app/file_dialogs.h"
#include "config/localisation.h"
#include "ui/main_window_fixture.h"
#include "widgets/localised_text.h"

namespace fs = std::filesystem;

namespace {

// Every way of throwing the shown result away asks first; Cancel keeps the result on screen,
// Discard lets it go.
TEST_F(MainWindowTest, EveryWayOfLosingAnUnsavedResultAsksFirst) {
  const fs::path first = Photo("a.png", 96, 80);
  const fs::path other = Photo("b.png", 64, 48);
  const std::vector<std::pair<const char*, std::function<void(MainWindow&)>>> ways = {
      {"close", [](MainWindow& window) { window.close(); }},
      {"Open", [&](MainWindow& window) { window.OpenPhotoFile(other); }},
      {"drop", [&](MainWindow& window) { Drop(window, {other}); }},
      {"Page Down", [](MainWindow& window) { window.StepPhoto(StepDirection::kNext); }},
      {"Redefine",
       [](MainWindow& window) { window.Panel()->findChild<QPushButton*>("denoise")->click(); }},
      {"Close", [](MainWindow& window) { window.CommandClose(); }},
  };
  for (const auto& [way, act] : ways) {
    SCOPED_TRACE(way);
    MainWindow window;
    window.show();
    ASSERT_TRUE(window.OpenPhotoFile(first));
    RunToResult(window);
    EXPECT_TRUE(window.SaveAsAction()->isEnabled());
    saveQuestions_.clear();
    saveAnswer_ = SaveAnswer::kCancel;
    act(window);
    ASSERT_EQ(saveQuestions_.size(), 1u);
    EXPECT_TRUE(saveQuestions_[0].contains("a.png"));
    EXPECT_TRUE(window.isVisible());
    EXPECT_EQ(window.Document().path, first);
    EXPECT_EQ(window.Panel()->State(), PanelState::kResultShown);

    saveAnswer_ = SaveAnswer::kDiscard;
    act(window);
    EXPECT_EQ(saveQuestions_.size(), 2u);
    EXPECT_NE(window.Panel()->State() == PanelState::kResultShown && window.isVisible() &&
                  window.Document().path == first,
              true);
    window.CloseWithoutQuestions();
  }
}

// "Save" in the question saves the result under the name the user gives, and then the window goes
// on; nothing is asked about a result that is saved.
TEST_F(MainWindowTest, SaveInTheQuestionWritesTheResultBeforeItGoes) {
  MainWindow window;
  window.show();
  ASSERT_TRUE(window.OpenPhotoFile(Photo("a.png", 96, 80)));
  RunToResult(window);
  const fs::path saved = photos_ / "kept.png";
  QTimer::singleShot(0, [&] {
    auto* dialog = qobject_cast<SaveDialog*>(QApplication::activeModalWidget());
    ASSERT_NE(dialog, nullptr);
    dialog->selectFile(QString::fromStdString(saved.string()));
    dialog->accept();
  });
  saveAnswer_ = SaveAnswer::kSave;
  ASSERT_TRUE(window.OpenPhotoFile(Photo("b.png")));
  EXPECT_TRUE(fs::exists(saved));
  EXPECT_EQ(window.Document().path.filename(), "b.png");

  RunToResult(window);
  QTimer::singleShot(0, [&] {
    auto* dialog = qobject_cast<SaveDialog*>(QApplication::activeModalWidget());
    ASSERT_NE(dialog, nullptr);
    dialog->selectFile(QString::fromStdString((photos_ / "b-result.png").string()));
    dialog->accept();
  });
  EXPECT_TRUE(window.CommandSaveAs());
  EXPECT_EQ(
      window.StatusText(),
      Localised(kStringSavedAs).arg(QString::fromStdString((photos_ / "b-result.png").string())));
  saveQuestions_.clear();
  window.close();
  EXPECT_TRUE(saveQuestions_.empty());
  EXPECT_FALSE(window.isVisible());
}

// Before a full-size run there is nothing worth a file: Save As is off and Ctrl+S says so.
TEST_F(MainWindowTest, CtrlSBeforeAnyRunSaysThereIsNothingToSaveYet) {
  MainWindow window;
  window.show();
  window.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
  ASSERT_TRUE(window.OpenPhotoFile(Photo("a.png")));
  EXPECT_FALSE(window.SaveAsAction()->isEnabled());
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_S, Qt::ControlModifier);
  EXPECT_EQ(window.StatusText(), Localised(kStringNothingToSave));
  EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
  window.close();
}

// Ctrl+Z and Ctrl+Shift+Z step through the values as the user changed them; a double click sets a
// slider back to the profile's value; a value can be typed, with a comma too.
TEST_F(MainWindowTest, ValuesCanBeUndoneResetByDoubleClickAndTyped) {
  MainWindow window;
  window.show();
  window.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
  ASSERT_TRUE(window.OpenPhotoFile(Photo("a.png", 96, 80)));
  auto* slider = window.Panel()->findChild<QSlider*>("slider0");
  auto* field = window.Panel()->findChild<QLineEdit*>("value0");
  const auto strength = [&] { return window.Panel()->CurrentProfile().m_dStrength; };
  const double stored = strength();

  slider->setFocus();
  QTest::keyClick(slider, Qt::Key_Right);
  QTest::keyClick(slider, Qt::Key_Right);
  const double twoSteps = strength();
  EXPECT_DOUBLE_EQ(twoSteps, stored + 0.1);
  QTest::keyClick(slider, Qt::Key_Z, Qt::ControlModifier);
  EXPECT_DOUBLE_EQ(strength(), stored + 0.05);
  QTest::keyClick(slider, Qt::Key_Z, Qt::ControlModifier);
  EXPECT_DOUBLE_EQ(strength(), stored);
  EXPECT_EQ(slider->value(), ValueToPosition(ScaleOf(PanelScale::kStrength), stored));
  QTest::keyClick(slider, Qt::Key_Z, Qt::ShiftModifier | Qt::ControlModifier);
  QTest::keyClick(slider, Qt::Key_Z, Qt::ShiftModifier | Qt::ControlModifier);
  EXPECT_DOUBLE_EQ(strength(), twoSteps);
  EXPECT_EQ(field->text().toStdString(), ValueText(ScaleOf(PanelScale::kStrength), twoSteps));

  QTest::mouseDClick(slider, Qt::LeftButton, Qt::NoModifier, slider->rect().center());
  EXPECT_DOUBLE_EQ(strength(), stored);

  field->setFocus();
  field->selectAll();
  QTest::keyClicks(field, "17,5");
  QTest::keyClick(field, Qt::Key_Return);
  EXPECT_DOUBLE_EQ(strength(), 17.5);
  EXPECT_EQ(slider->value(), 350);
  field->selectAll();
  QTest::keyClicks(field, "500");
  QTest::keyClick(field, Qt::Key_Return);
  EXPECT_DOUBLE_EQ(strength(), 50.0);  // limited to the slider's range
  EXPECT_EQ(field->text(), "50.0");
  window.close();
}

}  // namespace
