// The Options dialog against a settings folder and a localisation file of the test's own, and the
// help's choice of file.
#include "app/options_dialog.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QRadioButton>
#include <QTest>
#include <fstream>
#include <vector>

#include "app/help.h"
#include "config/localisation.h"
#include "config/settings.h"
#include "platform/private_profile.h"
#include "support/scoped_config_home.h"
#include "theme/application_theme.h"
#include "theme/colour_scheme.h"
#include "widgets/message_boxes.h"

namespace fs = std::filesystem;

namespace {

struct Message {
  QString caption;
  QString text;
};

// Three languages; German has its own restart notice, French none.
class OptionsDialogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    localisation_ = config_.Folder() / "Stillgrain_loc.ini";
    WriteLocalisation(0);
    SetMessageRecorder([this](MessageKind, const QString& caption, const QString& text) {
      messages_.push_back({caption, text});
    });
  }
  void TearDown() override {
    SetMessageRecorder({});
    LoadLanguageListFrom(config_.Folder() / "absent.ini");
  }

  void WriteLocalisation(int32_t current) const {
    std::ofstream(localisation_) << "[General]\nLanguages No=3\nLanguage Current=" << current
                                 << "\n[0]\nLanguage=English\nAcronym=en\n"
                                    "[1]\nLanguage=Deutsch\nAcronym=de\nstring63=Hinweis\n"
                                    "string64=Bitte neu starten\n"
                                    "[2]\nLanguage=Francais\nAcronym=fr\n";
    LoadLanguageListFrom(localisation_);
  }

  static AccelerationAdmission Card(bool admitted) {
    AccelerationAdmission card;
    card.verdict = admitted ? AccelerationVerdict::kAdmitted : AccelerationVerdict::kSlowerThanCpu;
    card.cpuSeconds = 0.25;
    card.gpuSeconds = 3.5;
    return card;
  }

  std::unique_ptr<OptionsDialog> Open(bool admissible) {
    auto dialog = std::make_unique<OptionsDialog>(
        nullptr, [admissible] { return Card(admissible); }, localisation_);
    dialog->show();
    box_ = dialog->findChild<QCheckBox*>("accelerationBox");
    fusion_ = dialog->findChild<QRadioButton*>("fusionRadio");
    pureGpu_ = dialog->findChild<QRadioButton*>("pureGpuRadio");
    return dialog;
  }

  // The user's choice; the shipped file keeps its own default.
  int32_t StoredLanguage() const {
    EXPECT_EQ(GetPrivateProfileInt("General", "Language Current", -1, localisation_), 0);
    return ReadSettingInt(kKeyLanguageCurrent, -1);
  }

  ScopedConfigHome config_;
  fs::path localisation_;
  std::vector<Message> messages_;
  QCheckBox* box_ = nullptr;
  QRadioButton* fusion_ = nullptr;
  QRadioButton* pureGpu_ = nullptr;
};

TEST_F(OptionsDialogTest, OpeningShowsTheStoredChoicesAsFarAsTheCardAdmitsThem) {
  const struct {
    bool admissible;
    int32_t hwAccel, fusion;
    bool boxChecked, boxEnabled, radiosEnabled, fusionChecked;
  } cases[] = {
      {false, 1, 1, false, false, false, true},
      {true, 1, 0, true, true, true, false},
      {true, 0, 1, false, true, false, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.admissible << c.hwAccel << c.fusion);
    StoreAccelerationSettings(c.hwAccel, c.fusion);
    const auto dialog = Open(c.admissible);
    EXPECT_EQ(box_->isChecked(), c.boxChecked);
    EXPECT_EQ(box_->isEnabled(), c.boxEnabled);
    EXPECT_EQ(fusion_->isEnabled(), c.radiosEnabled);
    EXPECT_EQ(pureGpu_->isEnabled(), c.radiosEnabled);
    EXPECT_EQ(fusion_->isChecked(), c.fusionChecked);
    EXPECT_EQ(pureGpu_->isChecked(), !c.fusionChecked);
    EXPECT_TRUE(dialog->findChild<QCheckBox*>("darkSchemeBox")->isHidden());
    // A card that is not used says why.
    auto* reason = dialog->findChild<QLabel*>("accelerationReason");
    EXPECT_EQ(reason->isVisible(), !c.admissible);
    if (!c.admissible) {
      EXPECT_TRUE(reason->text().contains("3.50 s")) << reason->text().toStdString();
      EXPECT_TRUE(reason->text().contains("0.25 s")) << reason->text().toStdString();
    }
  }
}

TEST_F(OptionsDialogTest, TheBoxSwitchesTheRadiosWhichKeepTheirStateForOk) {
  StoreAccelerationSettings(1, 1);
  const auto dialog = Open(true);
  QTest::mouseClick(box_, Qt::LeftButton);
  EXPECT_FALSE(fusion_->isEnabled());
  EXPECT_TRUE(fusion_->isChecked());
  QTest::mouseClick(box_, Qt::LeftButton);
  EXPECT_TRUE(pureGpu_->isEnabled());
  pureGpu_->click();
  QTest::mouseClick(box_, Qt::LeftButton);
  dialog->accept();
  EXPECT_EQ(dialog->result(), QDialog::Accepted);
  EXPECT_EQ(ReadSettingInt(kKeyHwAccel, -1), 0);
  EXPECT_EQ(ReadSettingInt(kKeyGpuCpuFusion, -1), 0);
  EXPECT_FALSE(dialog->Chosen().useGpu);
  EXPECT_FALSE(dialog->Chosen().fusion);
}

TEST_F(OptionsDialogTest, OkStoresTheBoxButAdmitsTheCardOnlyWhenItStillPassesItsTest) {
  StoreAccelerationSettings(0, 0);
  bool admissible = true;
  OptionsDialog dialog(
      nullptr, [&admissible] { return Card(admissible); }, localisation_);
  dialog.findChild<QCheckBox*>("accelerationBox")->setChecked(true);
  dialog.findChild<QRadioButton*>("fusionRadio")->setChecked(true);
  admissible = false;
  dialog.accept();
  EXPECT_EQ(ReadSettingInt(kKeyHwAccel, -1), 1);
  EXPECT_EQ(ReadSettingInt(kKeyGpuCpuFusion, -1), 1);
  EXPECT_FALSE(dialog.Chosen().useGpu);
  EXPECT_TRUE(dialog.Chosen().fusion);
}

TEST_F(OptionsDialogTest, OnlyAChangedLanguageBringsTheRestartNoticeInTheNewLanguage) {
  const struct {
    int32_t chosen;
    const char* caption;  // null: no notice
    const char* text;
  } cases[] = {
      {0, nullptr, nullptr},
      {1, "Hinweis", "Bitte neu starten"},
      {2, "Information",
       "You have to restart the application for the language change to take effect."},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.chosen);
    StoreCurrentLanguage(0);
    WriteLocalisation(0);
    messages_.clear();
    const auto dialog = Open(false);
    dialog->findChild<QComboBox*>("languageList")->setCurrentIndex(c.chosen);
    dialog->accept();
    EXPECT_EQ(StoredLanguage(), c.chosen);
    ASSERT_EQ(messages_.size(), c.caption ? 1u : 0u);
    if (c.caption) {
      EXPECT_EQ(messages_[0].caption, c.caption);
      EXPECT_EQ(messages_[0].text, c.text);
    }
  }
}

TEST_F(OptionsDialogTest, TheHiddenDarkSchemeBoxSwitchesBetweenTheDarkAndTheLightScheme) {
  ApplyColourScheme(2);
  const auto dark = Open(false);
  auto* darkBox = dark->findChild<QCheckBox*>("darkSchemeBox");
  EXPECT_TRUE(darkBox->isChecked());
  darkBox->setChecked(false);
  dark->accept();
  EXPECT_EQ(CurrentColourScheme(), 1);
  const auto light = Open(false);
  EXPECT_FALSE(light->findChild<QCheckBox*>("darkSchemeBox")->isChecked());
  light->accept();
  EXPECT_EQ(CurrentColourScheme(), 1);
  ApplyColourScheme(2);
}

TEST_F(OptionsDialogTest, HelpOpensTheCurrentLanguagesFileElseLanguageZeros) {
  WriteLocalisation(1);
  const fs::path folder = config_.Folder() / "help";
  const struct {
    std::vector<const char*> files;
    const char* opened;  // null: nothing shown
  } cases[] = {
      {{"stillgrain_de.chm", "stillgrain_de.html", "stillgrain_en.chm"}, "stillgrain_de.chm"},
      {{"stillgrain_de.html", "stillgrain_en.chm"}, "stillgrain_de.html"},
      {{"stillgrain_en.html", "stillgrain_fr.chm"}, "stillgrain_en.html"},
      {{"stillgrain_fr.chm"}, nullptr},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.files.front());
    fs::remove_all(folder);
    fs::create_directories(folder);
    for (const char* file : c.files) std::ofstream(folder / file) << "help";
    std::vector<fs::path> opened;
    const bool shown = ShowHelpContents(
        [&opened](const fs::path& file) {
          opened.push_back(file);
          return true;
        },
        [&folder](const std::string& acronym) { return HelpFilePath(folder, acronym); });
    EXPECT_EQ(shown, c.opened != nullptr);
    ASSERT_EQ(opened.size(), c.opened ? 1u : 0u);
    if (c.opened) {
      EXPECT_EQ(opened[0], folder / c.opened);
    }
  }
}

}  // namespace
