// The live preview on the graphics card (Mesa's software OpenGL in CI): its worker borrows the
// card's context, the owner's thread gets it back for the card's admission, and the full-size run
// on the card gives the preview's pixels inside its rectangle.
#include <gtest/gtest.h>

#include <memory>

#include "engine/denoise_rectangle.h"
#include "engine/gpu_self_test.h"
#include "gpu/gl_context.h"
#include "profiles/profile_request.h"
#include "session/denoise_session.h"
#include "support/owner_queue.h"
#include "support/scoped_config_home.h"
#include "support/test_pictures.h"

namespace {

using testpics::Picture;

TEST(CardPreview, BorrowsTheContextAndShowsWhatTheFullRunOnTheCardGives) {
  auto card = std::make_unique<CGPGPU>();
  if (!InitGpu(*card, true)) GTEST_SKIP() << "no usable OpenGL context through EGL";
  const ScopedConfigHome config;
  OwnerQueue owner;
  DenoiseSession session(owner.Poster(), std::move(card));
  session.SetAcceleration({true, false});
  PhotoDocument document;
  testpics::OpenInDocument(document,
                           testpics::AddNoise(testpics::SmoothScene(300, 200, 3, 8), 9.0, 4));
  ASSERT_TRUE(session.Adopt(std::move(document)));
  session.Panel().PhotoOpened(session.Document(), false);
  const auto previewDone = [&session] { return !session.PreviewWorking(); };

  const PreviewPixels rectangle{57, 33, 257, 183};
  session.UpdatePreview(rectangle, true);
  ASSERT_TRUE(owner.RunUntil(previewDone));
  const Picture preview =
      testpics::CutOut(session.Document().denoisedPicture, TileRectOf(rectangle));
  // The card's arithmetic differs from the CPU's by a few levels: the preview ran on the card.
  const IsoProfile values = session.Panel().RunValues();
  Picture onCpu(1, 1, 3, 8);
  ASSERT_FALSE(DenoiseRectangle(onCpu, session.Document().sourcePicture, TileRectOf(rectangle),
                                RequestForProfile(values, EngineChoice{}),
                                {values.m_dSharp1, values.m_dSharp2, values.m_dSharp3}, {}));
  EXPECT_FALSE(testpics::BitIdentical(onCpu, preview));

  // The owner's thread holds the context again while the card's admission runs on it (the
  // self-test passes, whatever the timed probe says of a software renderer), and lends it anew.
  const AccelerationAdmission& admission = session.CardAdmission();
  EXPECT_NE(admission.verdict, AccelerationVerdict::kNoCard);
  EXPECT_NE(admission.verdict, AccelerationVerdict::kSelfTestFailed);
  session.UpdatePreview(rectangle, true);
  ASSERT_TRUE(owner.RunUntil(previewDone));
  EXPECT_TRUE(testpics::BitIdentical(
      testpics::CutOut(session.Document().denoisedPicture, TileRectOf(rectangle)), preview));

  ASSERT_TRUE(session.StartFullRun(nullptr));
  ASSERT_TRUE(owner.RunUntil([&session] { return !session.JobRunning(); }));
  EXPECT_TRUE(testpics::BitIdentical(
      testpics::CutOut(session.Document().denoisedPicture, TileRectOf(rectangle)), preview));
}

}  // namespace
