// The names that stand for photos: the types FreeImage reads into a picture, in any case, and a
// photo of each type FreeImage can write opens.
#include "picture/readable_photo_types.h"

#include <gtest/gtest.h>

#include "picture/photo_loading.h"
#include "support/photo_files.h"

namespace {

TEST(ReadablePhotoTypes, NamesMatchTheTypesThatOpenInAnyCase) {
  const struct {
    const char* name;
    bool photo;
  } cases[] = {
      {"a.jpg", true},  {"a.JPEG", true}, {"a.b.Tiff", true}, {"a.tif", true},
      {"a.png", true},  {"a.bmp", true},  {"a.tga", true},    {"a.ppm", true},
      {"a.webp", true}, {"a.jp2", true},  {"a.psd", true},    {"a.nef", true},
      {"a.gif", false}, {"a.hdr", false}, {"a.exr", false},   {"a.pbm", false},
      {"a.txt", false}, {"jpg", false},   {"a.", false},      {"a.jpg.bak", false},
  };
  for (const auto& c : cases) EXPECT_EQ(HasReadablePhotoExtension(c.name), c.photo) << c.name;
  const std::vector<std::string>& listed = ReadablePhotoExtensions();
  EXPECT_TRUE(std::is_sorted(listed.begin(), listed.end()));
}

TEST(ReadablePhotoTypes, APhotoOfEachWritableListedTypeOpens) {
  const testphotos::TempFolder folder;
  for (const char* name : {"a.JPEG", "b.tiff", "c.Tga", "d.ppm", "e.webp", "f.BMP", "g.psd"}) {
    SCOPED_TRACE(name);
    ASSERT_TRUE(HasReadablePhotoExtension(name));
    testphotos::WritePatternPhoto(folder / name, 40, 30);
    PhotoDocument document;
    const OpenOutcome outcome =
        OpenPhotoFile(document, folder / name, OpenOptions{1u << 20, false});
    EXPECT_EQ(outcome.failure, OpenFailure::kNone);
    EXPECT_EQ(document.sourcePicture.width, 40);
  }
}

}  // namespace
