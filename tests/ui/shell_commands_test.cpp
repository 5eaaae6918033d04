// Folder stepping and the full-size run's message, the two pieces of arithmetic of the main window.
#include <gtest/gtest.h>

#include <fstream>

#include "app/folder_stepping.h"

namespace fs = std::filesystem;

namespace {

void Touch(const fs::path& path) { std::ofstream(path) << "x"; }

}  // namespace

TEST(FolderStepping, StepsThroughPhotosInCaseInsensitiveNameOrderAndWraps) {
  const fs::path folder = fs::temp_directory_path() / "stillgrain-stepping";
  fs::remove_all(folder);
  fs::create_directories(folder / "sub.jpg");
  for (const char* name : {"b.PNG", "a.jpg", "C.tif", "notes.txt", "d.jpeg", "E.TIFF", "noext"}) {
    Touch(folder / name);
  }
  struct Case {
    const char* current;
    StepDirection direction;
    const char* expected;
  } cases[] = {
      {"a.jpg", StepDirection::kNext, "b.PNG"},
      {"C.tif", StepDirection::kNext, "d.jpeg"},  // every type that opens, in any case
      {"d.jpeg", StepDirection::kNext, "E.TIFF"},
      {"E.TIFF", StepDirection::kNext, "a.jpg"},      // the last wraps to the first
      {"a.jpg", StepDirection::kPrevious, "E.TIFF"},  // and the first to the last
      {"A.JPG", StepDirection::kNext, "b.PNG"},       // names compare without case
      {"notes.txt", StepDirection::kNext, "b.PNG"},   // not among the photos: from the first
  };
  for (const Case& c : cases) {
    const auto target = NeighbourPhoto(folder / c.current, c.direction);
    ASSERT_TRUE(target) << c.current;
    EXPECT_EQ(target->filename(), c.expected) << c.current;
  }
  fs::remove_all(folder);
}

TEST(FolderStepping, AFolderWithOnlyTheCurrentPhotoReopensItAndAnEmptyOneGivesNone) {
  const fs::path folder = fs::temp_directory_path() / "stillgrain-stepping-one";
  fs::remove_all(folder);
  fs::create_directories(folder);
  EXPECT_FALSE(NeighbourPhoto(folder / "gone.jpg", StepDirection::kNext));
  Touch(folder / "only.jpg");
  EXPECT_EQ(NeighbourPhoto(folder / "only.jpg", StepDirection::kNext), folder / "only.jpg");
  EXPECT_EQ(NeighbourPhoto(folder / "only.jpg", StepDirection::kPrevious), folder / "only.jpg");
  fs::remove_all(folder);
}
