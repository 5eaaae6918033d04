// Help, the web site, the language list and the second language as the user reaches them from the
// main window: F1, the Help menu, Options, and a start in German. The windows read the shipped
// languages and help beside the test's executable, as the application reads them beside its own.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QFileInfo>
#include <QLibraryInfo>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <vector>

#include "app/main_window.h"
#include "app/qt_translations.h"
#include "config/localisation.h"
#include "panel/parameters_panel.h"
#include "support/scoped_config_home.h"
#include "widgets/message_boxes.h"
#include "widgets/url_opener.h"

namespace {

class HelpAndLanguagesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    SetUrlOpener([this](const QUrl& url) {
      opened_.push_back(url);
      return opens_;
    });
    SetMessageRecorder(
        [this](MessageKind, const QString&, const QString& text) { messages_.push_back(text); });
  }
  void TearDown() override {
    SetUrlOpener({});
    SetMessageRecorder({});
    InstallQtTranslations("");
  }

  // The language the user chose, as the application's start reads it.
  static void StartIn(int32_t language) {
    StoreCurrentLanguage(language);
    LoadLocalisation();
    LoadLanguageList();
    InstallQtTranslations(LanguageAcronym(CurrentLanguage()));
  }

  static void Activate(QWidget& window) {
    window.show();
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
  }

  ScopedConfigHome config_;
  std::vector<QUrl> opened_;
  std::vector<QString> messages_;
  bool opens_ = true;
};

TEST_F(HelpAndLanguagesTest, F1OpensTheHelpPageOfTheCurrentLanguage) {
  for (const auto& [language, page] :
       {std::pair{0, "stillgrain_en.html"}, {1, "stillgrain_de.html"}}) {
    SCOPED_TRACE(page);
    StartIn(language);
    opened_.clear();
    MainWindow window;
    Activate(window);
    QTest::keyClick(&window, Qt::Key_F1);
    ASSERT_EQ(opened_.size(), 1u);
    EXPECT_EQ(opened_[0].fileName(), page);
    EXPECT_TRUE(QFileInfo(opened_[0].toLocalFile()).isFile());
    EXPECT_TRUE(messages_.empty());
    window.close();
  }
  StartIn(0);
}

TEST_F(HelpAndLanguagesTest, AHelpOrBrowserThatDoesNotOpenIsReportedWithWhereToLook) {
  opens_ = false;
  MainWindow window;
  window.CommandHelp();
  window.CommandVisitWebSite();
  ASSERT_EQ(messages_.size(), 2u);
  EXPECT_TRUE(messages_[0].contains("stillgrain_en.html")) << messages_[0].toStdString();
  EXPECT_TRUE(messages_[1].contains("https://")) << messages_[1].toStdString();
  window.close();
}

TEST_F(HelpAndLanguagesTest, OptionsListsTheShippedLanguagesWithTheCurrentOneSelected) {
  StartIn(1);
  MainWindow window;
  QStringList listed;
  int selected = -1;
  QTimer::singleShot(0, [&] {
    QWidget* dialog = QApplication::activeModalWidget();
    ASSERT_NE(dialog, nullptr);
    auto* languages = dialog->findChild<QComboBox*>("languageList");
    for (int i = 0; i < languages->count(); ++i) listed << languages->itemText(i);
    selected = languages->currentIndex();
    EXPECT_TRUE(languages->isEnabled());
    static_cast<QDialog*>(dialog)->reject();
  });
  window.CommandOptions();
  EXPECT_EQ(listed, (QStringList{"English", "Deutsch"}));
  EXPECT_EQ(selected, 1);
  window.close();
  StartIn(0);
}

TEST_F(HelpAndLanguagesTest, AStartInGermanShowsOurTextsAndQtsStandardButtonsInGerman) {
  StartIn(1);
  {
    MainWindow window;
    EXPECT_EQ(window.Panel()->findChild<QPushButton*>("denoise")->text(), "Entrauschen");
    EXPECT_TRUE(window.StatusText().startsWith("Klicken und ziehen"))
        << window.StatusText().toStdString();
    window.close();
  }
  QMessageBox box;
  box.setStandardButtons(QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel);
  const QString cancel = box.button(QMessageBox::Cancel)->text();
  StartIn(0);
  if (!QFileInfo::exists(QLibraryInfo::path(QLibraryInfo::TranslationsPath) + "/qtbase_de.qm")) {
    GTEST_SKIP() << "Qt's translations are not installed (qt6-translations-l10n)";
  }
  EXPECT_EQ(cancel, "Abbrechen");
}

}  // namespace
