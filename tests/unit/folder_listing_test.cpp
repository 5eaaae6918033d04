#include "batch/folder_listing.h"

#include <gtest/gtest.h>

#include <fstream>

#include "batch/batch_progress.h"

namespace fs = std::filesystem;

namespace {

class FolderListingTest : public ::testing::Test {
 protected:
  void SetUp() override {
    root_ =
        fs::temp_directory_path() /
        ("stillgrain-listing-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
         "-" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(root_);
    fs::create_directories(root_);
  }
  void TearDown() override { fs::remove_all(root_); }

  void Touch(const fs::path& relative) {
    fs::create_directories((root_ / relative).parent_path());
    std::ofstream(root_ / relative) << "x";
  }

  fs::path root_;
};

TEST_F(FolderListingTest, SortsCaseInsensitivelyAndClassifiesEntries) {
  Touch("b.png");
  Touch("A.jpg");
  Touch("c.TIF");
  fs::create_directories(root_ / "Sub");
  fs::create_directories(root_ / ".hidden");
  fs::create_directory_symlink(root_ / "Sub", root_ / "link");
  fs::create_symlink(root_ / "b.png", root_ / "photo-link.png");

  const std::vector<FolderEntry> entries = ListFolder(root_);
  std::vector<std::string> names;
  for (const FolderEntry& e : entries) names.push_back(e.name);
  EXPECT_EQ(names, (std::vector<std::string>{".hidden", "A.jpg", "b.png", "c.TIF", "link",
                                             "photo-link.png", "Sub"}));
  EXPECT_EQ(entries[0].kind, EntryKind::kIgnored);  // hidden folder
  EXPECT_EQ(entries[1].kind, EntryKind::kFile);
  EXPECT_EQ(entries[4].kind, EntryKind::kIgnored);  // link to a folder is never entered
  EXPECT_EQ(entries[5].kind, EntryKind::kFile);     // link to a file is a file
  EXPECT_EQ(entries[6].kind, EntryKind::kFolder);
  EXPECT_TRUE(ListFolder(root_ / "missing").empty());
}

TEST_F(FolderListingTest, CountsPhotoExtensionsInRealFoldersButNotInDenoisedOnes) {
  Touch("a.jpg");
  Touch("b.png");
  Touch("s/c.tif");
  Touch("s/denoised/c.tif");
  Touch("d.jpeg");
  Touch("e.TIFF");
  Touch("f.Gif");  // reported as not denoised, so it counts too
  Touch("notes.txt");
  Touch("photo.jpg.bak");
  Touch("noextension");
  Touch(".hidden/g.jpg");  // hidden folders are not entered
  fs::create_directory_symlink(root_ / "s", root_ / "loop");
  // Every name the batch opens and reports counts, so the progress never runs past its end.
  EXPECT_EQ(CountBatchImages(root_), 6u);
  EXPECT_EQ(CountBatchImages(root_ / "s"), 1u);
}

TEST(BatchProgress, EstimateIsTheTotalDurationNotTheTimeLeft) {
  BatchProgress progress;
  progress.totalCount = 12;
  EXPECT_EQ(progress.EstimatedTotalSeconds(), 0u);
  progress.doneCount = 3;
  progress.elapsedSeconds = 30;
  EXPECT_EQ(progress.EstimatedTotalSeconds(), 120u);
  EXPECT_EQ(FormatMinutesSeconds(progress.EstimatedTotalSeconds()), "02:00");
  progress.doneCount = 7;
  EXPECT_EQ(progress.EstimatedTotalSeconds(), 51u);  // 360 / 7, truncated
  EXPECT_EQ(FormatMinutesSeconds(0), "00:00");
  EXPECT_EQ(FormatMinutesSeconds(3725), "62:05");
}

}  // namespace
