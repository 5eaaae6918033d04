// The batch options dialog and the batch progress window.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QCoreApplication>
#include <QDialogButtonBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QTest>

#include "app/batch_options_dialog.h"
#include "app/batch_progress_window.h"
#include "app/batch_report.h"
#include "app/jpeg_quality_row.h"
#include "batch/batch_runner.h"
#include "config/settings.h"
#include "support/scoped_config_home.h"
#include "widgets/localised_text.h"

namespace {

// A photo done as the batch's worker reports it: queued to the window's thread, counted there.
void SendPhotoDone(BatchProgressWindow& window) {
  BatchObserver& observer = window;
  observer.PhotoDone("in.png", "denoised/in.png", BatchOutcome::kDenoised, "");
  QCoreApplication::processEvents();
}

TEST(BatchProgressWindow, ShowsElapsedTimeAndTheEstimatedTotalDuration) {
  BatchProgressWindow window(nullptr, 12, [] {});
  EXPECT_EQ(window.windowTitle(), "Batch Denoising");
  EXPECT_EQ(window.EstimatedText(), "00:00");
  EXPECT_EQ(window.ElapsedText(), "00:00");
  for (int second = 0; second < 30; ++second) window.AdvanceOneSecond();
  for (int photo = 0; photo < 3; ++photo) SendPhotoDone(window);
  EXPECT_EQ(window.ElapsedText(), "00:30");
  EXPECT_EQ(window.EstimatedText(), "02:00");
  EXPECT_EQ(window.ProgressPosition(), 3);
  EXPECT_EQ(window.ProgressText(), "25 % \u2014 01:30 left");
  for (int photo = 3; photo < 12; ++photo) SendPhotoDone(window);
  EXPECT_EQ(window.ProgressText(), "100 %");
}

TEST(BatchProgressWindow, PhotosBeyondTheCountKeepTheBarFull) {
  BatchProgressWindow window(nullptr, 1, [] {});
  SendPhotoDone(window);
  SendPhotoDone(window);
  EXPECT_EQ(window.ProgressPosition(), 1);
  EXPECT_EQ(window.Progress().doneCount, 2u);
}

TEST(BatchProgressWindow, CancelStopsTheRunAndHidesTheWindow) {
  StopFlag stop;
  BatchProgressWindow window(nullptr, 5, [&stop] { stop.Request(); });
  window.show();
  auto* buttons = window.findChild<QDialogButtonBox*>();
  ASSERT_NE(buttons, nullptr);
  QTest::mouseClick(buttons->buttons().front(), Qt::LeftButton);
  EXPECT_TRUE(stop.Requested());
  EXPECT_FALSE(window.isVisible());
}

TEST(BatchOptionsDialog, OkStoresTheSlidersQualityAndCancelKeepsTheStoredOne) {
  const struct {
    bool ok;
    int32_t stored;
  } cases[] = {{true, 11}, {false, 0}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.ok);
    const ScopedConfigHome config;
    WriteSettingInt(kKeyJpegQuality, 0);
    BatchOptionsDialog dialog(nullptr);
    dialog.show();
    QSlider* slider = dialog.QualityRow()->Slider();
    EXPECT_EQ(slider->value(), 10);
    QTest::keyClick(slider, Qt::Key_PageUp);
    EXPECT_EQ(dialog.QualityRow()->ValueText(), "11");
    c.ok ? dialog.accept() : dialog.reject();
    EXPECT_EQ(ReadSettingInt(kKeyJpegQuality, -1), c.stored);
  }
}

// The dialog shows the choices of the last run, explains the one chosen, and keeps what OK took.
TEST(BatchOptionsDialog, ShowsExplainsAndKeepsTheChoices) {
  const ScopedConfigHome config;
  StoreBatchChoices({BatchProfiles::kAutomatic, false, 70});
  BatchOptionsDialog dialog(nullptr);
  auto* explanation = dialog.findChild<QLabel*>("profileFallbackText");
  EXPECT_TRUE(dialog.findChild<QRadioButton*>("batchProfiles1")->isChecked());
  EXPECT_FALSE(dialog.findChild<QCheckBox*>("includeSubfolders")->isChecked());
  EXPECT_EQ(dialog.QualityRow()->Quality(), 70);
  EXPECT_EQ(explanation->text(), Localised(kStringBatchAutomaticExplained));
  dialog.findChild<QRadioButton*>("batchProfiles2")->click();
  dialog.findChild<QCheckBox*>("includeSubfolders")->click();
  EXPECT_EQ(explanation->text(), Localised(kStringBatchPanelValuesExplained));
  dialog.accept();
  const BatchChoices stored = LoadBatchChoices();
  EXPECT_EQ(stored.profiles, BatchProfiles::kPanelValues);
  EXPECT_TRUE(stored.includeSubfolders);
  EXPECT_EQ(stored.jpegQuality, 70);
}

TEST(BatchReport, CountsEveryOutcomeAndListsTheFailures) {
  BatchSummary clean;
  clean.denoised = 4;
  EXPECT_EQ(BatchReport(clean, {}), Localised(kStringBatchFinished) +
                                        "\n\nDenoised: 4\nNot denoised: 0\nSkipped, not photos: 0");

  BatchSummary troubled;
  troubled.denoised = 1;
  troubled.failed = 17;
  troubled.tooSmall = 2;
  troubled.skippedFolders = 1;
  std::vector<BatchFailure> failures;
  for (int i = 0; i < 18; ++i) failures.push_back({"p" + std::to_string(i) + ".jpg", "damaged"});
  const QStringList lines = BatchReport(troubled, failures).split('\n');
  EXPECT_EQ(lines.front(), Localised(kStringBatchIncomplete));
  EXPECT_TRUE(lines.contains("Too small to denoise: 2"));
  EXPECT_TRUE(lines.contains("Folders that could not be read: 1"));
  EXPECT_TRUE(lines.contains("p0.jpg: damaged"));
  EXPECT_TRUE(lines.contains("p14.jpg: damaged"));
  EXPECT_FALSE(lines.contains("p15.jpg: damaged"));
  EXPECT_EQ(lines.back(), Localised(kStringBatchMoreFailures).arg(3));

  BatchSummary cancelled = clean;
  cancelled.cancelled = true;
  EXPECT_TRUE(BatchReport(cancelled, {}).startsWith(Localised(kStringBatchCancelled)));
}

}  // namespace
