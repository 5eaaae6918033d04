// The parameters panel over a session, as the main window drives it: a photo is opened, profiles
// are chosen, the preview follows the controls, and a full-size run is started, finished and
// aborted.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QCoreApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSlider>
#include <QSvgRenderer>
#include <QTest>

#include "config/localisation.h"
#include "config/settings.h"
#include "panel/parameters_panel.h"
#include "support/scoped_config_home.h"
#include "support/test_pictures.h"
#include "widgets/message_boxes.h"

namespace {

// The main window as the panel sees it, and what the panel and the session tell it.
class RecordingHost : public PanelHost, public SessionObserver {
 public:
  QSize ViewSize() const override { return {300, 240}; }
  void SetStatusText(const QString& text) override { status = text; }
  void SetSaveAsEnabled(bool) override {}
  bool ResultMayBeDiscarded() override { return true; }
  void PictureChanged() override { ++pictureChanges; }

  QString status;
  int pictureChanges = 0;
  std::vector<Qt::CursorShape> cursors;
  int rectangleChanges = 0;
};

// The session's jobs end through the application's event loop, as in the main window.
DenoiseSession::PostToOwner ThroughTheEventLoop() {
  return [](std::function<void()> call) {
    QMetaObject::invokeMethod(qApp, std::move(call), Qt::QueuedConnection);
  };
}

class PanelTest : public ::testing::Test {
 protected:
  // A 150 × 120 noisy photo fitted into the 300 × 240 view at 200 %.
  PanelTest() : photo_(testpics::AddNoise(testpics::SmoothScene(150, 120, 3, 8), 10.0, 3)) {
    view_.zoom = 2.0;
    view_.viewCenterX = 150;
    view_.viewCenterY = 120;
    view_.imageCenterX = 75;
    view_.imageCenterY = 60;
    measured_ = MeasurePhotoNoise(photo_);
    std::filesystem::create_directories(UserProfileFilePath().parent_path());
    SaveProfiles(TestStore(), UserProfileFilePath());
    session_.AddObserver(&host_);
    panel_ = std::make_unique<ParametersPanel>(session_, view_, host_, nullptr);
    QObject::connect(panel_.get(), &ParametersPanel::viewCursorChanged,
                     [this](Qt::CursorShape shape) { host_.cursors.push_back(shape); });
    QObject::connect(panel_.get(), &ParametersPanel::previewRectChanged,
                     [this] { ++host_.rectangleChanges; });
  }
  ~PanelTest() override {
    session_.StopJobAndWait();
    panel_.reset();
  }

  // A profile whose stored noise levels lie `offset` above the photo's measured ones.
  IsoProfile Profile(double strength, double offset) const {
    return {0, strength, 10, 0, 0, 1, 1, 1, measured_.luma + offset, measured_.chroma + offset, 0};
  }

  // The unknown camera's ISO 800 profile has nearly the measured noise; the camera's ISO 400
  // profile is nearer to it than its ISO 100 one.
  CameraProfileStore TestStore() const {
    CameraProfileStore store = BuiltInProfileStore();
    StoreProfile(store, kUnknownCameraName, "100", Profile(5, 50));
    StoreProfile(store, kUnknownCameraName, "200", Profile(20, 30));
    StoreProfile(store, kUnknownCameraName, "800", Profile(30, 0.2));
    StoreProfile(store, kUnknownCameraName, "1000", Profile(40, 9));
    StoreProfile(store, "SONY / ILCE-6000", "100", Profile(12.34, 40));
    StoreProfile(store, "SONY / ILCE-6000", "400", Profile(8, 1));
    return store;
  }

  void Open(const char* make, const char* model, const char* iso) {
    PhotoDocument document;
    testpics::OpenInDocument(document, photo_);
    document.exif = ExifSummary{"f/4", "1/60 sec.", "150x120", iso, make, model, ""};
    ASSERT_TRUE(session_.Adopt(std::move(document)));
    panel_->PhotoOpened(300, false);
  }
  const PicBuf& Shown() const { return session_.Document().denoisedPicture; }
  void WaitForTheRunsEnd() {
    ASSERT_TRUE(QTest::qWaitFor([this] { return !session_.JobRunning(); }, 60000));
  }
  void WaitForThePreview() {
    ASSERT_TRUE(QTest::qWaitFor([this] { return !session_.PreviewWorking(); }, 60000));
  }
  template <typename T>
  T* Child(const char* name) const {
    return panel_->findChild<T*>(name);
  }
  QString DenoiseText() const { return Child<QPushButton>("denoise")->text(); }
  void ClickDenoise() { QTest::mouseClick(Child<QPushButton>("denoise"), Qt::LeftButton); }

  ScopedConfigHome config_;
  testpics::Picture photo_;
  DenoiseSession session_{ThroughTheEventLoop(), nullptr};
  ViewState view_;
  RecordingHost host_;
  NoiseLevels measured_{};
  std::unique_ptr<ParametersPanel> panel_;
};

// A camera without profiles of its own gets the automatic profile, an entry of its own at the top
// of the camera list, until its values are stored for that camera: then the stored profile wins.
TEST_F(PanelTest, ProfileChoiceTakesTheStoredIsoElseTheNearestElseTheAutomaticProfile) {
  struct Case {
    const char* make;
    const char* model;
    const char* iso;
    bool automatic;
    uint32_t camera;
    uint32_t isoIndex;
  };
  const Case cases[] = {
      {"SONY", "ILCE-6000", "100", false, 1, 0},   // exact, whatever its noise
      {"SONY", "ILCE-6000", "1600", false, 1, 1},  // not stored: ISO 400 is nearest in noise
      {"Acme", "One", "1000", true, 0, 0},         // the unknown camera's ISO is not Acme's
      {"Acme", "One", "100", true, 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.make << " " << c.iso);
    Open(c.make, c.model, c.iso);
    EXPECT_EQ(session_.Panel().AutomaticShown(), c.automatic);
    EXPECT_EQ(panel_->Selection().camera, c.camera);
    EXPECT_EQ(panel_->Selection().isoIndex, c.isoIndex);
    auto* cameras = Child<QComboBox>("cameras");
    EXPECT_EQ(cameras->itemText(0).startsWith("Automatic (measured noise "), c.automatic);
    EXPECT_EQ(cameras->currentIndex() == 0, c.automatic);
  }
  EXPECT_GT(panel_->CurrentProfile().m_dStrength, 0.0);
  // The next photo of the folder keeps the values being tuned, but the automatic entry is its own.
  const QString noisier = Child<QComboBox>("cameras")->itemText(0);
  PhotoDocument next;
  testpics::OpenInDocument(next, testpics::AddNoise(photo_, 20.0, 9));
  next.exif = ExifSummary{"f/4", "1/60 sec.", "150x120", "100", "Acme", "One", ""};
  const IsoProfile kept = panel_->CurrentProfile();
  ASSERT_TRUE(session_.Adopt(std::move(next)));
  panel_->PhotoOpened(300, true);
  EXPECT_DOUBLE_EQ(panel_->CurrentProfile().m_dStrength, kept.m_dStrength);
  EXPECT_NE(Child<QComboBox>("cameras")->itemText(0), noisier);
  panel_->StoreManualSetting("Acme / One", "100");
  Open("Acme", "One", "100");
  EXPECT_FALSE(session_.Panel().AutomaticShown());
  EXPECT_EQ(panel_->Store().cameras[panel_->Selection().camera].m_wcsCameraName, "Acme / One");
}

TEST_F(PanelTest, AProfileShowsItsExactValuesAndTheFullRunGetsTheSliderPositions) {
  Open("SONY", "ILCE-6000", "100");
  EXPECT_DOUBLE_EQ(panel_->CurrentProfile().m_dStrength, 12.34);
  EXPECT_EQ(Child<QSlider>("slider0")->value(), 247);
  EXPECT_EQ(Child<QLineEdit>("value0")->text(), "12.3");
  EXPECT_EQ(Child<QLineEdit>("value3")->text(), "0.00");

  ClickDenoise();
  EXPECT_EQ(panel_->State(), PanelState::kRunning);
  EXPECT_TRUE(session_.JobRunning());
  EXPECT_DOUBLE_EQ(session_.Panel().RunValues().m_dStrength, 12.35);
  EXPECT_DOUBLE_EQ(session_.Panel().RunValues().m_dStrengthChroma, 10.0);
  WaitForTheRunsEnd();
  EXPECT_EQ(panel_->State(), PanelState::kResultShown);
}

TEST_F(PanelTest, TheNewPhotosPreviewCoversItWholeAndOnlyChangesRecomputeIt) {
  Open("Acme", "One", "100");
  EXPECT_EQ(panel_->ShownPreviewPixels(), (PreviewPixels{0, 0, 150, 120}));
  EXPECT_EQ(view_.previewRect, &panel_->ShownPreviewPixels());
  WaitForThePreview();
  EXPECT_FALSE(testpics::BitIdentical(Shown(), photo_));
  const int updates = host_.pictureChanges;

  // Pressing and releasing on the rectangle without moving it computes nothing.
  panel_->ViewMouseMoved({150, 120}, false);
  EXPECT_TRUE(panel_->OverPreview());
  panel_->ViewMousePressed({150, 120});
  panel_->ViewMouseReleased({150, 120});
  EXPECT_EQ(host_.pictureChanges, updates);

  // A slider step from the keyboard always does, with the value one position further.
  QSlider* tiny = Child<QSlider>("slider4");
  tiny->setFocus();
  QTest::keyClick(tiny, Qt::Key_Right);
  EXPECT_DOUBLE_EQ(panel_->CurrentProfile().m_dSharp1, 1.2);
  EXPECT_TRUE(session_.PreviewWorking());
  WaitForThePreview();
  EXPECT_EQ(host_.pictureChanges, updates + 1);
}

TEST_F(PanelTest, DraggingMovesTheRectangleAndItsPictureAndOffThePictureShowsTheUntouchedPhoto) {
  Open("Acme", "One", "100");
  WaitForThePreview();
  panel_->ViewMouseMoved({150, 120}, false);
  panel_->ViewMousePressed({150, 120});
  EXPECT_EQ(host_.cursors.back(), Qt::SizeAllCursor);
  // 100 view pixels at 200 % move the rectangle 50 picture pixels right: the part it still covers
  // keeps its result at once, the rest follows.
  const int updates = host_.pictureChanges;
  panel_->ViewMouseMoved({250, 120}, true);
  EXPECT_EQ(panel_->ShownPreviewPixels(), (PreviewPixels{50, 0, 150, 120}));
  EXPECT_EQ(host_.pictureChanges, updates + 1);
  EXPECT_TRUE(session_.PreviewWorking());
  WaitForThePreview();
  EXPECT_EQ(host_.pictureChanges, updates + 2);
  // Off the picture: the photo at once, and nothing more on release.
  const int moves = host_.rectangleChanges;
  panel_->ViewMouseMoved({550, 120}, true);
  EXPECT_EQ(host_.rectangleChanges, moves + 1);
  EXPECT_EQ(panel_->ShownPreviewPixels(), (PreviewPixels{150, 0, 150, 120}));
  EXPECT_TRUE(testpics::BitIdentical(Shown(), photo_));
  panel_->ViewMouseReleased({550, 120});
  EXPECT_EQ(host_.pictureChanges, updates + 3);
  EXPECT_FALSE(session_.PreviewWorking());
}

// The rectangle's right edge dragged inward resizes it, down to 100 pixels; dragged past the view's
// edge, the rectangle carries the view along; Redefine leaves it where it was.
TEST_F(PanelTest, TheRectangleResizesByItsEdgeCarriesTheViewAndStaysThroughRedefine) {
  Open("Acme", "One", "100");  // the rectangle covers the photo: view 0 … 300, 0 … 240
  panel_->ViewMouseMoved({299, 120}, false);
  EXPECT_EQ(host_.cursors.back(), Qt::SizeHorCursor);
  panel_->ViewMousePressed({299, 120});
  panel_->ViewMouseMoved({199, 120}, true);  // 100 view pixels: 50 picture pixels narrower
  EXPECT_EQ(panel_->ShownPreviewPixels(), (PreviewPixels{0, 0, 100, 120}));
  panel_->ViewMouseMoved({99, 120}, true);
  EXPECT_EQ(panel_->ShownPreviewPixels(), (PreviewPixels{0, 0, 100, 120}));  // at least 100
  panel_->ViewMouseReleased({99, 120});

  panel_->ViewMouseMoved({50, 120}, false);
  panel_->ViewMousePressed({50, 120});
  panel_->ViewMouseMoved({350, 120}, true);  // past the view's right edge (300)
  EXPECT_GT(view_.imageCenterX, 75.0);
  double right = 0, bottom = 0;
  view_.Mapping().MapPointSrcToDst(right, bottom, panel_->ShownPreviewPixels().right, 0);
  EXPECT_LE(right, 300.0);
  panel_->ViewMouseReleased({350, 120});
  const PreviewPixels placed = panel_->ShownPreviewPixels();

  ClickDenoise();
  WaitForTheRunsEnd();
  ClickDenoise();  // Redefine
  EXPECT_EQ(panel_->ShownPreviewPixels(), placed);
}

TEST_F(PanelTest, SetDefaultKeepsThePointArtefactMode) {
  Open("SONY", "ILCE-6000", "100");
  QTest::mouseClick(Child<QAbstractButton>("median2"), Qt::LeftButton);
  EXPECT_EQ(panel_->CurrentProfile().m_iUseMedian, 2);
  QTest::mouseClick(Child<QPushButton>("setDefault"), Qt::LeftButton);
  const IsoProfile& p = panel_->CurrentProfile();
  EXPECT_EQ((std::vector<double>{p.m_dStrength, p.m_dStrengthChroma, p.m_dStrengthChromaLarge,
                                 p.m_dDynamics, p.m_dSharp1, p.m_dSharp2, p.m_dSharp3}),
            (std::vector<double>{10, 10, 10, 0, 1, 1, 1}));
  EXPECT_EQ(panel_->CurrentProfile().m_iUseMedian, 2);
  QStringList positions;
  QStringList texts;
  for (int i = 0; i < 7; ++i) {
    positions << QString::number(Child<QSlider>(qPrintable(QString("slider%1").arg(i)))->value());
    texts << Child<QLineEdit>(qPrintable(QString("value%1").arg(i)))->text();
  }
  EXPECT_EQ(positions.join(" "), "200 200 200 100 5 5 5");
  EXPECT_EQ(texts.join(" "), "10.0 10.0 10.0 0.00 1.0 1.0 1.0");
}

TEST_F(PanelTest, HidingManualTuningIsStoredAtOnceAndTheValuesStillApply) {
  Open("SONY", "ILCE-6000", "100");
  QTest::mouseClick(Child<QAbstractButton>("manualTuning"), Qt::LeftButton);
  EXPECT_FALSE(LoadShowManualTuning());
  EXPECT_TRUE(Child<QPushButton>("setDefault")->isHidden());
  EXPECT_FALSE(Child<QSlider>("slider0")->isVisibleTo(panel_.get()));
  EXPECT_DOUBLE_EQ(panel_->CurrentProfile().m_dStrength, 12.34);
  EXPECT_DOUBLE_EQ(session_.Panel().RunValues().m_dStrength, 12.35);
}

TEST_F(PanelTest, AFinishedRunShowsRedefineAndAnAbortedOneRestoresThePhoto) {
  Open("Acme", "One", "100");
  testpics::Picture preview(photo_);
  CBxPicBufAPI::Copy(preview, Shown());

  ClickDenoise();
  EXPECT_EQ(DenoiseText(), "Abort");
  EXPECT_EQ(view_.previewRect, nullptr);
  EXPECT_FALSE(Child<QSlider>("slider0")->isEnabled());
  WaitForTheRunsEnd();
  EXPECT_EQ(panel_->State(), PanelState::kResultShown);
  EXPECT_EQ(DenoiseText(), "Redefine");

  ClickDenoise();  // Redefine
  EXPECT_EQ(panel_->State(), PanelState::kIdle);
  EXPECT_EQ(DenoiseText(), "Denoise");
  EXPECT_EQ(view_.previewRect, &panel_->ShownPreviewPixels());

  // Abort before the run's end reaches the panel: the photo and its preview come back.
  ClickDenoise();
  ClickDenoise();
  WaitForTheRunsEnd();
  EXPECT_EQ(panel_->State(), PanelState::kIdle);
  EXPECT_EQ(DenoiseText(), "Denoise");
  EXPECT_TRUE(Child<QSlider>("slider0")->isEnabled());
  EXPECT_TRUE(testpics::BitIdentical(Shown(), preview));
}

TEST_F(PanelTest, ClosingWithCancelOnAResultBringsThePhotoBackAndSavesTheStore) {
  Open("Acme", "One", "100");
  ClickDenoise();
  WaitForTheRunsEnd();
  std::filesystem::remove(UserProfileFilePath());
  panel_->Close(false);
  EXPECT_TRUE(testpics::BitIdentical(Shown(), photo_));
  EXPECT_EQ(view_.previewRect, nullptr);
  EXPECT_EQ(host_.status.toStdString(), LocalisedString(18));
  EXPECT_TRUE(std::filesystem::exists(UserProfileFilePath()));
}

TEST_F(PanelTest, SavedSettingIsSelectedAndDeletingItsLastProfileReturnsToThePhotosCamera) {
  Open("SONY", "ILCE-6000", "1600");
  panel_->StoreManualSetting("Canon / EOS 5D", "250");
  EXPECT_EQ(panel_->Store().cameras[1].m_wcsCameraName, "Canon / EOS 5D");
  EXPECT_EQ(panel_->Selection().camera, 1u);
  EXPECT_DOUBLE_EQ(panel_->CurrentProfile().m_dImmerkaerY, measured_.luma);

  panel_->ApplyDeleteAnswer(DeleteAnswer::kNo);
  EXPECT_EQ(panel_->Store().cameras.size(), 2u);
  EXPECT_EQ(panel_->Selection().camera, 1u);  // SONY, now in slot 1 again
  EXPECT_EQ(panel_->Selection().isoIndex, 1u);

  std::vector<QString> shown;
  SetMessageRecorder(
      [&](MessageKind, const QString&, const QString& text) { shown.push_back(text); });
  panel_->StoreManualSetting(kUnknownCameraName, "3200");
  panel_->ApplyDeleteAnswer(DeleteAnswer::kYes);
  SetMessageRecorder({});
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_EQ(shown[0].toStdString(), LocalisedString(141));
}

TEST(PanelImages, EveryButtonDrawingIsInTheResources) {
  for (const char* name : {"SETTINGS_SAVE", "SETTINGS_DELETE", "SETTINGS_HIDE", "SETTINGS_SHOW"}) {
    EXPECT_TRUE(QSvgRenderer(QString(":/images/%1.svg").arg(name)).isValid()) << name;
  }
}

}  // namespace
