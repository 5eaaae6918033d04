// The batch over whole archives, through the runner: results of an earlier run kept only when they
// are complete and made the same way, worker processes whose results are byte-identical to a
// single run's, and a photo that ends its worker.
#include <gtest/gtest.h>

#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <map>
#include <numeric>
#include <string>
#include <vector>

#include "batch/batch_runner.h"
#include "batch/photo_workers.h"
#include "platform/cpu_affinity.h"
#include "profiles/camera_profile_store.h"
#include "support/photo_files.h"

namespace fs = std::filesystem;

namespace {

using testphotos::TempFolder;

class RecordingObserver : public BatchObserver {
 public:
  void PhotoFinished(const PhotoRecord& record) override {
    const std::string path = record.task.relativePath.string();
    outcomes[path].push_back(record.outcome);
    reasons[path] = record.reason;
  }
  void FileSkipped(const fs::path&, const std::string&) override {}
  void FolderSkipped(const fs::path&, const std::string&) override {}

  // Every report of each photo, by its path below the root.
  std::map<std::string, std::vector<BatchOutcome>> outcomes;
  std::map<std::string, std::string> reasons;
};

// The results below `root` by their path below it, with their bytes.
std::map<std::string, std::vector<uint8_t>> Results(const fs::path& root) {
  std::map<std::string, std::vector<uint8_t>> results;
  for (const auto& entry : fs::recursive_directory_iterator(root)) {
    if (entry.path().parent_path().filename() == kDenoisedFolderName) {
      results[entry.path().lexically_relative(root).string()] = testphotos::ReadBytes(entry.path());
    }
  }
  return results;
}

void RemoveResults(const fs::path& root) {
  std::vector<fs::path> folders;
  for (const auto& entry : fs::recursive_directory_iterator(root)) {
    if (entry.path().filename() == kDenoisedFolderName) folders.push_back(entry.path());
  }
  for (const fs::path& folder : folders) fs::remove_all(folder);
}

class BatchArchiveTest : public ::testing::Test {
 protected:
  BatchArchiveTest() { options_.engine.quality = 1; }

  BatchSummary Run(RecordingObserver& observer) {
    return BatchThread(root_.path(), options_, &observer);
  }

  // Each worker process makes a processor of the test's options.
  PhotoWorkers::WorkerMain Workers() {
    return [this](const PhotoWorkers::Serve& serve) {
      PhotoProcessor processor(options_, nullptr);
      serve(processor);
    };
  }

  testphotos::TemporarySettings settings_;
  TempFolder root_;
  BatchOptions options_;
};

TEST_F(BatchArchiveTest, SkipDoneKeepsOnlyResultsThatAreCompleteAndMadeTheSameWay) {
  options_.skipDone = true;
  for (const char* name : {"kept.png", "cut.png", "foreign.png", "touched.png", "older.png",
                           "linked.png", "plain.bmp", "s/nikon.jpg"}) {
    testphotos::WritePatternPhoto(root_ / name, 32, 24);
  }
  testphotos::WriteExif(root_ / "s/nikon.jpg", {{"Exif.Image.Make", "NIKON CORPORATION"},
                                                {"Exif.Image.Model", "NIKON D700"},
                                                {"Exif.Photo.ISOSpeedRatings", "1600"}});
  CameraProfileStore store = BuiltInProfileStore();
  IsoProfile stored = store.cameras[0].profiles[0];
  StoreProfile(store, "NIKON / D700", "1600", stored);
  SaveProfiles(store);
  RecordingObserver first;
  ASSERT_EQ(Run(first).denoised, 8u);
  const auto made = Results(root_.path());

  // A result cut short, another photo's result in place of one, a photo changed after its
  // result, a result dated before its photo, a link in place of a result, a stored profile
  // changed since.
  const fs::path out = root_ / "denoised";
  fs::resize_file(out / "cut.png", fs::file_size(out / "cut.png") / 2);
  fs::copy_file(out / "kept.png", out / "foreign.png", fs::copy_options::overwrite_existing);
  testphotos::WritePatternPhoto(root_ / "touched.png", 32, 24);
  fs::last_write_time(out / "older.png",
                      fs::last_write_time(root_ / "older.png") - std::chrono::seconds(1));
  fs::remove(out / "linked.png");
  fs::create_symlink("kept.png", out / "linked.png");
  stored.m_dStrength += 1;
  StoreProfile(store, "NIKON / D700", "1600", stored);
  SaveProfiles(store);

  RecordingObserver second;
  Run(second);
  const struct {
    const char* photo;
    BatchOutcome outcome;
  } kCases[] = {
      {"kept.png", BatchOutcome::kAlreadyDone}, {"cut.png", BatchOutcome::kDenoised},
      {"foreign.png", BatchOutcome::kDenoised}, {"touched.png", BatchOutcome::kDenoised},
      {"older.png", BatchOutcome::kDenoised},   {"linked.png", BatchOutcome::kDenoised},
      {"plain.bmp", BatchOutcome::kDenoised},   {"s/nikon.jpg", BatchOutcome::kDenoised},
  };
  for (const auto& c : kCases) {
    EXPECT_EQ(second.outcomes[c.photo], std::vector<BatchOutcome>{c.outcome}) << c.photo;
  }
  // What is redone for an unchanged photo is byte for byte what the first run made.
  const auto remade = Results(root_.path());
  for (const char* result : {"denoised/cut.png", "denoised/foreign.png", "denoised/older.png"}) {
    EXPECT_EQ(remade.at(result), made.at(result)) << result;
  }
  EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(out / "linked.png")));

  // Now only the BMP, whose format holds no record, is made again.
  RecordingObserver third;
  const BatchSummary summary = Run(third);
  EXPECT_EQ(summary.alreadyDone, 7u);
  EXPECT_EQ(third.outcomes["plain.bmp"], std::vector<BatchOutcome>{BatchOutcome::kDenoised});
  EXPECT_TRUE(summary.Complete());
}

TEST_F(BatchArchiveTest, WorkerProcessesGiveByteIdenticalResultsAndReportEachPhotoOnce) {
  const char* kExtensions[] = {".png", ".jpg", ".tif"};
  for (int i = 0; i < 24; ++i) {
    testphotos::WritePatternPhoto(
        root_ / ("f" + std::to_string(i % 3) + "/photo " + std::to_string(i) + kExtensions[i % 3]),
        24 + i, 40 - i);
  }
  testphotos::WriteBytes(root_ / "notes.txt", "not a photo");
  RecordingObserver alone;
  ASSERT_EQ(Run(alone).denoised, 24u);
  const auto single = Results(root_.path());
  RemoveResults(root_.path());

  // Each worker notes how many CPUs its filters take.
  TempFolder shares;
  PhotoWorkers workers(3, [&](const PhotoWorkers::Serve& serve) {
    testphotos::WriteBytes(shares / std::to_string(getpid()), std::to_string(AffinityCpuBitLength()));
    Workers()(serve);
  });
  ASSERT_EQ(workers.Running(), 3u);
  options_.workers = &workers;
  RecordingObserver together;
  const BatchSummary summary = Run(together);
  EXPECT_EQ(summary.denoised, 24u);
  EXPECT_EQ(summary.skipped, 1u);
  EXPECT_EQ(together.outcomes.size(), 24u);
  for (const auto& [photo, outcomes] : together.outcomes) EXPECT_EQ(outcomes.size(), 1u) << photo;
  EXPECT_EQ(Results(root_.path()), single);

  // The batch's CPUs are divided among the workers, at least one each.
  std::vector<uint32_t> counts;
  for (const std::string& name : shares.Entries()) {
    const std::vector<uint8_t> text = testphotos::ReadBytes(shares / name);
    counts.push_back(static_cast<uint32_t>(std::stoul(std::string(text.begin(), text.end()))));
  }
  ASSERT_EQ(counts.size(), 3u);
  EXPECT_EQ(std::accumulate(counts.begin(), counts.end(), 0u),
            std::max<uint32_t>(AffinityCpuBitLength(), 3));
  EXPECT_LE(*std::max_element(counts.begin(), counts.end()) -
                *std::min_element(counts.begin(), counts.end()),
            1u);
}

TEST_F(BatchArchiveTest, APhotoThatEndsItsWorkerFailsAloneAndANewWorkerGoesOn) {
  for (int i = 0; i < 8; ++i) {
    testphotos::WritePatternPhoto(root_ / ("p" + std::to_string(i) + ".png"), 24, 24);
  }
  // Every worker process dies at its second photo, as one whose decoder crashes would.
  options_.adjustProfile = [](IsoProfile&) {
    static int photos = 0;
    if (++photos == 2) raise(SIGKILL);
  };
  PhotoWorkers workers(2, Workers());
  options_.workers = &workers;
  RecordingObserver observer;
  const BatchSummary summary = Run(observer);
  EXPECT_GE(summary.failed, 1u);
  EXPECT_GE(summary.denoised, 1u);
  EXPECT_EQ(summary.failed + summary.denoised, 8u);
  ASSERT_EQ(observer.outcomes.size(), 8u);
  for (const auto& [photo, outcomes] : observer.outcomes) {
    ASSERT_EQ(outcomes.size(), 1u) << photo;
    const bool failed = outcomes[0] == BatchOutcome::kFailed;
    EXPECT_EQ(fs::exists(root_ / "denoised" / photo), !failed) << photo;
    if (failed) {
      EXPECT_NE(observer.reasons[photo].find("ended by signal 9"), std::string::npos)
          << observer.reasons[photo];
    }
  }
}

}  // namespace
