// The parameters panel as the main window drives it: a photo is opened, profiles are chosen, the
// preview follows the controls, and a full-size run is started, finished and aborted.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QLabel>
#include <QPushButton>
#include <QSlider>
#include <QSvgRenderer>
#include <QTest>

#include "config/localisation.h"
#include "widgets/message_boxes.h"
#include "app/private_messages.h"
#include "config/settings.h"
#include "panel/parameters_panel.h"
#include "support/scoped_config_home.h"
#include "support/test_pictures.h"

namespace {

class RecordingHost : public QObject, public PanelHost {
 public:
  std::vector<QEvent::Type> messages;
  uintptr_t startWParam = 0;
  intptr_t startLParam = 0;
  QString status;

  bool event(QEvent* event) override {
    if (event->type() < QEvent::User) return QObject::event(event);
    const auto* message = static_cast<PrivateMessageEvent*>(event);
    messages.push_back(message->type());
    if (message->type() == UM_START_FULL_DENOISE) {
      startWParam = message->wParam;
      startLParam = message->lParam;
    }
    return true;
  }
  int Count(QEvent::Type type) const {
    return static_cast<int>(std::count(messages.begin(), messages.end(), type));
  }
  QObject* MainWindowObject() override { return this; }
  QSize ViewSize() const override { return {300, 240}; }
  void SetStatusText(const QString& text) override { status = text; }
  void SetSaveAsEnabled(bool) override {}
  void StopFullRun() override { ++stops; }
  AccelerationChoice Acceleration() const override { return {}; }
  CGPGPU* Gpu() override { return nullptr; }
  int stops = 0;
};

class PanelTest : public ::testing::Test {
 protected:
  // A 150 × 120 noisy photo fitted into the 300 × 240 view at 200 %.
  PanelTest() : photo_(testpics::AddNoise(testpics::SmoothScene(150, 120, 3, 8), 10.0, 3)) {
    testpics::OpenInDocument(document_, photo_);
    view_.zoom = 2.0;
    view_.viewCenterX = 150;
    view_.viewCenterY = 120;
    view_.imageCenterX = 75;
    view_.imageCenterY = 60;
    measured_ = MeasurePhotoNoise(photo_);
    std::filesystem::create_directories(UserProfileFilePath().parent_path());
    SaveProfiles(TestStore(), UserProfileFilePath());
    panel_ = std::make_unique<ParametersPanel>(document_, view_, host_, nullptr);
  }
  ~PanelTest() override {
    panel_.reset();
    ReleasePhotoDocument(document_);
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
    document_.exif = ExifSummary{"f/4", "1/60 sec.", "150x120", iso, make, model, ""};
    SendPrivateMessage(panel_.get(), UM_PHOTO_OPENED, 300, 0);
  }
  template <typename T>
  T* Child(const char* name) const {
    return panel_->findChild<T*>(name);
  }
  QString DenoiseText() const { return Child<QPushButton>("denoise")->text(); }
  void ClickDenoise() { QTest::mouseClick(Child<QPushButton>("denoise"), Qt::LeftButton); }

  ScopedConfigHome config_;
  testpics::Picture photo_;
  PhotoDocument document_;
  ViewState view_;
  RecordingHost host_;
  NoiseLevels measured_{};
  std::unique_ptr<ParametersPanel> panel_;
};

TEST_F(PanelTest, ProfileChoiceTakesTheStoredIsoElseTheNearestMeasuredNoise) {
  struct Case {
    const char* make;
    const char* model;
    const char* iso;
    uint32_t camera;
    uint32_t isoIndex;
  };
  const Case cases[] = {
      {"SONY", "ILCE-6000", "100", 1, 0},   // exact, whatever its noise
      {"SONY", "ILCE-6000", "1600", 1, 1},  // not stored: ISO 400 is nearest in noise
      {"Acme", "One", "1000", 0, 3},        // unknown camera, stored ISO
      {"Acme", "One", "100", 0, 0},         // unknown camera, stored ISO
      {"Acme", "One", "1600", 0, 2},        // ISO 800: nearest, neither lowest nor nearest ISO
  };
  for (const Case& c : cases) {
    Open(c.make, c.model, c.iso);
    EXPECT_EQ(panel_->Selection().camera, c.camera) << c.make << " " << c.iso;
    EXPECT_EQ(panel_->Selection().isoIndex, c.isoIndex) << c.make << " " << c.iso;
  }
}

TEST_F(PanelTest, AProfileShowsItsExactValuesAndTheFullRunGetsTheSliderPositions) {
  Open("SONY", "ILCE-6000", "100");
  EXPECT_DOUBLE_EQ(panel_->CurrentProfile().m_dStrength, 12.34);
  EXPECT_EQ(Child<QSlider>("slider0")->value(), 247);
  EXPECT_EQ(Child<QLabel>("value0")->text(), "12.3");
  EXPECT_EQ(Child<QLabel>("value3")->text(), "0.00");

  ClickDenoise();
  EXPECT_EQ(panel_->PanelState(), ParametersPanel::kRunning);
  EXPECT_EQ(host_.Count(UM_START_FULL_DENOISE), 0);  // posted, not sent
  QCoreApplication::processEvents();
  ASSERT_EQ(host_.Count(UM_START_FULL_DENOISE), 1);
  EXPECT_EQ(host_.startWParam, 247u | (200u << 16));
  EXPECT_EQ(host_.startLParam, static_cast<intptr_t>(0 | (100 << 16)));
}

TEST_F(PanelTest, TheNewPhotosPreviewCoversItWholeAndOnlyChangesRecomputeIt) {
  Open("Acme", "One", "100");
  EXPECT_EQ(panel_->ShownPreviewPixels(), (PreviewPixels{0, 0, 150, 120}));
  EXPECT_EQ(view_.previewRect, &panel_->ShownPreviewPixels());
  EXPECT_EQ(panel_->Preview().LastRegion(), (PreviewPixels{0, 0, 150, 120}));
  EXPECT_FALSE(testpics::BitIdentical(document_.denoisedPicture, photo_));
  const int updates = host_.Count(UM_VIEW_PICTURE_CHANGED);

  // Pressing and releasing on the rectangle without moving it computes nothing.
  panel_->ViewMouseMoved({150, 120}, false);
  EXPECT_TRUE(panel_->OverPreview());
  panel_->ViewMousePressed({150, 120});
  panel_->ViewMouseReleased({150, 120});
  EXPECT_EQ(host_.Count(UM_VIEW_PICTURE_CHANGED), updates);

  // A slider step from the keyboard always does, with the value one position further.
  QSlider* tiny = Child<QSlider>("slider4");
  tiny->setFocus();
  QTest::keyClick(tiny, Qt::Key_Right);
  EXPECT_DOUBLE_EQ(panel_->CurrentProfile().m_dSharp1, 1.2);
  EXPECT_EQ(host_.Count(UM_VIEW_PICTURE_CHANGED), updates + 1);
}

TEST_F(PanelTest, DraggingMovesTheRectangleAndOffThePictureShowsTheUntouchedPhoto) {
  Open("Acme", "One", "100");
  panel_->ViewMouseMoved({150, 120}, false);
  panel_->ViewMousePressed({150, 120});
  EXPECT_EQ(host_.messages.back(), UM_CURSOR_MOVE);
  // 400 view pixels at 200 % move the rectangle 200 picture pixels right: off the picture.
  panel_->ViewMouseMoved({550, 120}, true);
  EXPECT_EQ(host_.messages.back(), UM_VIEW_PREVIEW_RECT_CHANGED);
  EXPECT_EQ(panel_->ShownPreviewPixels(), (PreviewPixels{150, 0, 150, 120}));
  panel_->ViewMouseReleased({550, 120});
  EXPECT_TRUE(testpics::BitIdentical(document_.denoisedPicture, photo_));
  EXPECT_EQ(host_.messages.back(), UM_VIEW_PICTURE_CHANGED);
}

TEST_F(PanelTest, SetDefaultKeepsThePointArtefactMode) {
  Open("SONY", "ILCE-6000", "100");
  QTest::mouseClick(Child<QAbstractButton>("median2"), Qt::LeftButton);
  EXPECT_EQ(panel_->MedianMode(), 2);
  QTest::mouseClick(Child<QPushButton>("setDefault"), Qt::LeftButton);
  const IsoProfile& p = panel_->CurrentProfile();
  EXPECT_EQ((std::vector<double>{p.m_dStrength, p.m_dStrengthChroma, p.m_dStrengthChromaLarge,
                                 p.m_dDynamics, p.m_dSharp1, p.m_dSharp2, p.m_dSharp3}),
            (std::vector<double>{10, 10, 10, 0, 1, 1, 1}));
  EXPECT_EQ(panel_->MedianMode(), 2);
  QStringList positions;
  QStringList texts;
  for (int i = 0; i < 7; ++i) {
    positions << QString::number(Child<QSlider>(qPrintable(QString("slider%1").arg(i)))->value());
    texts << Child<QLabel>(qPrintable(QString("value%1").arg(i)))->text();
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
  ClickDenoise();
  QCoreApplication::processEvents();
  EXPECT_EQ(host_.startWParam & 0xFFFF, 247u);
}

TEST_F(PanelTest, AFinishedRunShowsRedefineAndAnAbortedOneRestoresThePhoto) {
  Open("Acme", "One", "100");
  testpics::Picture preview(photo_);
  CBxPicBufAPI::Copy(preview, document_.denoisedPicture);

  ClickDenoise();
  EXPECT_EQ(DenoiseText(), "Abort");
  EXPECT_EQ(view_.previewRect, nullptr);
  EXPECT_FALSE(Child<QSlider>("slider0")->isEnabled());
  PostPrivateMessage(panel_.get(), UM_FULL_DENOISE_DONE);
  QCoreApplication::processEvents();
  EXPECT_EQ(panel_->PanelState(), ParametersPanel::kResultShown);
  EXPECT_EQ(DenoiseText(), "Redefine");

  ClickDenoise();  // Redefine
  EXPECT_EQ(panel_->PanelState(), ParametersPanel::kIdle);
  EXPECT_EQ(DenoiseText(), "Denoise");
  EXPECT_EQ(view_.previewRect, &panel_->ShownPreviewPixels());

  ClickDenoise();
  ClickDenoise();  // Abort
  EXPECT_EQ(host_.stops, 1);
  CBxPicBufAPI::SetConst(document_.denoisedPicture, 0);  // what a cancelled run leaves
  PostPrivateMessage(panel_.get(), UM_FULL_DENOISE_ABORTED);
  QCoreApplication::processEvents();
  EXPECT_EQ(panel_->PanelState(), ParametersPanel::kIdle);
  EXPECT_EQ(DenoiseText(), "Denoise");
  EXPECT_TRUE(Child<QSlider>("slider0")->isEnabled());
  EXPECT_TRUE(testpics::BitIdentical(document_.denoisedPicture, preview));
}

TEST_F(PanelTest, ClosingWithCancelOnAResultBringsThePhotoBackAndSavesTheStore) {
  Open("Acme", "One", "100");
  ClickDenoise();
  PostPrivateMessage(panel_.get(), UM_FULL_DENOISE_DONE);
  QCoreApplication::processEvents();
  std::filesystem::remove(UserProfileFilePath());
  panel_->Close(false);
  EXPECT_TRUE(testpics::BitIdentical(document_.denoisedPicture, photo_));
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
