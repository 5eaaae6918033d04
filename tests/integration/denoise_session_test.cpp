// A whole session without any toolkit: a photo opened from a file, the preview, a full-size run
// that ends with its result or is aborted, the result saved; the owner's thread is a plain queue.
#include "session/denoise_session.h"

#include <gtest/gtest.h>


#include "engine/denoise.h"
#include "engine/denoise_rectangle.h"
#include "engine/sharpen_picture.h"
#include "profiles/profile_request.h"
#include "support/owner_queue.h"
#include "support/photo_files.h"
#include "support/scoped_config_home.h"
#include "support/test_pictures.h"

namespace {

using testphotos::TempFolder;
using testpics::Picture;

struct RecordingObserver : SessionObserver {
  void PictureChanged() override { ++pictureChanges; }
  void PreviewShown(const std::vector<PreviewPixels>& areas, bool) override {
    previewAreas.insert(previewAreas.end(), areas.begin(), areas.end());
  }
  void FullRunStarted() override { ++starts; }
  void FullRunEnded(bool aborted) override { ends.push_back(aborted); }
  int pictureChanges = 0;
  std::vector<PreviewPixels> previewAreas;
  int starts = 0;
  std::vector<bool> ends;
};

// A stored profile of the camera and ISO of `exif` with values between the sliders' steps:
// strength 12.34 runs as 12.35, chroma-large 2.99 as 3 (its pass with strength 3, not 2).
void StoreValuesBetweenTheSlidersSteps(const ExifSummary& exif) {
  CameraProfileStore store = BuiltInProfileStore();
  IsoProfile profile = store.cameras[0].profiles[0];
  profile.m_dStrength = 12.34;
  profile.m_dStrengthChroma = 9.97;
  profile.m_dStrengthChromaLarge = 2.99;
  profile.m_dDynamics = 0.33;
  profile.m_dSharp1 = 1.5;
  ASSERT_FALSE(StoreProfile(store, exif.make + " / " + exif.model, exif.iso, profile));
  std::filesystem::create_directories(UserProfileFilePath().parent_path());
  ASSERT_FALSE(SaveProfiles(store, UserProfileFilePath()));
}

class SessionTest : public ::testing::Test {
 protected:
  SessionTest() {
    session_.AddObserver(&observer_);
    photo_ = folder_ / "noisy.png";
    const Picture noisy = testpics::AddNoise(testpics::SmoothScene(160, 120, 3, 8), 12.0, 5);
    PhotoDocument document;
    testpics::OpenInDocument(document, noisy);
    EXPECT_EQ(SavePhoto(document, photo_, 90), SaveFailure::kNone);
  }

  // Runs the owner's queue until the job has ended there.
  void WaitForTheJob() {
    ASSERT_TRUE(owner_.RunUntil([this] { return !session_.JobRunning(); }));
  }
  // Runs the owner's queue until the preview shows its rectangle's result.
  void WaitForThePreview() {
    ASSERT_TRUE(owner_.RunUntil([this] { return !session_.PreviewWorking(); }));
  }

  const PicBuf& Source() const { return session_.Document().sourcePicture; }
  const PicBuf& Shown() const { return session_.Document().denoisedPicture; }

  ScopedConfigHome config_;
  TempFolder folder_;
  std::filesystem::path photo_;
  OwnerQueue owner_;
  RecordingObserver observer_;
  DenoiseSession session_{owner_.Poster(), nullptr};
};

TEST_F(SessionTest, OpenPreviewRunAndSaveWithoutAToolkit) {
  ASSERT_EQ(session_.Open(photo_, false).failure, OpenFailure::kNone);
  EXPECT_TRUE(testpics::BitIdentical(Shown(), Source()));
  session_.Panel().LoadStore();
  session_.Panel().PhotoOpened(session_.Document(), false);
  session_.Panel().SetSliderPosition(PanelScale::kStrength, 400);  // strength 20

  // The preview changes the rectangle only, and says so when its result has come.
  const PreviewPixels rectangle{40, 30, 100, 90};
  EXPECT_EQ(session_.UpdatePreview(rectangle, true), PreviewUpdateResult::kUpdated);
  EXPECT_TRUE(session_.PreviewWorking());
  WaitForThePreview();
  EXPECT_EQ(observer_.previewAreas, std::vector<PreviewPixels>{rectangle});
  Picture outside(160, 120, 3, 8);
  CBxPicBufAPI::Copy(outside, Shown());
  CBxPicBufAPI::CopyRect(outside, Source(), {40, 30}, {40, 30}, {60, 60});
  EXPECT_TRUE(testpics::BitIdentical(outside, Source()));
  EXPECT_FALSE(testpics::BitIdentical(Shown(), Source()));
  const Picture preview = testpics::CutOut(Shown(), TileRectOf(rectangle));

  // The full-size run on the worker: what the engine and the sharpening give with the run values.
  ASSERT_TRUE(session_.StartFullRun(nullptr));
  EXPECT_EQ(observer_.starts, 1);
  EXPECT_FALSE(session_.StartFullRun(nullptr)) << "one job at a time";
  EXPECT_EQ(session_.UpdatePreview(rectangle, true), PreviewUpdateResult::kUnchanged);
  WaitForTheJob();
  EXPECT_EQ(observer_.ends, std::vector<bool>{false});
  EXPECT_EQ(session_.Panel().State(), PanelState::kResultShown);
  const IsoProfile values = session_.Panel().RunValues();
  Picture expected(160, 120, 3, 8);
  DenoisePicture(expected, Source(), RequestForProfile(values, EngineChoice{}));
  SharpenPicture(expected, values.m_dSharp1, values.m_dSharp2, values.m_dSharp3);
  EXPECT_TRUE(testpics::BitIdentical(Shown(), expected));
  EXPECT_TRUE(testpics::BitIdentical(testpics::CutOut(Shown(), TileRectOf(rectangle)), preview));

  // Saved and opened again: the result's samples.
  const std::filesystem::path saved = folder_ / "saved.png";
  ASSERT_EQ(session_.Save(saved, 90, nullptr), SaveFailure::kNone);
  Picture result(expected);
  CBxPicBufAPI::Copy(result, Shown());
  ASSERT_EQ(session_.Open(saved, false).failure, OpenFailure::kNone);
  EXPECT_TRUE(testpics::BitIdentical(Source(), result));
}

TEST_F(SessionTest, AnAbortedRunBringsThePhotoBackAndALateEndingIsHarmless) {
  ASSERT_EQ(session_.Open(photo_, false).failure, OpenFailure::kNone);
  session_.Panel().PhotoOpened(session_.Document(), false);
  ASSERT_TRUE(session_.StartFullRun(nullptr));
  session_.AbortFullRun();
  WaitForTheJob();
  EXPECT_EQ(observer_.ends, std::vector<bool>{true});
  EXPECT_EQ(session_.Panel().State(), PanelState::kIdle);
  EXPECT_TRUE(testpics::BitIdentical(Shown(), Source()));

  // Stopped and ended at once (the window closes): the ending the worker queued finds nothing to
  // end, also once a new run has begun.
  ASSERT_TRUE(session_.StartFullRun(nullptr));
  session_.StopJobAndWait();
  EXPECT_EQ(observer_.ends, (std::vector<bool>{true, true}));
  ASSERT_TRUE(session_.StartFullRun(nullptr));
  owner_.RunPending();
  WaitForTheJob();
  EXPECT_EQ(observer_.ends, (std::vector<bool>{true, true, false}));
}

TEST_F(SessionTest, ThePreviewIsTheFullRunsResultWithTheValuesTheSlidersStandFor) {
  PhotoDocument document;
  testpics::OpenInDocument(document,
                           testpics::AddNoise(testpics::SmoothScene(700, 460, 3, 16), 9.0, 8));
  document.exif = ExifSummary{"f/4", "1/60 sec.", "700x460", "100", "SONY", "ILCE-6000", ""};
  StoreValuesBetweenTheSlidersSteps(document.exif);
  ASSERT_TRUE(session_.Adopt(std::move(document)));
  session_.Panel().LoadStore();
  session_.Panel().PhotoOpened(session_.Document(), false);
  ASSERT_DOUBLE_EQ(session_.Panel().Values().m_dStrengthChromaLarge, 2.99);

  const PreviewPixels rectangle{333, 101, 533, 301};
  session_.UpdatePreview(rectangle, true);
  WaitForThePreview();
  const Picture preview = testpics::CutOut(Shown(), TileRectOf(rectangle));
  // The profile's values as they are give another picture.
  const IsoProfile stored = session_.Panel().Values();
  Picture asStored(1, 1, 3, 16);
  ASSERT_FALSE(DenoiseRectangle(asStored, Source(), TileRectOf(rectangle),
                                RequestForProfile(stored, EngineChoice{}),
                                {stored.m_dSharp1, stored.m_dSharp2, stored.m_dSharp3}, {}));
  EXPECT_FALSE(testpics::BitIdentical(asStored, preview));

  ASSERT_TRUE(session_.StartFullRun(nullptr));
  WaitForTheJob();
  EXPECT_TRUE(testpics::BitIdentical(testpics::CutOut(Shown(), TileRectOf(rectangle)), preview));
}

TEST_F(SessionTest, AFullRunAskedForWhileThePreviewComputesWaitsForItAndKeepsItsResult) {
  PhotoDocument document;
  const Picture photo = testpics::AddNoise(testpics::SmoothScene(600, 400, 3, 8), 9.0, 9);
  testpics::OpenInDocument(document, photo);
  ASSERT_TRUE(session_.Adopt(std::move(document)));
  session_.Panel().PhotoOpened(session_.Document(), false);
  session_.UpdatePreview({100, 100, 300, 300}, true);
  ASSERT_TRUE(session_.StartFullRun(nullptr));
  WaitForTheJob();
  const IsoProfile values = session_.Panel().RunValues();
  Picture expected(photo);
  DenoisePicture(expected, photo, RequestForProfile(values, EngineChoice{}));
  SharpenPicture(expected, values.m_dSharp1, values.m_dSharp2, values.m_dSharp3);
  EXPECT_TRUE(testpics::BitIdentical(Shown(), expected));
  EXPECT_FALSE(session_.PreviewWorking());
}

TEST(SessionLifetime, AnEndingQueuedForASessionThatIsGoneDoesNothing) {
  const ScopedConfigHome config;
  OwnerQueue owner;
  {
    DenoiseSession session(owner.Poster(), nullptr);
    PhotoDocument document;
    testpics::OpenInDocument(document, testpics::SmoothScene(64, 48, 1, 8));
    ASSERT_TRUE(session.Adopt(std::move(document)));
    ASSERT_TRUE(session.StartFullRun(nullptr));
  }
  owner.RunPending();
}

}  // namespace
