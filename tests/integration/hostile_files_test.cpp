// Files that are not what their names promise: pipes and devices named like photos, photos cut
// short or claiming more pixels than they hold, a small photo at the start of a huge file, several
// pages; and saves that meet long names, leftovers of killed runs and a request to end.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <string>
#include <vector>

#include "picture/photo_loading.h"
#include "picture/photo_saving.h"
#include "platform/termination.h"
#include "support/photo_files.h"
#include "support/test_pictures.h"

namespace {

namespace fs = std::filesystem;
using testphotos::TempFolder;

struct Document {
  ~Document() { ReleasePhotoDocument(doc); }
  PhotoDocument doc;
};

OpenOutcome Open(Document& document, const fs::path& path, bool acceptDamaged = false) {
  return OpenPhotoFile(document.doc, path, OpenOptions{MaxPhotoPixels(), acceptDamaged});
}

void Put16(std::string& out, uint32_t value) {
  out += static_cast<char>(value & 0xFF);
  out += static_cast<char>(value >> 8);
}
void Put32(std::string& out, uint32_t value) {
  Put16(out, value & 0xFFFF);
  Put16(out, value >> 16);
}

// An uncompressed 8-bit RGB TIFF whose directory comes first, as many writers put it: the pixel
// data follows in strips of 16 rows (left out without `pixels`), and a file cut anywhere in it
// still has its whole directory.
std::string DirectoryFirstTiff(uint32_t width, uint32_t height, bool pixels = true) {
  const uint32_t rowBytes = width * 3, strips = (height + 15) / 16;
  constexpr uint32_t kEntries = 10;
  const uint32_t arrays = 8 + 2 + kEntries * 12 + 4;
  const uint32_t offsetsAt = arrays + 6, countsAt = offsetsAt + 4 * strips;
  const uint32_t dataAt = countsAt + 4 * strips;
  std::string tiff = "II*";
  tiff += '\0';
  Put32(tiff, 8);
  Put16(tiff, kEntries);
  const auto entry = [&](uint16_t tag, uint16_t type, uint32_t count, uint32_t value) {
    Put16(tiff, tag);
    Put16(tiff, type);
    Put32(tiff, count);
    Put32(tiff, value);
  };
  entry(256, 4, 1, width);
  entry(257, 4, 1, height);
  entry(258, 3, 3, arrays);
  entry(259, 3, 1, 1);
  entry(262, 3, 1, 2);
  entry(273, 4, strips, offsetsAt);
  entry(277, 3, 1, 3);
  entry(278, 4, 1, 16);
  entry(279, 4, strips, countsAt);
  entry(284, 3, 1, 1);
  Put32(tiff, 0);
  for (int i = 0; i < 3; ++i) Put16(tiff, 8);
  for (uint32_t s = 0; s < strips; ++s) Put32(tiff, dataAt + s * 16 * rowBytes);
  for (uint32_t s = 0; s < strips; ++s) Put32(tiff, std::min(16u, height - s * 16) * rowBytes);
  for (uint32_t i = 0; pixels && i < rowBytes * height; ++i) tiff += static_cast<char>(i * 7);
  return tiff;
}

std::string FirstPart(const fs::path& path, double share) {
  const std::vector<uint8_t> bytes = testphotos::ReadBytes(path);
  return std::string(bytes.begin(), bytes.begin() + static_cast<long>(bytes.size() * share));
}

// Pipes, devices and folders are never read: opening them is refused at once, so nothing waits for
// a writer that never comes or reads without end.
TEST(HostileFiles, OnlyRegularFilesAreOpenedAndNothingWaits) {
  TempFolder folder;
  ASSERT_EQ(mkfifo((folder / "pipe.jpg").c_str(), 0600), 0);
  fs::create_symlink("/dev/zero", folder / "zero.jpg");
  fs::create_directory(folder / "folder.jpg");
  const std::pair<const char*, OpenFailure> cases[] = {{"pipe.jpg", OpenFailure::kNotAFile},
                                                       {"zero.jpg", OpenFailure::kNotAFile},
                                                       {"folder.jpg", OpenFailure::kFolder}};
  for (const auto& [name, expected] : cases) {
    SCOPED_TRACE(name);
    Document document;
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(Open(document, folder / name).failure, expected);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
  }
}

// The decoders' made-up rows are not passed off as a photo: cut files and a header without pixels
// are refused as damaged, and open (with a note) only when the damage is accepted.
TEST(HostileFiles, DamagedPhotosAreRefusedUnlessTheDamageIsAccepted) {
  TempFolder folder;
  testphotos::WriteBytes(folder / "whole.tif", DirectoryFirstTiff(400, 300));
  testphotos::WritePatternPhoto(folder / "whole.jpg", 400, 300);
  testphotos::WritePatternPhoto(folder / "whole.png", 400, 300);
  testphotos::WriteBytes(folder / "half.tif", FirstPart(folder / "whole.tif", 0.5));
  testphotos::WriteBytes(folder / "header-only.tif", DirectoryFirstTiff(4000, 4000, false));
  testphotos::WriteBytes(folder / "cut.jpg", FirstPart(folder / "whole.jpg", 0.6));
  testphotos::WriteBytes(folder / "cut.png", FirstPart(folder / "whole.png", 0.6));
  Document document;
  ASSERT_EQ(Open(document, folder / "whole.tif").failure, OpenFailure::kNone);
  EXPECT_TRUE(Open(document, folder / "whole.tif").notes.empty());
  struct Case {
    const char* name;
    bool opensWhenAccepted;
  };
  for (const Case& c : {Case{"half.tif", true}, Case{"header-only.tif", true},
                        Case{"cut.jpg", true}, Case{"cut.png", false}}) {
    SCOPED_TRACE(c.name);
    const OpenOutcome refused = Open(document, folder / c.name);
    EXPECT_EQ(refused.failure, OpenFailure::kDamaged);
    EXPECT_FALSE(refused.damage.empty());
    const OpenOutcome accepted = Open(document, folder / c.name, true);
    EXPECT_EQ(accepted.failure == OpenFailure::kNone, c.opensWhenAccepted);
    if (c.opensWhenAccepted) {
      ASSERT_EQ(accepted.notes.size(), 1u);
      EXPECT_NE(accepted.notes[0].find("damaged"), std::string::npos);
    }
  }
}

// A 400 × 300 JPEG at the start of a sparse 2 GB file: only what the photo needs is read.
TEST(HostileFiles, ASmallPhotoInAHugeFileCostsWhatThePhotoCosts) {
  TempFolder folder;
  testphotos::WritePatternPhoto(folder / "small.jpg", 400, 300);
  const fs::path huge = folder / "huge.jpg";
  fs::copy_file(folder / "small.jpg", huge);
  fs::resize_file(huge, uint64_t{2} << 30);
  rusage before{}, after{};
  getrusage(RUSAGE_SELF, &before);
  Document document;
  EXPECT_EQ(Open(document, huge).failure, OpenFailure::kNone);
  EXPECT_EQ(document.doc.sourcePicture.width, 400);
  getrusage(RUSAGE_SELF, &after);
  EXPECT_LT(after.ru_maxrss - before.ru_maxrss, 200 * 1024) << "kilobytes more at the peak";
}

TEST(HostileFiles, AMultiPageTiffSaysThatOnlyItsFirstPageIsDenoised) {
  TempFolder folder;
  const fs::path path = folder / "pages.tif";
  FIMULTIBITMAP* pages = FreeImage_OpenMultiBitmap(FIF_TIFF, path.c_str(), TRUE, FALSE);
  ASSERT_NE(pages, nullptr);
  for (int page = 0; page < 3; ++page) {
    const UniqueBitmap bitmap = testphotos::PatternBitmap(FIT_BITMAP, 24, 40, 30);
    FreeImage_AppendPage(pages, bitmap.get());
  }
  FreeImage_CloseMultiBitmap(pages, 0);
  Document document;
  const OpenOutcome outcome = Open(document, path);
  ASSERT_EQ(outcome.failure, OpenFailure::kNone);
  EXPECT_EQ(outcome.notes, std::vector<std::string>{"only the first of its 3 pages is denoised"});
}

// The temporary name of a save is short whatever the target's name, temporaries left by killed
// runs go, and a save that a signal interrupts leaves the earlier file as it was and no temporary.
TEST(HostileFiles, SavesTakeLongNamesClearLeftoversAndRollBackWhenAskedToEnd) {
  TempFolder folder;
  testphotos::WritePatternPhoto(folder / "photo.png", 40, 30);
  Document document;
  ASSERT_EQ(Open(document, folder / "photo.png").failure, OpenFailure::kNone);
  testpics::CopyPicture(document.doc.denoisedPicture, document.doc.sourcePicture);
  // Process ids beyond the kernel's limit belong to no running process. Another machine's
  // temporary (a folder shared over the network) goes only when nothing has written to it for a
  // day: its process may still be writing it.
  char host[256] = {};
  ASSERT_EQ(gethostname(host, sizeof(host) - 1), 0);
  const std::vector<std::string> leftovers = {
      ".stillgrain-999999999-0.part", ".out.png.999999998-3.part",
      ".stillgrain-" + std::string(host) + "-999999997-1.part", ".stillgrain-far-away-12-0.part"};
  for (const std::string& name : leftovers) testphotos::WriteBytes(folder / name, "left over");
  fs::last_write_time(folder / ".stillgrain-far-away-12-0.part",
                      fs::file_time_type::clock::now() - std::chrono::hours(25));
  const std::string busy = ".stillgrain-elsewhere-12-0.part";
  testphotos::WriteBytes(folder / busy, "being written");
  testphotos::WriteBytes(folder / ".notes.part", "someone else's");

  const std::string longName = std::string(251, 'n') + ".png";
  ASSERT_EQ(SavePhoto(document.doc, folder / longName, 90), SaveFailure::kNone);
  EXPECT_EQ(folder.Entries(),
            (std::vector<std::string>{".notes.part", busy, longName, "photo.png"}));
  fs::remove(folder / busy);

  const std::vector<uint8_t> earlier = testphotos::ReadBytes(folder / longName);
  RecordTerminationSignal(SIGTERM);
  CBxPicBufAPI::SetConst(document.doc.denoisedPicture, 0.5);
  EXPECT_NE(SavePhoto(document.doc, folder / longName, 90), SaveFailure::kNone);
  ClearTerminationSignal();
  EXPECT_EQ(testphotos::ReadBytes(folder / longName), earlier);
  EXPECT_EQ(folder.Entries(), (std::vector<std::string>{".notes.part", longName, "photo.png"}));
}

}  // namespace
