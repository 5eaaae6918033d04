// A whole session without any toolkit: a photo opened from a file, the preview, a full-size run
// that ends with its result or is aborted, the result saved; the owner's thread is a plain queue.
#include "session/denoise_session.h"

#include <gtest/gtest.h>

#include <chrono>
#include <deque>
#include <mutex>
#include <thread>

#include "engine/denoise.h"
#include "engine/sharpen_picture.h"
#include "profiles/profile_request.h"
#include "support/photo_files.h"
#include "support/scoped_config_home.h"
#include "support/test_pictures.h"

namespace {

using testphotos::TempFolder;
using testpics::Picture;

// The owner's thread: endings queued by the worker run when the test says so.
class OwnerQueue {
 public:
  DenoiseSession::PostToOwner Poster() {
    return [this](std::function<void()> call) {
      const std::lock_guard<std::mutex> lock(mutex_);
      calls_.push_back(std::move(call));
    };
  }
  void RunPending() {
    std::deque<std::function<void()>> calls;
    {
      const std::lock_guard<std::mutex> lock(mutex_);
      calls.swap(calls_);
    }
    for (const auto& call : calls) call();
  }

 private:
  std::mutex mutex_;
  std::deque<std::function<void()>> calls_;
};

struct RecordingObserver : SessionObserver {
  void PictureChanged() override { ++pictureChanges; }
  void FullRunStarted() override { ++starts; }
  void FullRunEnded(bool aborted) override { ends.push_back(aborted); }
  int pictureChanges = 0;
  int starts = 0;
  std::vector<bool> ends;
};

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
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (session_.JobRunning() && std::chrono::steady_clock::now() < deadline) {
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
      owner_.RunPending();
    }
    ASSERT_FALSE(session_.JobRunning());
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

  // The preview changes the rectangle only, and says so once.
  const PreviewPixels rectangle{40, 30, 100, 90};
  EXPECT_EQ(session_.UpdatePreview(rectangle, true), PreviewUpdateResult::kUpdated);
  EXPECT_EQ(observer_.pictureChanges, 1);
  Picture outside(160, 120, 3, 8);
  CBxPicBufAPI::Copy(outside, Shown());
  CBxPicBufAPI::CopyRect(outside, Source(), {40, 30}, {40, 30}, {60, 60});
  EXPECT_TRUE(testpics::BitIdentical(outside, Source()));
  EXPECT_FALSE(testpics::BitIdentical(Shown(), Source()));

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
