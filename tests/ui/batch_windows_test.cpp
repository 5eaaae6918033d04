// The batch options dialog and the batch progress window.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDialogButtonBox>
#include <QPushButton>
#include <QSlider>
#include <QTest>

#include "app/batch_options_dialog.h"
#include "app/batch_progress_window.h"
#include "app/jpeg_quality_row.h"
#include "config/settings.h"
#include "batch/batch_runner.h"
#include "support/scoped_config_home.h"

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

}  // namespace
