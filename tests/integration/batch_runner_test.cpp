// Batch denoising of folder trees written in the test, end to end through the real files.
#include "batch/batch_runner.h"

#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include "batch/folder_listing.h"
#include "engine/denoise.h"
#include "picture/photo_loading.h"
#include "profiles/noise_calibration_file.h"
#include "profiles/profile_decision.h"
#include "support/photo_files.h"
#include "support/test_pictures.h"

namespace fs = std::filesystem;

namespace {

using testphotos::TempFolder;

class RecordingObserver : public BatchObserver {
 public:
  void PhotoDone(const fs::path& input, const fs::path& output, BatchOutcome outcome,
                 const std::string& reason) override {
    done.push_back({input, output, outcome, reason});
    if (abortAfter > 0 && done.size() == static_cast<size_t>(abortAfter)) stop.Request();
    if (onDone) onDone();
  }
  void FileSkipped(const fs::path& input, const std::string&) override { skipped.push_back(input); }
  void FolderSkipped(const fs::path& folder, const std::string&) override {
    skippedFolders.push_back(folder);
  }

  struct Done {
    fs::path input, output;
    BatchOutcome outcome;
    std::string reason;
  };
  std::vector<Done> done;
  std::vector<fs::path> skipped;
  std::vector<fs::path> skippedFolders;
  int abortAfter = 0;
  StopFlag stop;  // the run's, raised after `abortAfter` photos
  std::function<void()> onDone;
};

void WritePhoto(const fs::path& path, int32_t width, int32_t height) {
  testphotos::WritePatternPhoto(path, width, height);
}

class BatchRunnerTest : public ::testing::Test {
 protected:
  BatchSummary Run(RecordingObserver& observer) {
    return BatchThread(root_.path(), options_, &observer, &observer.stop);
  }

  testphotos::TemporarySettings settings_;
  TempFolder root_;
  BatchOptions options_;
};

TEST_F(BatchRunnerTest, WritesEachResultIntoTheDenoisedFolderBesideIt) {
  WritePhoto(root_ / "a.jpg", 40, 30);
  WritePhoto(root_ / "b.png", 36, 20);
  WritePhoto(root_ / "s/c.tif", 20, 44);
  testphotos::WriteBytes(root_ / "notes.txt", "not a photo");
  RecordingObserver observer;
  const BatchSummary summary = Run(observer);

  EXPECT_EQ(summary.denoised, 3u);
  EXPECT_EQ(summary.skipped, 1u);
  EXPECT_FALSE(summary.cancelled);
  EXPECT_TRUE(fs::exists(root_ / "denoised/a.jpg"));
  EXPECT_TRUE(fs::exists(root_ / "denoised/b.png"));
  EXPECT_TRUE(fs::exists(root_ / "s/denoised/c.tif"));
  EXPECT_FALSE(fs::exists(root_ / "denoised/notes.txt"));
  // Depth first in name order: a.jpg, b.png, then the subfolder s.
  ASSERT_EQ(observer.done.size(), 3u);
  EXPECT_EQ(observer.done[0].input, root_ / "a.jpg");
  EXPECT_EQ(observer.done[2].output, root_ / "s/denoised/c.tif");
}

TEST_F(BatchRunnerTest, SecondRunNeitherEntersNorCountsTheDenoisedFolders) {
  WritePhoto(root_ / "a.jpg", 40, 30);
  WritePhoto(root_ / "s/c.tif", 20, 44);
  RecordingObserver first;
  Run(first);
  EXPECT_EQ(CountBatchImages(root_.path()), 2u);
  RecordingObserver second;
  const BatchSummary summary = Run(second);
  EXPECT_EQ(summary.denoised, 2u);
  EXPECT_FALSE(fs::exists(root_ / "denoised/denoised"));
  for (const RecordingObserver::Done& d : second.done) {
    EXPECT_EQ(d.input.parent_path().filename(), d.input == root_ / "a.jpg" ? root_.path().filename()
                                                                           : fs::path("s"));
  }
}

TEST_F(BatchRunnerTest, HiddenAndLinkedFoldersAreNotEntered) {
  WritePhoto(root_ / ".hidden/h.png", 20, 20);
  WritePhoto(root_ / "real/r.png", 20, 20);
  fs::create_directory_symlink(root_ / "real", root_ / "link");
  fs::create_directory_symlink(root_.path(), root_ / "real/loop");
  RecordingObserver observer;
  const BatchSummary summary = Run(observer);
  EXPECT_EQ(summary.denoised, 1u);
  EXPECT_FALSE(fs::exists(root_ / ".hidden/denoised"));
  EXPECT_FALSE(fs::exists(root_ / "link/denoised/loop"));
}

TEST_F(BatchRunnerTest, PhotosOfFifteenPixelsAreCountedButNotWritten) {
  WritePhoto(root_ / "narrow.png", 15, 200);
  WritePhoto(root_ / "square.png", 16, 16);
  RecordingObserver observer;
  const BatchSummary summary = Run(observer);
  EXPECT_EQ(summary.tooSmall, 1u);
  EXPECT_EQ(summary.denoised, 1u);
  EXPECT_EQ(observer.done.size(), 2u);
  EXPECT_FALSE(fs::exists(root_ / "denoised/narrow.png"));
  EXPECT_TRUE(fs::exists(root_ / "denoised/square.png"));
}

TEST_F(BatchRunnerTest, AbortEndsTheRunAfterThePhotoInHand) {
  for (const char* name : {"1.png", "2.png", "3.png", "sub/4.png"}) WritePhoto(root_ / name, 24, 24);
  RecordingObserver observer;
  observer.abortAfter = 2;
  const BatchSummary summary = Run(observer);
  EXPECT_TRUE(summary.cancelled);
  EXPECT_EQ(summary.denoised, 2u);
  EXPECT_TRUE(fs::exists(root_ / "denoised/2.png"));
  EXPECT_FALSE(fs::exists(root_ / "denoised/3.png"));
  EXPECT_FALSE(fs::exists(root_ / "sub/denoised"));
}

TEST_F(BatchRunnerTest, NeverWritesThroughALinkOntoThePhotos) {
  WritePhoto(root_ / "a.png", 24, 24);
  const std::vector<uint8_t> original = testphotos::ReadBytes(root_ / "a.png");
  fs::create_directory_symlink(root_.path(), root_ / "denoised");
  RecordingObserver observer;
  const BatchSummary summary = Run(observer);
  EXPECT_EQ(summary.failed, 1u);
  ASSERT_EQ(observer.done.size(), 1u);
  EXPECT_EQ(observer.done[0].outcome, BatchOutcome::kFailed);
  EXPECT_NE(observer.done[0].reason.find("cannot be created"), std::string::npos);
  EXPECT_EQ(testphotos::ReadBytes(root_ / "a.png"), original);
}

TEST_F(BatchRunnerTest, OutputFolderThatCannotBeMadeEndsThatFolderOnly) {
  WritePhoto(root_ / "x/a.png", 24, 24);
  WritePhoto(root_ / "x/b.png", 24, 24);
  WritePhoto(root_ / "x/deeper/c.png", 24, 24);
  WritePhoto(root_ / "y/d.png", 24, 24);
  testphotos::WriteBytes(root_ / "x/denoised", "in the way");
  RecordingObserver observer;
  const BatchSummary summary = Run(observer);
  EXPECT_EQ(summary.failed, 1u);    // x/a.png; the rest of x, its subfolders included, is skipped
  EXPECT_EQ(summary.denoised, 1u);  // the parent goes on with y
  EXPECT_FALSE(fs::exists(root_ / "x/deeper/denoised"));
  EXPECT_TRUE(fs::exists(root_ / "y/denoised/d.png"));
}

TEST_F(BatchRunnerTest, AdjustedProfileIsWhatTheEngineGets) {
  WritePhoto(root_ / "a.png", 32, 32);
  options_.adjustProfile = [](IsoProfile& p) {
    p.m_dStrength = p.m_dStrengthChroma = 0.0;  // weighs only the centre: nothing changes
    p.m_dStrengthChromaLarge = 0;
    p.m_dSharp1 = p.m_dSharp2 = p.m_dSharp3 = 1.0;
  };
  RecordingObserver observer;
  Run(observer);
  // With every weight but the centre's zero, only the Y, U, V round trip (±1) remains.
  PhotoDocument original;
  PhotoDocument result;
  ASSERT_FALSE(OpenPhoto(original, root_ / "a.png", true));
  ASSERT_FALSE(OpenPhoto(result, root_ / "denoised/a.png", true));
  EXPECT_LE(testpics::MaxAbsDifference(original.sourcePicture, result.sourcePicture), 1.0);
  ReleasePhotoDocument(original);
  ReleasePhotoDocument(result);
}

// Each photo gets the stored profile of its camera and ISO, else the automatic profile from its
// own noise; the profile modes of the options change that as they say.
TEST_F(BatchRunnerTest, StoredProfileBeatsTheAutomaticOne) {
  WritePhoto(root_ / "nikon.jpg", 40, 32);
  testphotos::WriteExif(root_ / "nikon.jpg", {{"Exif.Image.Make", "NIKON CORPORATION"},
                                              {"Exif.Image.Model", "NIKON D700"},
                                              {"Exif.Photo.ISOSpeedRatings", "1600"}});
  WritePhoto(root_ / "plain.png", 40, 32);
  CameraProfileStore store = BuiltInProfileStore();
  IsoProfile stored = store.cameras[0].profiles[0];
  stored.m_dStrength = 7.5;
  StoreProfile(store, "NIKON / D700", "1600", stored);
  SaveProfiles(store);
  // The automatic profile of each photo, from its own measured noise.
  std::vector<IsoProfile> automatic;
  for (const char* name : {"nikon.jpg", "plain.png"}) {
    PhotoDocument document;
    ASSERT_FALSE(OpenPhoto(document, root_ / name, true));
    automatic.push_back(AutomaticProfile(BuiltInNoiseCalibration(),
                                         MeasurePhotoNoiseInDetail(document.sourcePicture),
                                         PhotoIso(document.exif).value_or(0)));
  }
  ASSERT_NE(automatic[0].m_dStrength, 7.5);
  const IsoProfile builtIn = BuiltInProfileStore().cameras[0].profiles[0];
  const struct {
    ProfileMode mode;
    IsoProfile nikon, plain;
  } kCases[] = {
      {ProfileMode::kAuto, stored, automatic[1]},
      {ProfileMode::kMeasured, automatic[0], automatic[1]},
      {ProfileMode::kDefault, builtIn, builtIn},
  };
  for (const auto& c : kCases) {
    std::vector<IsoProfile> given;
    options_.profileMode = c.mode;
    options_.adjustProfile = [&given](IsoProfile& p) { given.push_back(p); };
    RecordingObserver observer;
    EXPECT_EQ(Run(observer).denoised, 2u);
    ASSERT_EQ(given.size(), 2u);
    EXPECT_EQ(given[0].m_dStrength, c.nikon.m_dStrength) << static_cast<int>(c.mode);
    EXPECT_EQ(given[0].m_dSharp1, c.nikon.m_dSharp1) << static_cast<int>(c.mode);
    EXPECT_EQ(given[1].m_dStrength, c.plain.m_dStrength) << static_cast<int>(c.mode);
    EXPECT_EQ(given[1].m_dStrengthChroma, c.plain.m_dStrengthChroma) << static_cast<int>(c.mode);
  }
}

// A folder that cannot be read (here it is gone when its turn comes) is reported with the reason,
// and the run is not complete.
TEST_F(BatchRunnerTest, AFolderThatCannotBeReadIsReportedAndTheRunIsIncomplete) {
  WritePhoto(root_ / "a.png", 24, 24);
  WritePhoto(root_ / "sub/b.png", 24, 24);
  RecordingObserver observer;
  observer.onDone = [&] { fs::remove_all(root_ / "sub"); };
  const BatchSummary summary = Run(observer);
  EXPECT_EQ(summary.denoised, 1u);
  EXPECT_EQ(observer.skippedFolders, std::vector<fs::path>{root_ / "sub"});
  EXPECT_EQ(summary.skippedFolders, 1u);
  EXPECT_FALSE(summary.Complete());
}

}  // namespace
