// The colour schemes, the palette and style they install, and the check-mark drawings.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QDialog>
#include <QMessageBox>
#include <QRadioButton>
#include <QStyleOptionButton>
#include <QToolTip>

#include "theme/application_theme.h"
#include "theme/check_mark_image.h"
#include "theme/colour_scheme.h"

namespace {

TEST(ColourScheme, TableHoldsEachSchemesValuesAndKeepsTheOthersSystem) {
  struct Case {
    int scheme;
    int index;
    int32_t value;
  };
  const Case cases[] = {
      {1, kColourActiveCaption, 0xEAD9C9},
      {1, kColourButtonFace, 0xD2D2D2},
      {1, kColourLight, 0xFFFFFF},
      {1, 28, 0xBEBEBE},
      {2, kColourButtonFace, 0x464646},
      {2, kColourWindow, 0x414141},
      {2, kColourButtonText, 0xE6E6E6},
      {2, kColourLight, 0x000000},
      {3, kColourButtonFace, 0x000000},
      {3, kColourGreyText, 0x464646},
      {3, kColourMenu, 0x0A0A0A},
      {2, 0, kSystemColour},
      {2, 13, kSystemColour},
      {3, 29, kSystemColour},
      {1, 24, kSystemColour},
      {0, kColourButtonFace, kSystemColour},
      {7, kColourButtonFace, kSystemColour},
      {2, 30, 0},
      {2, -1, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "scheme " << c.scheme << ", index " << c.index);
    SetColourScheme(c.scheme);
    EXPECT_EQ(CurrentColourScheme(), c.scheme);
    EXPECT_EQ(ThemedColour(c.index), c.value);
  }
}

TEST(ApplicationTheme, SchemeColoursReadColorRefBytesAsBlueGreenRed) {
  ApplyColourScheme(1);
  EXPECT_EQ(SchemeColour(kColourActiveCaption, QPalette::Window), QColor(0xC9, 0xD9, 0xEA));
  EXPECT_EQ(ViewBackgroundGrey(), 190);
  ApplyColourScheme(0);
  EXPECT_EQ(SchemeColour(kColourButtonFace, QPalette::Window),
            QApplication::palette().color(QPalette::Window));
  ApplyColourScheme(3);
  EXPECT_EQ(ViewBackgroundGrey(), 35);
  EXPECT_EQ(WorkspaceColour(), QColor(0x14, 0x14, 0x14));
}

TEST(ApplicationTheme, MessageBoxesDialogsAndToolTipsTakeTheSchemeWithoutCodeOfTheirOwn) {
  QToolTip::setPalette(QPalette(Qt::red));  // as a desktop theme may leave it at start-up
  ApplyColourScheme(2);
  QMessageBox box(QMessageBox::Information, "Title", "Text");
  QDialog dialog;
  for (QWidget* window : {static_cast<QWidget*>(&box), static_cast<QWidget*>(&dialog)}) {
    const QPalette palette = window->palette();
    EXPECT_EQ(palette.color(QPalette::Window), QColor(0x46, 0x46, 0x46));
    EXPECT_EQ(palette.color(QPalette::Base), QColor(0x41, 0x41, 0x41));
    EXPECT_EQ(palette.color(QPalette::WindowText), QColor(0xE6, 0xE6, 0xE6));
    EXPECT_EQ(palette.color(QPalette::Disabled, QPalette::ButtonText), QColor(0xA0, 0xA0, 0xA0));
    EXPECT_STREQ(window->style()->metaObject()->className(), "ThemedStyle");
  }
  EXPECT_EQ(QToolTip::palette().color(QPalette::ToolTipBase), QColor(0x41, 0x41, 0x41));
}

TEST(ApplicationTheme, SwitchingFromDarkToLightRecoloursAnExistingWindow) {
  ApplyColourScheme(2);
  QWidget window;
  window.setAutoFillBackground(true);
  window.resize(20, 20);
  EXPECT_EQ(window.grab().toImage().pixelColor(10, 10), QColor(0x46, 0x46, 0x46));
  ApplyColourScheme(1);
  RecolourAllWindows();
  EXPECT_EQ(window.grab().toImage().pixelColor(10, 10), QColor(0xD2, 0xD2, 0xD2));
  ApplyColourScheme(2);
}

TEST(CheckMarkImage, NameFollowsSchemeStateAndEnabledness) {
  struct Case {
    int scheme;
    CheckMark mark;
    bool enabled;
    const char* name;
  };
  const Case cases[] = {
      {1, CheckMark::kUnchecked, true, "CHECK_DESON"},
      {1, CheckMark::kUnchecked, false, "CHECK_DESOFF"},
      {1, CheckMark::kPartial, true, "CHECK_SEMION"},
      {1, CheckMark::kChecked, false, "CHECK_SELOFF"},
      {2, CheckMark::kChecked, true, "CHECKD_SELON"},
      {2, CheckMark::kPartial, false, "CHECKD_SEMIOFF"},
      {3, CheckMark::kUnchecked, true, "CHECKD_DESON"},
      {3, CheckMark::kChecked, false, "CHECKD_SELOFF"},
      {0, CheckMark::kChecked, true, ""},
      {4, CheckMark::kChecked, true, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(CheckMarkImageName(c.scheme, c.mark, c.enabled), c.name);
  }
}

TEST(ThemedStyle, CheckBoxShowsTheSchemesImage) {
  ApplyColourScheme(2);
  for (const char* name : {"CHECKD_SELON", "CHECKD_DESOFF"}) {
    SCOPED_TRACE(name);
    QCheckBox box("Option");
    box.setChecked(std::string(name) == "CHECKD_SELON");
    box.setEnabled(box.isChecked());
    box.resize(box.sizeHint());
    QStyleOptionButton option;
    option.initFrom(&box);
    const QRect indicator =
        box.style()->subElementRect(QStyle::SE_CheckBoxIndicator, &option, &box);
    const QImage image = ThemeImage(name, indicator.size(), 1.0).toImage();
    ASSERT_FALSE(image.isNull());
    const QImage shot = box.grab().toImage();
    int compared = 0;
    for (int y = 0; y < image.height(); ++y) {
      for (int x = 0; x < image.width(); ++x) {
        if (image.pixelColor(x, y).alpha() != 255) continue;
        ASSERT_EQ(shot.pixelColor(indicator.topLeft() + QPoint(x, y)), image.pixelColor(x, y))
            << x << ", " << y;
        ++compared;
      }
    }
    EXPECT_GT(compared, 100);
  }
}

// A radio button shows a ring on the field colour, and a dot in the text colour when chosen.
TEST(ThemedStyle, RadioButtonsAreDrawnAsRadioButtonsInTheSchemesColours) {
  ApplyColourScheme(2);
  for (const bool chosen : {false, true}) {
    SCOPED_TRACE(chosen);
    QRadioButton radio("Option");
    radio.setChecked(chosen);
    radio.resize(radio.sizeHint());
    QStyleOptionButton option;
    option.initFrom(&radio);
    const QRect indicator =
        radio.style()->subElementRect(QStyle::SE_RadioButtonIndicator, &option, &radio);
    const QImage shot = radio.grab().toImage();
    const QPalette palette = radio.palette();
    EXPECT_EQ(shot.pixelColor(indicator.center()),
              palette.color(chosen ? QPalette::Text : QPalette::Base));
    // The ring: the text colour at the edge, lighter than the field.
    const QColor edge = shot.pixelColor(indicator.center().x(), indicator.bottom());
    EXPECT_GT(edge.lightness(), palette.color(QPalette::Base).lightness() + 30);
  }
}

TEST(ApplicationTheme, ImagesRenderAtTheDevicePixelRatio) {
  const QPixmap sharp = ThemeImage("CHECKD_SELON", QSize(13, 13), 2.0);
  EXPECT_EQ(sharp.size(), QSize(26, 26));
  EXPECT_EQ(sharp.devicePixelRatio(), 2.0);
  EXPECT_TRUE(ThemeImage("NO_SUCH_IMAGE", QSize(13, 13), 1.0).isNull());
}

}  // namespace
