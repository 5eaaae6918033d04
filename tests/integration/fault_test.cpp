// Faults from outside the program: a disk that fills up, folders that cannot be written, files that
// vanish or loop, damaged and oversized photos, damaged INI files. Each case checks that the fault
// is reported as a failure and that inputs and earlier outputs are byte-identical afterwards.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>

#include <chrono>
#include <functional>
#include <string>
#include <vector>

#include "config/localisation.h"
#include "config/settings.h"
#include "batch/batch_runner.h"
#include "batch/folder_listing.h"
#include "picture/photo_loading.h"
#include "picture/photo_saving.h"
#include "platform/private_profile.h"
#include "platform/utf8.h"
#include "profiles/camera_profile_store.h"
#include "profiles/profile_file.h"
#include "support/photo_files.h"
#include "support/test_pictures.h"

namespace fs = std::filesystem;

namespace {

using testphotos::ReadBytes;
using testphotos::TempFolder;
using testphotos::PngChunk;
using testphotos::WriteBytes;

// Every file this process writes stops growing at `bytes`, as on a nearly full disk: writes past
// the limit fail with EFBIG (SIGXFSZ is ignored meanwhile).
class FileSizeLimit {
 public:
  explicit FileSizeLimit(rlim_t bytes) {
    getrlimit(RLIMIT_FSIZE, &saved_);
    previous_ = signal(SIGXFSZ, SIG_IGN);
    rlimit limited = saved_;
    limited.rlim_cur = bytes;
    setrlimit(RLIMIT_FSIZE, &limited);
  }
  ~FileSizeLimit() {
    setrlimit(RLIMIT_FSIZE, &saved_);
    signal(SIGXFSZ, previous_);
  }
  FileSizeLimit(const FileSizeLimit&) = delete;
  FileSizeLimit& operator=(const FileSizeLimit&) = delete;

 private:
  rlimit saved_{};
  sighandler_t previous_;
};

// A document whose denoised picture is noise, which no format compresses to a small file.
class NoisyDocument {
 public:
  NoisyDocument() : noise_(testpics::RandomPicture(300, 300, 3, 8, 7)) {
    testpics::CopyPicture(document_.denoisedPicture, noise_);
  }
  ~NoisyDocument() { ReleasePhotoDocument(document_); }
  PhotoDocument& get() { return document_; }

 private:
  testpics::Picture noise_;
  PhotoDocument document_;
};

CameraProfileStore ManyCameras(int count) {
  CameraProfileStore store = BuiltInProfileStore();
  for (int i = 1; i < count; ++i) {
    CameraEntry camera = store.cameras[0];
    camera.m_wcsCameraName = "Camera " + std::to_string(i);
    store.cameras.push_back(camera);
  }
  return store;
}

// One writer of the program: `write` replaces or creates the file at its argument; true on failure.
struct Writer {
  const char* name;
  std::function<bool(const fs::path&)> write;
};

std::vector<Writer> Writers() {
  return {
      {"photo.png",
       [](const fs::path& path) {
         NoisyDocument document;
         return SavePhoto(document.get(), path, 90) != SaveFailure::kNone;
       }},
      {"settings.txt",
       [](const fs::path& path) {
         return WritePrivateProfileString("General", "Latest Folder", std::string(64 * 1024, 'x'),
                                          path);
       }},
      {"CameraISOSettingX.ini",
       [](const fs::path& path) { return SaveProfiles(ManyCameras(500), path); }},
  };
}

TEST(FaultTest, AFullDiskFailsEveryWriteAndKeepsTheEarlierFile) {
  for (const Writer& writer : Writers()) {
    SCOPED_TRACE(writer.name);
    TempFolder folder;
    const fs::path target = folder / writer.name;
    WriteBytes(target, "[General]\r\nearlier=1\r\n");
    const auto before = ReadBytes(target);
    {
      const FileSizeLimit nearlyFull(4096);
      EXPECT_TRUE(writer.write(target));
    }
    EXPECT_EQ(ReadBytes(target), before);
    EXPECT_EQ(folder.Entries(), std::vector<std::string>{writer.name}) << "temporary file left";
  }
}

// /proc takes no new files, not even from root, for whom permission bits do not count.
TEST(FaultTest, AnUnwritableFolderFailsEveryWrite) {
  for (const Writer& writer : Writers()) {
    SCOPED_TRACE(writer.name);
    const fs::path target = fs::path("/proc/self") / writer.name;
    EXPECT_TRUE(writer.write(target));
    EXPECT_FALSE(fs::exists(target));
  }
}

class RecordingObserver : public BatchObserver {
 public:
  void PhotoDone(const fs::path& input, const fs::path&, BatchOutcome outcome,
                 const std::string& reason) override {
    if (outcome == BatchOutcome::kDenoised) denoised.push_back(input.filename().string());
    if (outcome == BatchOutcome::kFailed)
      failed.push_back(input.filename().string() + ": " + reason);
    if (onDone) onDone();
  }
  void FileSkipped(const fs::path& input, const std::string& reason) override {
    skipped.push_back(input.filename().string() + ": " + reason);
  }
  void FolderSkipped(const fs::path& folder, const std::string& reason) override {
    skipped.push_back(folder.filename().string() + "/: " + reason);
  }
  std::vector<std::string> denoised;
  std::vector<std::string> failed;
  std::vector<std::string> skipped;
  std::function<void()> onDone;
};

class FaultBatchTest : public ::testing::Test {
 protected:
  BatchSummary Run(RecordingObserver& observer) {
    BatchOptions options;
    options.engine.quality = 1;
    return BatchThread(root_.path(), options, &observer);
  }
  testphotos::TemporarySettings settings_;
  TempFolder root_;
};

TEST_F(FaultBatchTest, APhotoThatVanishesAfterCountingIsReportedAndTheRunGoesOn) {
  for (const char* name : {"a.png", "b.png", "c.png"}) {
    testphotos::WritePatternPhoto(root_ / name, 24, 24);
  }
  ASSERT_EQ(CountBatchImages(root_.path()), 3u);
  RecordingObserver observer;
  observer.onDone = [&] { fs::remove(root_ / "b.png"); };
  const BatchSummary summary = Run(observer);
  EXPECT_EQ(observer.denoised, (std::vector<std::string>{"a.png", "c.png"}));
  EXPECT_EQ(observer.failed, std::vector<std::string>{"b.png: no such file"});
  EXPECT_EQ(summary.failed, 1u);
  EXPECT_FALSE(summary.Complete());
}

// Links back up the tree, a link to itself, and a result name that is a link to the photo: the run
// ends, enters no link, and writes only into the "denoised" folder, never through a link.
TEST_F(FaultBatchTest, LinkLoopsEndAndNoLinkLeadsAWriteOutOfTheDenoisedFolder) {
  testphotos::WritePatternPhoto(root_ / "a.png", 24, 24);
  fs::create_directory_symlink(".", root_ / "loop");
  fs::create_directory_symlink("..", root_ / "up");
  fs::create_symlink("self.png", root_ / "self.png");
  fs::create_directory(root_ / "denoised");
  fs::create_symlink("../a.png", root_ / "denoised/a.png");
  const auto photo = ReadBytes(root_ / "a.png");
  EXPECT_LE(CountBatchImages(root_.path()), 3u);
  RecordingObserver observer;
  const BatchSummary summary = Run(observer);
  EXPECT_EQ(summary.denoised, 1u);
  EXPECT_EQ(observer.skipped, std::vector<std::string>{
                                  "self.png: not a regular file (a pipe, a device or a socket)"});
  EXPECT_EQ(ReadBytes(root_ / "a.png"), photo);
  EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(root_ / "denoised/a.png")));
  EXPECT_EQ(root_.Entries(), (std::vector<std::string>{"a.png", "denoised", "loop", "self.png",
                                                       "up"}));
}

// A valid PNG header claiming width × height pixels of 8-bit colour (or 16-bit colour and alpha),
// with no real image data behind it.
std::string PngClaiming(uint32_t width, uint32_t height, bool sixteenBitRgba = false) {
  const std::string header = testphotos::BigEndian32(width) + testphotos::BigEndian32(height) +
                             std::string(sixteenBitRgba ? "\x10\x06\0\0\0" : "\x08\x02\0\0\0", 5);
  return std::string("\x89PNG\r\n\x1a\n", 8) + PngChunk("IHDR", header) +
         PngChunk("IDAT", std::string("\x78\x9c\x03\0\0\0\0\x01", 8)) + PngChunk("IEND", "");
}

std::string FirstHalfOf(const fs::path& path) {
  const auto bytes = ReadBytes(path);
  return std::string(bytes.begin(), bytes.begin() + static_cast<long>(bytes.size() / 2));
}

TEST(FaultTest, DamagedAndOversizedPhotosAreRefusedAndTheOpenPhotoStays) {
  testphotos::TemporarySettings settings;
  TempFolder folder;
  testphotos::WritePatternPhoto(folder / "good.jpg", 400, 300);
  testphotos::WritePatternPhoto(folder / "good.png", 400, 300);
  struct Case {
    const char* name;
    std::string bytes;
    OpenFailure expected;
  };
  const Case cases[] = {
      {"truncated.png", FirstHalfOf(folder / "good.png"), OpenFailure::kDamaged},
      {"empty.jpg", "", OpenFailure::kUnreadable},
      {"text-named.jpg", "not a photo at all", OpenFailure::kUnreadable},
      {"huge.png", PngClaiming(100000, 100000), OpenFailure::kTooLarge},
      // 300 megapixels of 2.4 GB: within the limits, but this header-only file cannot hold them.
      {"over-two-gibibytes.png", PngClaiming(20000, 15000, true), OpenFailure::kDamaged},
  };
  PhotoDocument document;
  ASSERT_EQ(OpenPhotoFile(document, folder / "good.jpg", MaxPhotoPixels()), OpenFailure::kNone);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    WriteBytes(folder / c.name, c.bytes);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(OpenPhotoFile(document, folder / c.name, MaxPhotoPixels()), c.expected);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
    EXPECT_EQ(ReadBytes(folder / c.name), std::vector<uint8_t>(c.bytes.begin(), c.bytes.end()));
    EXPECT_EQ(document.sourcePicture.width, 400);
    EXPECT_EQ(document.path, folder / "good.jpg");
  }
  ReleasePhotoDocument(document);
}

// libjpeg decodes what there is of a cut JPEG and fills the rest in grey: the photo is refused as
// damaged, and opens at its size only when the damage is accepted.
TEST(FaultTest, ATruncatedJpegIsRefusedAsDamagedUnlessAccepted) {
  TempFolder folder;
  testphotos::WritePatternPhoto(folder / "good.jpg", 400, 300);
  WriteBytes(folder / "cut.jpg", FirstHalfOf(folder / "good.jpg"));
  const auto before = ReadBytes(folder / "cut.jpg");
  PhotoDocument document;
  const OpenOutcome refused =
      OpenPhotoFile(document, folder / "cut.jpg", {MaxPhotoPixels(), false});
  EXPECT_EQ(refused.failure, OpenFailure::kDamaged);
  EXPECT_NE(refused.damage.find("ends before all of its pixel data"), std::string::npos)
      << refused.damage;
  EXPECT_EQ(document.sourcePicture.data, nullptr);
  const OpenOutcome accepted = OpenPhotoFile(document, folder / "cut.jpg", {MaxPhotoPixels(), true});
  ASSERT_EQ(accepted.failure, OpenFailure::kNone);
  EXPECT_EQ(document.sourcePicture.width, 400);
  EXPECT_EQ(document.sourcePicture.height, 300);
  ASSERT_EQ(accepted.notes.size(), 1u);
  EXPECT_NE(accepted.notes[0].find("opened what could be read"), std::string::npos);
  EXPECT_EQ(ReadBytes(folder / "cut.jpg"), before);
  ReleasePhotoDocument(document);
}

// The EXIF record the fuzzer found to crash FreeImage's reader: its main directory at offset 0.
TEST(FaultTest, AJpegWithADamagedExifRecordOpensWithoutItsSummary) {
  TempFolder folder;
  testphotos::WritePatternPhoto(folder / "good.jpg", 64, 48);
  const auto good = ReadBytes(folder / "good.jpg");
  const std::string app1("\xFF\xE1\x00\x10" "Exif\0\0" "II*\0\0\0\0\0", 16);
  const std::string damaged =
      std::string(good.begin(), good.begin() + 2) + app1 + std::string(good.begin() + 2, good.end());
  WriteBytes(folder / "damaged.jpg", damaged);
  PhotoDocument document;
  ASSERT_EQ(OpenPhotoFile(document, folder / "damaged.jpg", MaxPhotoPixels()), OpenFailure::kNone);
  EXPECT_EQ(document.sourcePicture.width, 64);
  EXPECT_EQ(document.exif, ExifSummary{});
  EXPECT_EQ(ReadBytes(folder / "damaged.jpg"),
            std::vector<uint8_t>(damaged.begin(), damaged.end()));
  ReleasePhotoDocument(document);
}

// Inputs on which the fuzzers crashed FreeImage's EXIF reader: a maker note that its parser read
// past, a record after stray bytes that a strict segment walk missed, and a record before an
// unknown marker that FreeImage passes over (the walk had stopped there and guarded nothing).
TEST(FaultTest, FuzzerFindingsOpenWithoutHarm) {
  const fs::path findings = fs::path(STILLGRAIN_SOURCE_DIR) / "tests" / "fuzz_regressions";
  TempFolder folder;
  testphotos::WritePatternPhoto(folder / "good.jpg", 32, 32);
  const auto good = ReadBytes(folder / "good.jpg");
  const auto record = ReadBytes(findings / "maker-note-overrun.exif");
  const size_t length = record.size() + 8;
  std::string withNote = std::string(good.begin(), good.begin() + 2) + "\xFF\xE1" +
                         char(length >> 8) + char(length & 0xFF) + std::string("Exif\0\0", 6) +
                         std::string(record.begin(), record.end()) +
                         std::string(good.begin() + 2, good.end());
  WriteBytes(folder / "maker-note.jpg", withNote);
  fs::copy_file(findings / "exif-after-stray-bytes.jpg", folder / "stray.jpg");
  PhotoDocument document;
  EXPECT_EQ(OpenPhotoFile(document, folder / "maker-note.jpg", MaxPhotoPixels()),
            OpenFailure::kNone);
  OpenPhotoFile(document, folder / "stray.jpg", MaxPhotoPixels());  // must only return
  fs::copy_file(findings / "exif-before-unknown-marker.jpg", folder / "unknown-marker.jpg");
  OpenPhotoFile(document, folder / "unknown-marker.jpg", MaxPhotoPixels());
  ReleasePhotoDocument(document);
}

TEST(FaultTest, MaxMegapixelsComesFromTheSettingsAndRefusesWithItsNotice) {
  testphotos::TemporarySettings settings;
  TempFolder folder;
  testphotos::WritePatternPhoto(folder / "two-megapixels.png", 2000, 1000);
  EXPECT_EQ(MaxPhotoPixels(), 400'000'000u);
  PhotoDocument document;
  testphotos::NoticeCounter notices;
  for (const auto& [stored, refused] :
       std::vector<std::pair<int32_t, bool>>{{1, true}, {2, false}, {0, false}, {-5, false}}) {
    SCOPED_TRACE(stored);
    ASSERT_FALSE(WriteSettingInt(kKeyMaxMegapixels, stored));
    EXPECT_EQ(OpenPhoto(document, folder / "two-megapixels.png", false), refused);
  }
  EXPECT_EQ(notices.count(), 1);
  EXPECT_EQ(notices.lastText(), LocalisedString(kStringPhotoTooLarge));
  ReleasePhotoDocument(document);
}

TEST(FaultTest, DamagedProfileFilesReadWithinTheirBounds) {
  TempFolder folder;
  std::string manyCameras = "[General]\r\nNo Of Cameras = 100000\r\n";
  for (int i = 0; i < 100000; ++i) {
    manyCameras += "[Camera_" + std::to_string(i) + "]\r\nm_wcsCameraName = C" +
                   std::to_string(i) + "\r\nm_uiISOCount = 1\r\nISO0 = 100\r\n";
  }
  const std::string badName = "[General]\r\nNo Of Cameras = 2\r\n[Camera_1]\r\nm_wcsCameraName = " +
                              std::string(3000, '\xff') + "\r\n";
  struct Case {
    const char* name;
    std::string bytes;
    size_t minCameras, maxCameras;
  };
  const Case cases[] = {
      {"empty.ini", "", 1, 1},
      {"many-cameras.ini", manyCameras, 2, kMaxCameraCount},
      {"invalid-utf8.ini", badName, 2, 2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    WriteBytes(folder / c.name, c.bytes);
    CameraProfileStore store;
    ReadProfileFile(folder / c.name, store);
    EXPECT_GE(store.cameras.size(), c.minCameras);
    EXPECT_LE(store.cameras.size(), c.maxCameras);
    for (const CameraEntry& camera : store.cameras) {
      EXPECT_LE(camera.m_wcsCameraName.size(), 4 * 127u);
      EXPECT_EQ(RepairUtf8(camera.m_wcsCameraName), camera.m_wcsCameraName);
    }
    EXPECT_EQ(ReadBytes(folder / c.name), std::vector<uint8_t>(c.bytes.begin(), c.bytes.end()));
  }
}

// Settings and localisation files with invalid UTF-8 everywhere, a byte-order mark in the wrong
// place and values far over the limits: every value read is cut to its limit.
TEST(FaultTest, InvalidUtf8InTheIniFilesIsCutNeverOverrun) {
  TempFolder folder;
  const std::string junk = std::string(5000, '\xff') + "\xc3\x28\xe2\x82";
  const std::string text = "\xef\xbb\xbf[General]\r\nLatest Folder=" + junk +
                           "\r\njpeg=\xff" "85\r\nLanguages No=\xfe\xfe\r\nLanguage Current=0\r\n"
                           "[0]\r\nLanguage=" + junk + "\r\nstring1=" + junk + junk +
                           "\r\n\xef\xbb\xbf[\xff]\r\n\xff=\xff\r\n";
  WriteBytes(folder / "file.ini", text);
  const PrivateProfileFile file(folder / "file.ini");
  EXPECT_LE(file.GetString("General", "Latest Folder", "").size(), kProfileValueMaxBytes);
  EXPECT_EQ(file.GetInt("General", "jpeg", 7), 0);
  LoadLanguageListFrom(folder / "file.ini");
  LoadLocalisationFrom(folder / "file.ini");
  EXPECT_EQ(CutAfterCharacters(LocalisedString(1), kMaxLocalisedStringLength), LocalisedString(1));
  EXPECT_FALSE(LocalisedString(1).empty());
  EXPECT_EQ(ReadBytes(folder / "file.ini"), std::vector<uint8_t>(text.begin(), text.end()));
  LoadLocalisationFrom(folder / "absent.ini");
}

}  // namespace
