#include "picture/photo_saving.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "config/settings.h"
#include "picture/library_messages.h"
#include "picture/photo_loading.h"
#include "picture/source_metadata.h"
#include "support/photo_files.h"
#include "support/test_pictures.h"

namespace {

namespace fs = std::filesystem;
using testphotos::TempFolder;
using testphotos::TemporarySettings;
using testpics::Picture;

// A document that releases its buffers at the end of the test.
struct Document {
  ~Document() { ReleasePhotoDocument(doc); }

  // Puts a copy of `picture` (and `alpha`) into the denoised picture (and the alpha plane).
  void Hold(const SBxPicBuf& picture, const SBxPicBuf* alpha = nullptr) {
    CopyInto(doc.denoisedPicture, picture);
    if (alpha) CopyInto(doc.alphaPlane, *alpha);
  }
  static void CopyInto(SBxPicBuf& target, const SBxPicBuf& source) {
    ASSERT_FALSE(CBxPicBufAPI::ReinitHeap(target, source));
    CBxPicBufAPI::Copy(target, source);
  }
  // Gives the document the metadata of the photo at `source`, as if it had been opened from there.
  PhotoDocument& WithMetadataOf(const fs::path& source) {
    doc.metadata = testphotos::MetadataOf(source);
    return doc;
  }
  PhotoDocument doc;
};

Picture CopyOf(const SBxPicBuf& buffer) {
  Picture copy(buffer.width, buffer.height, buffer.components, buffer.bitsPerComponent);
  CBxPicBufAPI::Copy(copy, buffer);
  return copy;
}

TEST(OutputTypes, IndexFollowsTheLastFourCharactersAndTheDepth) {
  struct Case {
    const char* name;
    uint32_t bits;
    int32_t index;
  };
  const Case cases[] = {
      {"a.bmp", 8, 1},   {"a.TIF", 8, 2},  {"dir.png/a.png", 8, 3},
      {"a.JpG", 8, 4},   {"a.jpeg", 8, 0}, {"a.tiff", 8, 0},
      {"a", 8, 0},       {"bmp", 8, 0},    {"a.bmp", 16, 0},
      {"a.tif", 16, 2},  {"a.PNG", 16, 3}, {"a.jpg", 16, 0},
      {"a.png.x", 8, 0}, {"x/.jpg", 8, 4},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.name << " at " << c.bits << " bits");
    EXPECT_EQ(OutputTypeIndex(c.name, c.bits), c.index);
  }
}

// Saves the document to `name` in a fresh folder and opens the result again.
struct RoundTrip {
  RoundTrip(Document& original, const std::string& name) : path(folder / name) {
    result = SavePhoto(original.doc, path, 90);
    if (result == SaveFailure::kNone) reopenFailed = OpenPhoto(reopened.doc, path, true);
  }
  TempFolder folder;
  fs::path path;
  SaveFailure result = SaveFailure::kNotWritten;
  bool reopenFailed = true;
  Document reopened;
};

TEST(PhotoSaving, LosslessFormatsGiveBackEveryBit) {
  struct Case {
    const char* name;
    uint32_t bits;
    uint32_t components;
    bool alpha;
    bool alphaKept;
  };
  const Case cases[] = {
      {"grey.bmp", 8, 1, false, false},      {"grey.tif", 8, 1, false, false},
      {"grey.png", 8, 1, false, false},      {"colour.bmp", 8, 3, false, false},
      {"colour.tif", 8, 3, false, false},    {"colour.png", 8, 3, false, false},
      {"alpha.bmp", 8, 3, true, true},       {"alpha.tif", 8, 3, true, true},
      {"alpha.png", 8, 3, true, true},       {"grey16.tif", 16, 1, false, false},
      {"grey16.png", 16, 1, false, false},   {"colour16.tif", 16, 3, false, false},
      {"colour16.png", 16, 3, false, false}, {"alpha16.tif", 16, 3, true, true},
      {"alpha16.png", 16, 3, true, true},    {"greyalpha.png", 8, 1, true, false},
  };
  TemporarySettings settings;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const Picture picture = testpics::RandomPicture(41, 29, c.components, c.bits, 7);
    const Picture alpha = testpics::RandomPicture(41, 29, 1, c.bits, 8);
    Document original;
    original.Hold(picture, c.alpha ? &alpha.buf() : nullptr);
    RoundTrip trip(original, c.name);
    ASSERT_EQ(trip.result, SaveFailure::kNone);
    ASSERT_FALSE(trip.reopenFailed);
    EXPECT_TRUE(testpics::BitIdentical(trip.reopened.doc.sourcePicture, picture));
    if (c.alphaKept) {
      EXPECT_TRUE(testpics::BitIdentical(trip.reopened.doc.alphaPlane, alpha));
    } else {
      EXPECT_EQ(trip.reopened.doc.alphaPlane.data, nullptr);
    }
    EXPECT_EQ(trip.folder.Entries(), std::vector<std::string>{c.name}) << "stray files";
  }
}

TEST(PhotoSaving, JpegComesBackCloseAndWithoutAlpha) {
  struct Case {
    uint32_t components;
    bool alpha;
  };
  const Case cases[] = {{1, false}, {3, false}, {3, true}};
  TemporarySettings settings;
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.components << " components, alpha " << c.alpha);
    const Picture picture = testpics::SmoothScene(96, 64, c.components, 8);
    const Picture alpha = testpics::Constant(96, 64, 1, 8, 128);
    Document original;
    original.Hold(picture, c.alpha ? &alpha.buf() : nullptr);
    RoundTrip trip(original, "photo.jpg");
    ASSERT_EQ(trip.result, SaveFailure::kNone);
    ASSERT_FALSE(trip.reopenFailed);
    EXPECT_EQ(FreeImage_GetFileType(trip.path.c_str(), 0), FIF_JPEG);
    const SBxPicBuf& back = trip.reopened.doc.sourcePicture;
    ASSERT_EQ(back.components, c.components);
    EXPECT_GT(testpics::Psnr(picture, CopyOf(back)), 35.0);
    EXPECT_EQ(trip.reopened.doc.alphaPlane.data, nullptr);
  }
}

TEST(PhotoSaving, FormatComesFromTheNameWhenTheTableHasNone) {
  struct Case {
    const char* name;
    FREE_IMAGE_FORMAT written;  // FIF_UNKNOWN: refused as unsupported
  };
  const Case cases[] = {{"a.jpeg", FIF_JPEG},       {"a.tiff", FIF_TIFF},
                        {"a.JPG", FIF_JPEG},        {"a.gif", FIF_UNKNOWN},
                        {"a.unknown", FIF_UNKNOWN}, {"noextension", FIF_UNKNOWN}};
  TemporarySettings settings;
  const Picture picture = testpics::SmoothScene(16, 16, 3, 8);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TempFolder folder;
    Document document;
    document.Hold(picture);
    if (c.written == FIF_UNKNOWN) {
      EXPECT_EQ(SavePhoto(document.doc, folder / c.name, 90), SaveFailure::kUnsupportedFormat);
      EXPECT_TRUE(folder.Entries().empty());
    } else {
      ASSERT_EQ(SavePhoto(document.doc, folder / c.name, 90), SaveFailure::kNone);
      EXPECT_EQ(FreeImage_GetFileType((folder / c.name).c_str(), 0), c.written);
    }
  }
}

TEST(PhotoSaving, SixteenBitPicturesGoOnlyToTiffAndPng) {
  TemporarySettings settings;
  for (const char* name : {"deep.jpg", "deep.bmp", "deep.jpeg"}) {
    SCOPED_TRACE(name);
    TempFolder folder;
    Document document;
    document.Hold(testpics::SmoothScene(16, 16, 3, 16));
    EXPECT_EQ(SavePhoto(document.doc, folder / name, 90), SaveFailure::kUnsupportedFormat);
    EXPECT_TRUE(folder.Entries().empty());
  }
}

TEST(PhotoSaving, NothingToSaveIsSaid) {
  TemporarySettings settings;
  TempFolder folder;
  Document empty;
  EXPECT_EQ(SavePhoto(empty.doc, folder / "a.png", 90), SaveFailure::kNothingToSave);
  Document document;
  document.Hold(testpics::SmoothScene(8, 8, 3, 8));
  EXPECT_EQ(SavePhoto(document.doc, fs::path(), 90), SaveFailure::kNothingToSave);
  EXPECT_TRUE(folder.Entries().empty());
  EXPECT_FALSE(fs::exists(SettingsFilePath())) << "the quality was stored";
}

TEST(PhotoSaving, FailedWriteLeavesNoFileAndStoresNoQuality) {
  TemporarySettings settings;
  TempFolder folder;
  fs::create_directory(folder / "taken.png");
  testphotos::WriteBytes(folder / "taken.png" / "inside", "kept");
  const fs::path targets[] = {folder / "missing" / "a.png", folder / "taken.png"};
  Document document;
  document.Hold(testpics::SmoothScene(8, 8, 3, 8));
  for (const fs::path& target : targets) {
    SCOPED_TRACE(target.string());
    EXPECT_EQ(SavePhoto(document.doc, target, 90), SaveFailure::kNotWritten);
    EXPECT_EQ(SavePictureWithMetadata(document.doc.denoisedPicture, nullptr, target, nullptr,
                                      FIF_PNG, 90),
              SaveFailure::kNotWritten);
    EXPECT_EQ(folder.Entries(), std::vector<std::string>{"taken.png"});
    EXPECT_EQ(testphotos::ReadBytes(folder / "taken.png" / "inside").size(), 4u);
    EXPECT_EQ(ReadSettingString(kKeyJpegQuality, "absent"), "absent");
  }
}

TEST(PhotoSaving, SavingOverAnEarlierFileReplacesIt) {
  TemporarySettings settings;
  TempFolder folder;
  const fs::path path = folder / "a.png";
  testphotos::WriteBytes(path, "an earlier file");
  Document document;
  document.Hold(testpics::SmoothScene(8, 8, 3, 8));
  ASSERT_EQ(SavePhoto(document.doc, path, 90), SaveFailure::kNone);
  EXPECT_EQ(FreeImage_GetFileType(path.c_str(), 0), FIF_PNG);
  EXPECT_EQ(folder.Entries(), std::vector<std::string>{"a.png"});
}

// The bytes of a JPEG written directly with that quality, to compare SavePhoto's output with.
std::vector<uint8_t> JpegBytesAtQuality(const SBxPicBuf& picture, int32_t quality) {
  TempFolder folder;
  EXPECT_EQ(SavePictureWithMetadata(picture, nullptr, folder / "q.jpg", nullptr, FIF_JPEG, quality),
            SaveFailure::kNone);
  return testphotos::ReadBytes(folder / "q.jpg");
}

TEST(PhotoSaving, JpegQualityAboveAHundredIsAHundredAndNoneIsNinetyFive) {
  struct Case {
    int32_t asked;
    int32_t written;
  };
  const Case cases[] = {{85, 85}, {40, 40}, {0, 95}, {-5, 95}, {150, 100}, {100, 100}};
  const Picture picture = testpics::SmoothScene(64, 48, 3, 8);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.asked);
    TemporarySettings settings;
    TempFolder folder;
    Document document;
    document.Hold(picture);
    ASSERT_EQ(SavePhoto(document.doc, folder / "photo.jpg", c.asked), SaveFailure::kNone);
    const std::vector<uint8_t> saved = testphotos::ReadBytes(folder / "photo.jpg");
    EXPECT_EQ(saved, JpegBytesAtQuality(picture, c.written));
    EXPECT_FALSE(fs::exists(SettingsFilePath())) << "saving stored a setting";
  }
  EXPECT_LT(JpegBytesAtQuality(picture, 40).size(), JpegBytesAtQuality(picture, 95).size());
}

// The metadata comes from the file as it was opened: a source replaced by another photo or deleted
// before the save changes nothing of what is written.
TEST(PhotoSaving, MetadataIsReadWhenThePhotoOpensNotWhenItIsSaved) {
  TemporarySettings settings;
  TempFolder folder;
  const Picture picture = testpics::SmoothScene(24, 16, 3, 8);
  for (const char* name : {"first.jpg", "second.jpg"}) {
    const UniqueBitmap bitmap = PictureToBitmap(picture, nullptr);
    testphotos::WriteBitmapFile(bitmap.get(), FIF_JPEG, folder / name);
    testphotos::WriteExif(folder / name, {{"Exif.Image.Model", name}});
  }
  Document document;
  ASSERT_FALSE(OpenPhoto(document.doc, folder / "first.jpg", true));
  document.Hold(document.doc.sourcePicture);
  fs::rename(folder / "second.jpg", folder / "first.jpg");
  ASSERT_EQ(SavePhoto(document.doc, folder / "replaced.tif", 90), SaveFailure::kNone);
  fs::remove(folder / "first.jpg");
  ASSERT_EQ(SavePhoto(document.doc, folder / "deleted.png", 90), SaveFailure::kNone);
  for (const char* name : {"replaced.tif", "deleted.png"}) {
    EXPECT_EQ(testphotos::TagText(testphotos::ReadExif(folder / name), "Exif.Image.Model"),
              "first.jpg")
        << name;
  }
}

TEST(PictureToBitmap, GivesNoBitmapForPicturesNoBitmapHolds) {
  UseFreeImage();
  ScopedPicBuf empty;
  EXPECT_EQ(PictureToBitmap(*empty, nullptr), nullptr);
  for (const auto& [components, bits] : {std::pair{3u, 32u}, {1u, 32u}, {4u, 8u}, {2u, 16u}}) {
    SCOPED_TRACE(::testing::Message() << components << " x " << bits);
    EXPECT_EQ(PictureToBitmap(testpics::Constant(4, 4, components, bits, 0), nullptr), nullptr);
  }
  const Picture picture = testpics::SmoothScene(4, 4, 3, 8);
  const Picture smallAlpha = testpics::Constant(3, 4, 1, 8, 9);
  const UniqueBitmap bitmap = PictureToBitmap(picture, &smallAlpha.buf());
  ASSERT_NE(bitmap, nullptr);
  EXPECT_EQ(FreeImage_GetBPP(bitmap.get()), 24u) << "an alpha plane of another size was used";
}

}  // namespace

namespace {

// The tags that describe the shot: they must reach every written file as the source has them.
const char* const kShotTags[] = {"Exif.Image.Make",
                                 "Exif.Image.Model",
                                 "Exif.Image.Orientation",
                                 "Exif.Photo.ISOSpeedRatings",
                                 "Exif.Photo.ExposureTime",
                                 "Exif.Photo.FNumber",
                                 "Exif.Photo.DateTimeOriginal"};

bool HasThumbnail(const std::map<std::string, std::string>& exif) {
  return std::any_of(exif.begin(), exif.end(),
                     [](const auto& tag) { return tag.first.rfind("Exif.Thumbnail.", 0) == 0; });
}

// The centre of the photo, small enough to keep the saves fast.
void HoldCentreCrop(Document& target, const SBxPicBuf& photo, int32_t width, int32_t height) {
  ASSERT_FALSE(CBxPicBufAPI::ReinitHeap(target.doc.denoisedPicture, width, height, photo.components,
                                        photo.bitsPerComponent));
  CBxPicBufAPI::CopyRect(target.doc.denoisedPicture, photo, {0, 0},
                         {(photo.width - width) / 2, (photo.height - height) / 2}, {width, height});
}

TEST(PhotoMetadata, CameraPhotoKeepsItsExifInEveryFormatAndDescribesTheWrittenPixels) {
  const fs::path source = testphotos::TestPhoto(testphotos::kSonyPhoto);
  if (source.empty()) {
    GTEST_SKIP() << testphotos::kSonyPhoto << " is not in " << testphotos::TestPhotoFolder()
                 << " (make photos fetches it)";
  }
  TemporarySettings settings;
  Document photo;
  ASSERT_FALSE(OpenPhoto(photo.doc, source, true));
  Document crop;
  HoldCentreCrop(crop, photo.doc.sourcePicture, 240, 160);
  const auto sourceExif = testphotos::ReadExif(source);
  ASSERT_TRUE(HasThumbnail(sourceExif));
  ExifSummary expectedSummary = photo.doc.exif;
  expectedSummary.dimensions = "240x160";

  TempFolder folder;
  for (const char* name : {"crop.jpg", "crop.tif", "crop.png"}) {
    SCOPED_TRACE(name);
    const fs::path output = folder / name;
    ASSERT_EQ(SavePhoto(crop.WithMetadataOf(source), output, 90), SaveFailure::kNone);
    const auto exif = testphotos::ReadExif(output);
    for (const char* key : kShotTags) {
      ASSERT_EQ(sourceExif.count(key), 1u) << key;
      EXPECT_EQ(testphotos::TagText(exif, key), sourceExif.at(key)) << key;
    }
    EXPECT_EQ(testphotos::TagText(exif, "Exif.Photo.PixelXDimension"), "240");
    EXPECT_EQ(testphotos::TagText(exif, "Exif.Photo.PixelYDimension"), "160");
    EXPECT_FALSE(HasThumbnail(exif));

    Document reopened;
    ASSERT_FALSE(OpenPhoto(reopened.doc, output, true));
    if (fs::path(name).extension() != ".jpg") {
      EXPECT_TRUE(testpics::BitIdentical(reopened.doc.sourcePicture, crop.doc.denoisedPicture));
    }
    if (fs::path(name).extension() != ".png") {  // FreeImage reads no EXIF from PNG files
      EXPECT_EQ(reopened.doc.exif, expectedSummary);
    }
  }
  EXPECT_EQ(folder.Entries(), (std::vector<std::string>{"crop.jpg", "crop.png", "crop.tif"}));
}

// FreeImage 3.18 reads the ICC profile of a TIFF file with an EXIF directory from memory that
// libtiff has already freed, and hands back no profile from PNG files, so the profiles are read
// back with Exiv2; FreeImage's own reading is checked on the JPEG files.
TEST(PhotoMetadata, IccProfileAndExifReachEveryFormat) {
  TemporarySettings settings;
  TempFolder folder;
  const std::vector<uint8_t> profile = testphotos::SmallIccProfile();
  const Picture picture = testpics::SmoothScene(48, 32, 3, 8);
  struct Source {
    const char* name;
    FREE_IMAGE_FORMAT format;
  };
  for (const Source& source : {Source{"source.jpg", FIF_JPEG}, Source{"source.png", FIF_PNG}}) {
    const UniqueBitmap bitmap = PictureToBitmap(picture, nullptr);
    FreeImage_CreateICCProfile(bitmap.get(), const_cast<uint8_t*>(profile.data()),
                               static_cast<long>(profile.size()));
    testphotos::WriteBitmapFile(bitmap.get(), source.format, folder / source.name);
    testphotos::WriteExif(folder / source.name,
                          {{"Exif.Image.Make", "Maker of " + std::string(source.name)},
                           {"Exif.Photo.ISOSpeedRatings", "1600"}});
    ASSERT_EQ(testphotos::ReadIccProfile(folder / source.name), profile) << source.name;
    for (const char* extension : {".jpg", ".tif", ".png"}) {
      const fs::path output = folder / ("from-" + std::string(source.name) + extension);
      SCOPED_TRACE(output.filename().string());
      Document document;
      document.Hold(picture);
      ASSERT_EQ(SavePhoto(document.WithMetadataOf(folder / source.name), output, 90), SaveFailure::kNone);
      EXPECT_EQ(testphotos::ReadIccProfile(output), profile);
      const auto exif = testphotos::ReadExif(output);
      EXPECT_EQ(testphotos::TagText(exif, "Exif.Image.Make"),
                "Maker of " + std::string(source.name));
      EXPECT_EQ(testphotos::TagText(exif, "Exif.Photo.ISOSpeedRatings"), "1600");
      if (std::string(extension) == ".jpg") {
        const std::vector<uint8_t> bytes = testphotos::ReadBytes(output);
        const UniqueBitmap back =
            LoadBitmapFromBytes(std::string(bytes.begin(), bytes.end()), FIF_JPEG);
        ASSERT_NE(back, nullptr);
        const FIICCPROFILE* backProfile = FreeImage_GetICCProfile(back.get());
        const auto* backData = static_cast<const uint8_t*>(backProfile->data);
        EXPECT_EQ(std::vector<uint8_t>(backData, backData + backProfile->size), profile);
      }
    }
  }
}

TEST(PhotoMetadata, SavedTiffServesAsTheSourceOfTheNextSave) {
  TemporarySettings settings;
  TempFolder folder;
  const Picture picture = testpics::RandomPicture(40, 30, 3, 16, 3);
  const UniqueBitmap bitmap = PictureToBitmap(picture, nullptr);
  testphotos::WriteBitmapFile(bitmap.get(), FIF_TIFF, folder / "first.tif");
  testphotos::WriteExif(folder / "first.tif", {{"Exif.Image.Model", "Chain"},
                                               {"Exif.Photo.PixelXDimension", "4000"},
                                               {"Exif.Photo.PixelYDimension", "3000"}});
  Document document;
  document.Hold(picture);
  ASSERT_EQ(SavePhoto(document.WithMetadataOf(folder / "first.tif"), folder / "second.tif", 90), SaveFailure::kNone);
  ASSERT_EQ(SavePhoto(document.WithMetadataOf(folder / "second.tif"), folder / "third.png", 90), SaveFailure::kNone);
  for (const char* name : {"second.tif", "third.png"}) {
    SCOPED_TRACE(name);
    const auto exif = testphotos::ReadExif(folder / name);
    EXPECT_EQ(testphotos::TagText(exif, "Exif.Image.Model"), "Chain");
    EXPECT_EQ(testphotos::TagText(exif, "Exif.Photo.PixelXDimension"), "40");
    EXPECT_EQ(testphotos::TagText(exif, "Exif.Photo.PixelYDimension"), "30");
    Document reopened;
    ASSERT_FALSE(OpenPhoto(reopened.doc, folder / name, true));
    EXPECT_TRUE(testpics::BitIdentical(reopened.doc.sourcePicture, picture));
  }
}

TEST(PhotoMetadata, BmpHoldsNoMetadataAndIsNoFailure) {
  TemporarySettings settings;
  TempFolder folder;
  const Picture picture = testpics::SmoothScene(16, 16, 3, 8);
  const UniqueBitmap bitmap = PictureToBitmap(picture, nullptr);
  testphotos::WriteBitmapFile(bitmap.get(), FIF_JPEG, folder / "source.jpg");
  testphotos::WriteExif(folder / "source.jpg", {{"Exif.Image.Make", "Maker"}});
  Document document;
  document.Hold(picture);
  ASSERT_EQ(SavePhoto(document.WithMetadataOf(folder / "source.jpg"), folder / "out.bmp", 90), SaveFailure::kNone);
  EXPECT_EQ(FreeImage_GetFileType((folder / "out.bmp").c_str(), 0), FIF_BMP);
}

TEST(LibraryMessages, StaySilentUnlessVerbose) {
  TemporarySettings settings;
  TempFolder folder;
  const Picture picture = testpics::SmoothScene(16, 16, 3, 8);
  const UniqueBitmap bitmap = PictureToBitmap(picture, nullptr);
  // FreeImage asks libtiff about EXIF tags that libtiff does not know whenever it reads a TIFF
  // file: each question is a libtiff error message.
  testphotos::WriteBitmapFile(bitmap.get(), FIF_TIFF, folder / "photo.tif");
  testphotos::WriteExif(folder / "photo.tif", {{"Exif.Photo.ISOSpeedRatings", "200"}});
  // A PNG file that breaks off after its signature: FreeImage reports libpng's complaint.
  testphotos::WriteBytes(folder / "broken.png", std::string("\x89PNG\r\n\x1a\n", 8) + "garbage");
  const auto openAndSave = [&] {
    Document document;
    EXPECT_TRUE(OpenPhoto(document.doc, folder / "broken.png", true));
    EXPECT_FALSE(OpenPhoto(document.doc, folder / "photo.tif", true));
    testpics::CopyPicture(document.doc.denoisedPicture, document.doc.sourcePicture);
    EXPECT_EQ(SavePhoto(document.doc, folder / "out.tif", 90), SaveFailure::kNone);
    EXPECT_EQ(SavePhoto(document.doc, folder / "missing" / "out.tif", 90), SaveFailure::kNotWritten);
  };

  ::testing::internal::CaptureStderr();
  openAndSave();
  EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
  EXPECT_NE(LastLibraryMessage(), "");

  SetVerboseLibraryMessages(true);
  ::testing::internal::CaptureStderr();
  openAndSave();
  const std::string printed = ::testing::internal::GetCapturedStderr();
  SetVerboseLibraryMessages(false);
  EXPECT_NE(printed.find("FreeImage: "), std::string::npos) << printed;
  EXPECT_NE(printed.find("libtiff: "), std::string::npos) << printed;
}

}  // namespace
