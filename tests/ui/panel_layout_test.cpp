// A panel that fits and guides: the window fits the screen, the panel scrolls to its last line in
// a short window and keeps its layout through a run, the run button stands out, every control says
// what it does in the language of the texts, and radio buttons look like radio buttons.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QAbstractSlider>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QRadioButton>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QToolBar>

#include "app/image_view.h"
#include "config/localisation.h"
#include "theme/application_theme.h"
#include "ui/main_window_fixture.h"

namespace {

QRect RectIn(QWidget* widget, QWidget* ancestor) {
  return QRect(widget->mapTo(ancestor, QPoint(0, 0)), widget->size());
}

TEST_F(MainWindowTest, TheWindowFitsTheScreenAndThePanelScrollsToItsLastLine) {
  MainWindow window;
  const QRect screen = window.screen()->availableGeometry();
  EXPECT_LE(window.width(), screen.width());
  EXPECT_LE(window.height(), screen.height());

  window.resize(1000, 700);
  window.show();
  const std::filesystem::path photo = Photo("a.jpg", 240, 160);
  testphotos::WriteExif(photo, {{"Exif.Image.Make", "Acme"}, {"Exif.Image.Model", "One"}});
  ASSERT_TRUE(window.OpenPhotoFile(photo));
  QTest::qWait(20);
  auto* scroll = window.findChild<QScrollArea*>("panelScroll");
  ASSERT_NE(scroll, nullptr);
  auto* info = window.Panel()->findChild<QLabel*>("infoText");
  ASSERT_TRUE(info->isVisible());
  const QRect visible = scroll->viewport()->rect();
  EXPECT_FALSE(visible.contains(RectIn(info, scroll->viewport())));  // below the fold at first
  EXPECT_GT(scroll->verticalScrollBar()->maximum(), 0);
  scroll->verticalScrollBar()->setValue(scroll->verticalScrollBar()->maximum());
  EXPECT_TRUE(visible.contains(RectIn(info, scroll->viewport())));
  // The panel is whole in width, beside the view.
  EXPECT_GE(scroll->viewport()->width(), window.Panel()->minimumSizeHint().width());
  EXPECT_LE(window.ImageViewWidget()->geometry().right(), scroll->mapTo(&window, QPoint(0, 0)).x());
}

TEST_F(MainWindowTest, ARunMovesNothingInThePanelAndSetDefaultStaysAfterIt) {
  MainWindow window;
  window.show();
  ASSERT_TRUE(window.OpenPhotoFile(Photo("a.png", 900, 700)));
  ParametersPanel& panel = *window.Panel();
  auto* setDefault = panel.findChild<QPushButton*>("setDefault");
  QTest::qWait(20);  // the window lays itself out
  const QRect before = RectIn(setDefault, &panel);
  panel.findChild<QPushButton*>("denoise")->click();
  WaitUntil([&] { return panel.findChild<QProgressBar*>("progress")->isVisible(); });
  QTest::qWait(20);
  EXPECT_EQ(RectIn(setDefault, &panel), before);
  WaitUntil([&] { return panel.State() == PanelState::kResultShown; });
  EXPECT_TRUE(setDefault->isVisible());
  EXPECT_FALSE(setDefault->isEnabled());
  EXPECT_EQ(RectIn(setDefault, &panel), before);
  window.CloseWithoutQuestions();
}

// The run button has the accent colour for its face; other buttons the scheme's face colour.
TEST_F(MainWindowTest, TheRunButtonIsThePrimaryAction) {
  MainWindow window;
  window.show();
  ASSERT_TRUE(window.OpenPhotoFile(Photo("a.png")));
  auto* denoise = window.Panel()->findChild<QPushButton*>("denoise");
  auto* setDefault = window.Panel()->findChild<QPushButton*>("setDefault");
  const auto face = [](QPushButton* button) {
    return button->grab().toImage().pixelColor(3, button->height() / 2);
  };
  EXPECT_EQ(face(denoise), AccentColour());
  EXPECT_EQ(face(setDefault), setDefault->palette().color(QPalette::Button));
  EXPECT_GT(denoise->height(), setDefault->height());
  EXPECT_FALSE(denoise->toolTip().isEmpty());
}

// Every control of the panel and the toolbar says what it does, in the language of the texts.
TEST_F(MainWindowTest, EveryControlHasATooltipInTheLanguageOfTheTexts) {
  for (const int32_t language : {0, 1}) {
    SCOPED_TRACE(language);
    StoreCurrentLanguage(language);
    LoadLocalisation();
    MainWindow window;
    QStringList missing;
    for (QWidget* control : window.Panel()->findChildren<QWidget*>()) {
      const bool isControl = qobject_cast<QAbstractButton*>(control) ||
                             qobject_cast<QAbstractSlider*>(control) ||
                             qobject_cast<QComboBox*>(control) || qobject_cast<QLineEdit*>(control);
      if (isControl && control->toolTip().isEmpty() && !control->objectName().startsWith("qt_")) {
        missing << control->metaObject()->className() + (":" + control->objectName());
      }
    }
    for (QAction* action : window.ToolBar()->actions()) {
      if (action->isVisible() && !action->isSeparator() && !action->text().isEmpty() &&
          action->toolTip().isEmpty()) {
        missing << action->text();
      }
    }
    EXPECT_TRUE(missing.isEmpty()) << missing.join(", ").toStdString();
    EXPECT_EQ(window.Panel()->findChild<QWidget*>("slider0")->toolTip().split('\n').first(),
              QString::fromStdString(LocalisedString(kTipFirstSlider)));
    EXPECT_EQ(window.Panel()->findChild<QWidget*>("denoise")->toolTip().startsWith("Entrauscht"),
              language == 1);
    window.close();
  }
  StoreCurrentLanguage(0);
  LoadLocalisation();
}

}  // namespace
