// The live preview without a toolkit, its owner's thread a queue: the rectangle shows the full-size
// result when its computation has come back, the photo everywhere else; a move shows at once what
// is known of the new place; only the old and new rectangles of the shown picture change; the
// newest request wins.
#include "session/live_preview.h"

#include <gtest/gtest.h>

#include <vector>

#include "engine/denoise_rectangle.h"
#include "profiles/profile_request.h"
#include "support/owner_queue.h"
#include "support/test_pictures.h"

namespace {

using testpics::Picture;

class LivePreviewTest : public ::testing::Test {
 protected:
  LivePreviewTest() : photo_(testpics::AddNoise(testpics::SmoothScene(420, 330, 3, 8), 12.0, 7)) {
    testpics::OpenInDocument(document_, photo_);
  }

  PreviewUpdateResult Update(const PreviewPixels& pixels, bool forced) {
    return preview_.Update(pixels, values_, PreviewEngineSettings{}, forced);
  }
  void WaitForTheResult() {
    ASSERT_TRUE(owner_.RunUntil([this] { return !preview_.Working(); }));
  }
  const SBxPicBuf& Shown() const { return document_.denoisedPicture; }

  // The full-size result inside `pixels`.
  Picture Expected(const PreviewPixels& pixels) const {
    Picture expected(1, 1, 3, 8);
    EXPECT_FALSE(DenoiseRectangle(expected, photo_, TileRectOf(pixels),
                                  RequestForProfile(values_, EngineChoice{}),
                                  {values_.m_dSharp1, values_.m_dSharp2, values_.m_dSharp3}, {}));
    return expected;
  }
  // The shown picture is the photo outside `pixels`, which hold `inside`.
  bool ShowsOnly(const PreviewPixels& pixels, const Picture& inside) const {
    Picture expected(photo_);
    CBxPicBufAPI::CopyRect(expected, inside, {pixels.left, pixels.top}, {0, 0},
                           {pixels.right - pixels.left, pixels.bottom - pixels.top});
    return testpics::BitIdentical(Shown(), expected);
  }

  Picture photo_;
  PhotoDocument document_;
  OwnerQueue owner_;
  GpuHandOver gpu_{nullptr};
  std::vector<PreviewChange> changes_;
  IsoProfile values_{100, 12, 14, 10, 0.5, 1.5, 1.2, 1, 5, 5, 1};
  LivePreview preview_{document_, gpu_, owner_.Poster(),
                       [this](const PreviewChange& change) { changes_.push_back(change); }};
};

TEST_F(LivePreviewTest, TheRectangleShowsTheFullSizeResultOnceItHasCome) {
  const PreviewPixels pixels{0, 0, 200, 200};
  ASSERT_EQ(Update(pixels, true), PreviewUpdateResult::kUpdated);
  // Nothing is known yet: the photo, rebuilt as a whole on the first update, and "working".
  ASSERT_EQ(changes_.size(), 1u);
  EXPECT_TRUE(changes_[0].wholePicture);
  EXPECT_TRUE(changes_[0].working);
  EXPECT_TRUE(testpics::BitIdentical(Shown(), photo_));

  WaitForTheResult();
  EXPECT_TRUE(ShowsOnly(pixels, Expected(pixels)));
  ASSERT_EQ(changes_.size(), 2u);
  EXPECT_FALSE(changes_[1].wholePicture);
  EXPECT_EQ(changes_[1].areas, std::vector<PreviewPixels>{pixels});
  EXPECT_FALSE(changes_[1].working);
}

TEST_F(LivePreviewTest, AMoveShowsTheKnownOverlapAtOnceAndChangesOnlyTheOldAndNewRectangles) {
  const PreviewPixels first{100, 80, 300, 280};
  Update(first, true);
  WaitForTheResult();
  // A mark far from both rectangles shows that nothing else of the shown picture is written.
  Picture marked(photo_);
  SBxPicBuf& shown = document_.denoisedPicture;
  for (SBxPicBuf* picture : {&shown, &marked.buf()}) {
    PicRow<uint8_t>(*picture, 320)[3 * 410] ^= 0xff;
  }

  const PreviewPixels second{151, 113, 351, 313};
  changes_.clear();
  ASSERT_EQ(Update(second, false), PreviewUpdateResult::kUpdated);
  const PreviewPixels overlap{151, 113, 300, 280};
  ASSERT_EQ(changes_.size(), 1u);
  EXPECT_EQ(changes_[0].areas, (std::vector<PreviewPixels>{first, overlap}));
  EXPECT_TRUE(changes_[0].working);
  // The overlap is the full-size result already: a result is that wherever it was asked for.
  EXPECT_TRUE(testpics::BitIdentical(testpics::CutOut(Shown(), TileRectOf(overlap)),
                                     testpics::CutOut(Expected(first), {51, 33, 200, 200})));

  WaitForTheResult();
  ASSERT_EQ(changes_.size(), 2u);
  EXPECT_EQ(changes_[1].areas, std::vector<PreviewPixels>{second});
  CBxPicBufAPI::CopyRect(marked, Expected(second), {second.left, second.top}, {0, 0}, {200, 200});
  EXPECT_TRUE(testpics::BitIdentical(Shown(), marked));
}

TEST_F(LivePreviewTest, RequestsFasterThanTheComputationEndWithTheNewestRectangle) {
  const PreviewPixels last{213, 121, 413, 321};
  for (int step = 0; step <= 8; ++step) {
    Update({step * 25 + 13, step * 13 + 17, step * 25 + 213, step * 13 + 217}, false);
  }
  WaitForTheResult();
  EXPECT_EQ(preview_.LastRequested(), last);
  EXPECT_TRUE(ShowsOnly(last, Expected(last)));
}

TEST_F(LivePreviewTest, OnlyAMovedOrForcedRequestAsksAgain) {
  const PreviewPixels pixels{10, 20, 210, 220};
  ASSERT_EQ(Update(pixels, true), PreviewUpdateResult::kUpdated);
  EXPECT_EQ(Update(pixels, false), PreviewUpdateResult::kUnchanged);
  EXPECT_EQ(Update(pixels, true), PreviewUpdateResult::kUpdated);
  WaitForTheResult();
  preview_.Reset();
  EXPECT_EQ(preview_.LastRequested(), std::nullopt);
  EXPECT_EQ(Update(pixels, false), PreviewUpdateResult::kUpdated);
  EXPECT_TRUE(changes_.back().wholePicture) << "after Reset the shown picture is rebuilt";
}

TEST_F(LivePreviewTest, AnAbandonedRequestBringsNothingUntilItIsResumed) {
  const PreviewPixels pixels{40, 40, 240, 240};
  Update(pixels, true);
  preview_.Abandon();
  preview_.WaitUntilIdle();
  owner_.RunPending();
  EXPECT_TRUE(preview_.Working());
  EXPECT_TRUE(testpics::BitIdentical(Shown(), photo_));
  preview_.Resume();
  WaitForTheResult();
  EXPECT_TRUE(ShowsOnly(pixels, Expected(pixels)));
}

TEST_F(LivePreviewTest, ARectangleOffThePictureShowsTheUntouchedPhoto) {
  Update(PreviewPixels{100, 50, 300, 250}, true);
  WaitForTheResult();
  const PreviewPixels off = PreviewPixelsOf(PreviewRect{-500, -400, -300, -200}, 420, 330);
  EXPECT_EQ(Update(off, true), PreviewUpdateResult::kUpdated);
  EXPECT_FALSE(preview_.Working());
  EXPECT_TRUE(testpics::BitIdentical(Shown(), photo_));
}

TEST_F(LivePreviewTest, NoPhotoChangesNothing) {
  CBxPicBufAPI::DoneHeap(document_.sourcePicture);
  EXPECT_EQ(Update(PreviewPixels{0, 0, 200, 200}, true), PreviewUpdateResult::kNoPhoto);
  EXPECT_TRUE(testpics::BitIdentical(Shown(), photo_));
  EXPECT_TRUE(changes_.empty());
}

}  // namespace
