#include "picture/photo_loading.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "picture/freeimage_library.h"
#include "support/photo_files.h"
#include "support/test_pictures.h"

namespace {

namespace fs = std::filesystem;
using testphotos::HoldsPattern;
using testphotos::NoticeCounter;
using testphotos::PatternBitmap;
using testphotos::TempFolder;
using testphotos::WriteBitmapFile;

constexpr int32_t kWidth = 37;  // odd, so that rows carry padding in FreeImage's scan lines
constexpr int32_t kHeight = 23;

// A document that releases its buffers at the end of the test.
struct Document {
  ~Document() { ReleasePhotoDocument(doc); }
  PhotoDocument doc;
};

// A copy of a picture buffer, to compare with later.
struct Snapshot {
  explicit Snapshot(const SBxPicBuf& source) {
    if (!CBxPicBufAPI::ReinitHeap(*buf, source)) CBxPicBufAPI::Copy(*buf, source);
  }
  ScopedPicBuf buf;
};

// Writes a pattern file of that layout and format.
fs::path WritePatternFile(const TempFolder& folder, const std::string& name, FREE_IMAGE_TYPE type,
                          uint32_t bitsPerPixel, FREE_IMAGE_FORMAT format) {
  const UniqueBitmap bitmap = PatternBitmap(type, bitsPerPixel, kWidth, kHeight);
  const fs::path path = folder / name;
  WriteBitmapFile(bitmap.get(), format, path);
  return path;
}

TEST(PhotoLoading, EveryAcceptedLayoutOpensWithItsComponentsDepthOrderAndAlpha) {
  struct Case {
    const char* name;
    FREE_IMAGE_TYPE type;
    uint32_t bitsPerPixel;
    FREE_IMAGE_FORMAT format;
    uint32_t components;
    uint32_t bits;
    bool alpha;
  };
  const Case cases[] = {
      {"grey8.png", FIT_BITMAP, 8, FIF_PNG, 1, 8, false},
      {"grey8.tif", FIT_BITMAP, 8, FIF_TIFF, 1, 8, false},
      {"grey8.bmp", FIT_BITMAP, 8, FIF_BMP, 1, 8, false},
      {"grey16.png", FIT_UINT16, 16, FIF_PNG, 1, 16, false},
      {"grey16.tif", FIT_UINT16, 16, FIF_TIFF, 1, 16, false},
      {"rgb24.png", FIT_BITMAP, 24, FIF_PNG, 3, 8, false},
      {"rgb24.tif", FIT_BITMAP, 24, FIF_TIFF, 3, 8, false},
      {"rgb24.bmp", FIT_BITMAP, 24, FIF_BMP, 3, 8, false},
      {"rgba32.png", FIT_BITMAP, 32, FIF_PNG, 3, 8, true},
      {"rgba32.tif", FIT_BITMAP, 32, FIF_TIFF, 3, 8, true},
      {"rgb48.tif", FIT_RGB16, 48, FIF_TIFF, 3, 16, false},
      {"rgb48.png", FIT_RGB16, 48, FIF_PNG, 3, 16, false},
      {"rgba64.tif", FIT_RGBA16, 64, FIF_TIFF, 3, 16, true},
      {"rgba64.png", FIT_RGBA16, 64, FIF_PNG, 3, 16, true},
  };
  TempFolder folder;
  NoticeCounter notices;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const fs::path path = WritePatternFile(folder, c.name, c.type, c.bitsPerPixel, c.format);
    Document document;
    ASSERT_FALSE(OpenPhoto(document.doc, path, false));
    const SBxPicBuf& picture = document.doc.sourcePicture;
    EXPECT_EQ(picture.width, kWidth);
    EXPECT_EQ(picture.height, kHeight);
    EXPECT_EQ(picture.components, c.components);
    EXPECT_EQ(picture.bitsPerComponent, c.bits);
    const SBxPicBuf& alpha = document.doc.alphaPlane;
    if (c.alpha) {
      ASSERT_NE(alpha.data, nullptr);
      EXPECT_EQ(alpha.components, 1u);
      EXPECT_EQ(alpha.bitsPerComponent, c.bits);
      EXPECT_EQ(alpha.width, kWidth);
      EXPECT_EQ(alpha.height, kHeight);
    } else {
      EXPECT_EQ(alpha.data, nullptr);
    }
    EXPECT_TRUE(HoldsPattern(picture, c.alpha ? &alpha : nullptr, c.bits));
    EXPECT_EQ(document.doc.path, path);
    EXPECT_EQ(document.doc.denoisedPicture.data, nullptr);  // left to the caller
  }
  EXPECT_EQ(notices.count(), 0);
}

TEST(PhotoLoading, FirstPixelOfA48BitTiffComesOutBlueGreenRed) {
  TempFolder folder;
  UniqueBitmap bitmap(FreeImage_AllocateT(FIT_RGB16, 2, 2, 48));
  ASSERT_TRUE(bitmap);
  for (unsigned line = 0; line < 2; ++line) {
    auto* pixels = reinterpret_cast<FIRGB16*>(FreeImage_GetScanLine(bitmap.get(), line));
    pixels[0] = pixels[1] = FIRGB16{7, 8, 9};
  }
  // The first pixel: top row (FreeImage's last scan line), left.
  reinterpret_cast<FIRGB16*>(FreeImage_GetScanLine(bitmap.get(), 1))[0] = FIRGB16{1000, 2000, 3000};
  const fs::path path = folder / "first.tif";
  WriteBitmapFile(bitmap.get(), FIF_TIFF, path);

  Document document;
  ASSERT_FALSE(OpenPhoto(document.doc, path, true));
  const uint16_t* top = PicRow<uint16_t>(document.doc.sourcePicture, 0);
  EXPECT_EQ(top[0], 3000);
  EXPECT_EQ(top[1], 2000);
  EXPECT_EQ(top[2], 1000);
  EXPECT_EQ(PicRow<uint16_t>(document.doc.sourcePicture, 1)[0], 9);
}

TEST(PhotoLoading, MinIsWhiteGreyIsTakenAsStored) {
  TempFolder folder;
  UniqueBitmap bitmap = PatternBitmap(FIT_BITMAP, 8, kWidth, kHeight);
  RGBQUAD* palette = FreeImage_GetPalette(bitmap.get());
  for (int i = 0; i < 256; ++i) {
    const auto level = static_cast<BYTE>(255 - i);
    palette[i] = RGBQUAD{level, level, level, 0};
  }
  ASSERT_EQ(FreeImage_GetColorType(bitmap.get()), FIC_MINISWHITE);
  const fs::path path = folder / "miniswhite.tif";
  WriteBitmapFile(bitmap.get(), FIF_TIFF, path);

  Document document;
  ASSERT_FALSE(OpenPhoto(document.doc, path, true));
  EXPECT_TRUE(HoldsPattern(document.doc.sourcePicture, nullptr, 8));
}

// A good photo with alpha and an EXIF record, opened before each refused file.
fs::path WriteGoodPhoto(const TempFolder& folder) {
  const fs::path path = WritePatternFile(folder, "good.tif", FIT_BITMAP, 32, FIF_TIFF);
  testphotos::WriteExif(path,
                        {{"Exif.Image.Make", "Good maker"}, {"Exif.Photo.ISOSpeedRatings", "400"}});
  return path;
}

UniqueBitmap PaletteBitmap(uint32_t bitsPerPixel) {
  UniqueBitmap bitmap(FreeImage_Allocate(kWidth, kHeight, static_cast<int>(bitsPerPixel)));
  RGBQUAD* palette = FreeImage_GetPalette(bitmap.get());
  for (unsigned i = 0; i < FreeImage_GetColorsUsed(bitmap.get()); ++i) {
    palette[i] =
        RGBQUAD{static_cast<BYTE>(i * 3), static_cast<BYTE>(255 - i), static_cast<BYTE>(i * 7), 0};
  }
  return bitmap;
}

TEST(PhotoLoading, RefusedFilesFailAndLeaveTheDocumentAsItWas) {
  TempFolder folder;
  const auto writeFile = [&](const std::string& name, FIBITMAP* bitmap, FREE_IMAGE_FORMAT format) {
    WriteBitmapFile(bitmap, format, folder / name);
    return folder / name;
  };
  const auto writeBytes = [&](const std::string& name, const std::string& bytes) {
    testphotos::WriteBytes(folder / name, bytes);
    return folder / name;
  };
  const fs::path paletteTiff = writeFile("palette.tif", PaletteBitmap(8).get(), FIF_TIFF);
  testphotos::WriteExif(paletteTiff, {{"Exif.Image.Make", "Refused maker"}});
  UniqueBitmap oneBit(FreeImage_Allocate(kWidth, kHeight, 1));
  UniqueBitmap rgb565(FreeImage_Allocate(kWidth, kHeight, 16, FI16_565_RED_MASK,
                                         FI16_565_GREEN_MASK, FI16_565_BLUE_MASK));
  UniqueBitmap floats(FreeImage_AllocateT(FIT_FLOAT, kWidth, kHeight));
  UniqueBitmap floatRgb(FreeImage_AllocateT(FIT_RGBF, kWidth, kHeight));
  const std::string pngSignature = "\x89PNG\r\n\x1a\n";
  const fs::path refused[] = {
      paletteTiff,
      writeFile("palette.gif", PaletteBitmap(8).get(), FIF_GIF),
      writeFile("palette.png", PaletteBitmap(8).get(), FIF_PNG),
      writeFile("palette4.bmp", PaletteBitmap(4).get(), FIF_BMP),
      writeFile("bilevel.png", oneBit.get(), FIF_PNG),
      writeFile("rgb565.bmp", rgb565.get(), FIF_BMP),
      writeFile("float.tif", floats.get(), FIF_TIFF),
      writeFile("floatrgb.tif", floatRgb.get(), FIF_TIFF),
      writeBytes("text.png", "not a picture at all"),
      writeBytes("truncated.png", pngSignature + "garbage"),
      writeBytes("unknown.xyz", "not a picture either"),
  };
  // Files that cannot be read at all are named, with what the system said.
  const std::pair<fs::path, std::string> unopened[] = {
      {folder / "missing.png", "no such file"},
      {folder.path(), "a folder, not a photo"},
      {folder / std::string(kMaxPhotoPathBytes, 'x'), "the path is longer than 1023 bytes"},
  };

  const fs::path good = WriteGoodPhoto(folder);
  Document document;
  ASSERT_FALSE(OpenPhoto(document.doc, good, false));
  ASSERT_EQ(document.doc.exif.make, "Good maker");
  const Snapshot picture(document.doc.sourcePicture);
  const Snapshot alpha(document.doc.alphaPlane);
  const ExifSummary exif = document.doc.exif;

  NoticeCounter notices;
  int expectedNotices = 0;
  for (const fs::path& path : refused) {
    SCOPED_TRACE(path.filename().string().substr(0, 40));
    EXPECT_TRUE(OpenPhoto(document.doc, path, false));
    EXPECT_EQ(notices.count(), ++expectedNotices);
    EXPECT_EQ(notices.lastTitle(), "");
    EXPECT_EQ(notices.lastText(), "Image format not supported!");
    EXPECT_TRUE(testpics::BitIdentical(document.doc.sourcePicture, *picture.buf));
    EXPECT_TRUE(testpics::BitIdentical(document.doc.alphaPlane, *alpha.buf));
    EXPECT_EQ(document.doc.exif, exif);
    EXPECT_EQ(document.doc.path, good);

    EXPECT_TRUE(OpenPhoto(document.doc, path, true));
    EXPECT_EQ(notices.count(), expectedNotices) << "quiet mode raised a notice";
  }
  for (const auto& [path, reason] : unopened) {
    EXPECT_TRUE(OpenPhoto(document.doc, path, false));
    EXPECT_EQ(notices.lastText(), path.string() + ": " + reason);
    EXPECT_TRUE(testpics::BitIdentical(document.doc.sourcePicture, *picture.buf));
  }
}

TEST(PhotoLoading, PathsBeyondTheLengthLimitAreRefusedEvenWhenTheFileExists) {
  TempFolder folder;
  // Folders deep enough that a file name of about 100 bytes brings the path to the limit.
  constexpr size_t kNameLength = 100;
  const auto room = [](const fs::path& path) {
    return kMaxPhotoPathBytes - path.native().size() - (1 + kNameLength + 4);
  };
  fs::path deep = folder.path();
  while (room(deep) > 201) deep /= std::string(200, 'd');
  if (room(deep) > 1) deep /= std::string(room(deep) - 1, 'd');
  fs::create_directories(deep);
  const fs::path fits = deep / (std::string(kNameLength + room(deep), 'f') + ".png");
  const fs::path tooLong = deep / (std::string(kNameLength + room(deep) + 1, 'f') + ".png");
  ASSERT_EQ(fits.native().size(), kMaxPhotoPathBytes);
  const UniqueBitmap bitmap = PatternBitmap(FIT_BITMAP, 24, 4, 4);
  WriteBitmapFile(bitmap.get(), FIF_PNG, fits);
  WriteBitmapFile(bitmap.get(), FIF_PNG, tooLong);

  Document document;
  EXPECT_FALSE(OpenPhoto(document.doc, fits, true));
  EXPECT_TRUE(OpenPhoto(document.doc, tooLong, true));
  EXPECT_EQ(document.doc.path, fits);
}

TEST(PhotoLoading, EmptyPathStandsForTheChoiceAndFailsWithoutNotice) {
  NoticeCounter notices;
  Document document;
  EXPECT_TRUE(OpenPhoto(document.doc, fs::path(), false));
  EXPECT_EQ(notices.count(), 0);
}

TEST(PhotoLoading, PhotoWithoutAlphaAfterOneWithAlphaLeavesNoAlphaPlane) {
  TempFolder folder;
  const fs::path withAlpha = WritePatternFile(folder, "alpha.png", FIT_BITMAP, 32, FIF_PNG);
  const fs::path without = WritePatternFile(folder, "plain.png", FIT_BITMAP, 24, FIF_PNG);
  Document document;
  ASSERT_FALSE(OpenPhoto(document.doc, withAlpha, true));
  ASSERT_NE(document.doc.alphaPlane.data, nullptr);
  ASSERT_FALSE(OpenPhoto(document.doc, without, true));
  EXPECT_EQ(document.doc.alphaPlane.data, nullptr);
  EXPECT_EQ(document.doc.alphaPlane.size, 0);
}

TEST(PhotoLoading, Utf8PathsOpen) {
  TempFolder folder;
  const fs::path path = WritePatternFile(folder, "Fot\xC3\xB3 \xD1\x84\xD0\xBE\xD1\x82\xD0\xBE.tif",
                                         FIT_BITMAP, 24, FIF_TIFF);
  Document document;
  ASSERT_FALSE(OpenPhoto(document.doc, path, true));
  EXPECT_TRUE(HoldsPattern(document.doc.sourcePicture, nullptr, 8));
  EXPECT_EQ(document.doc.path, path);
}

TEST(ConvertBitmapToPicture, RefusesLayoutsWithoutAPictureDepthButStillReadsTheSummary) {
  UseFreeImage();
  struct Case {
    const char* name;
    FREE_IMAGE_TYPE type;
    uint32_t bitsPerPixel;
    bool cmyk;
  };
  const Case cases[] = {
      {"signed 16-bit", FIT_INT16, 16, false},  {"32-bit integer", FIT_UINT32, 32, false},
      {"signed 32-bit", FIT_INT32, 32, false},  {"float", FIT_FLOAT, 32, false},
      {"double", FIT_DOUBLE, 64, false},        {"complex", FIT_COMPLEX, 128, false},
      {"float RGB", FIT_RGBF, 96, false},       {"float RGBA", FIT_RGBAF, 128, false},
      {"1-bit", FIT_BITMAP, 1, false},          {"4-bit", FIT_BITMAP, 4, false},
      {"16-bit bitmap", FIT_BITMAP, 16, false}, {"CMYK", FIT_BITMAP, 32, true},
      {"CMYK 16-bit", FIT_RGBA16, 64, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    UniqueBitmap bitmap(FreeImage_AllocateT(c.type, 8, 8, static_cast<int>(c.bitsPerPixel)));
    ASSERT_TRUE(bitmap);
    if (c.cmyk) FreeImage_GetICCProfile(bitmap.get())->flags |= FIICC_COLOR_IS_CMYK;
    FreeImage_SetMetadataKeyValue(FIMD_EXIF_MAIN, bitmap.get(), "Make", "Refused maker");
    ScopedPicBuf picture;
    ScopedPicBuf alpha;
    ASSERT_FALSE(CBxPicBufAPI::ReinitHeap(*picture, 4, 4, 3, 8));
    ASSERT_FALSE(CBxPicBufAPI::ReinitHeap(*alpha, 4, 4, 1, 8));
    ExifSummary summary;
    EXPECT_TRUE(ConvertBitmapToPicture(summary, *picture, *alpha, bitmap.get()));
    EXPECT_EQ(picture->data, nullptr);
    EXPECT_EQ(alpha->data, nullptr);
    EXPECT_EQ(summary.make, "Refused maker");
  }
}

TEST(ConvertBitmapToPicture, PaletteBitmapWithGreyEntriesOnlyIsGrey) {
  UseFreeImage();
  UniqueBitmap bitmap = PatternBitmap(FIT_BITMAP, 8, kWidth, kHeight);
  ScopedPicBuf picture;
  ScopedPicBuf alpha;
  ExifSummary summary;
  ASSERT_FALSE(ConvertBitmapToPicture(summary, *picture, *alpha, bitmap.get()));
  EXPECT_TRUE(HoldsPattern(*picture, nullptr, 8));
  EXPECT_EQ(alpha->data, nullptr);

  FreeImage_GetPalette(bitmap.get())[9] = RGBQUAD{0, 0, 255, 0};  // one coloured entry
  EXPECT_TRUE(ConvertBitmapToPicture(summary, *picture, *alpha, bitmap.get()));
}

// Camera photos fetched by scripts/fetch-test-photos.sh.

TEST(CameraPhoto, SonyAlpha6000OpensWithItsExifSummary) {
  const fs::path path = testphotos::TestPhoto(testphotos::kSonyPhoto);
  if (path.empty()) {
    GTEST_SKIP() << testphotos::kSonyPhoto << " is not in " << testphotos::TestPhotoFolder()
                 << " (make photos fetches it)";
  }
  Document document;
  ASSERT_FALSE(OpenPhoto(document.doc, path, false));
  const SBxPicBuf& picture = document.doc.sourcePicture;
  EXPECT_EQ(picture.width, 6000);
  EXPECT_EQ(picture.height, 4000);
  EXPECT_EQ(picture.components, 3u);
  EXPECT_EQ(picture.bitsPerComponent, 8u);
  EXPECT_EQ(document.doc.alphaPlane.data, nullptr);
  const ExifSummary expected{"f/8",  "6 sec.",    "6000x4000",          "100",
                             "SONY", "ILCE-6000", "2014:04:18 20:33:53"};
  EXPECT_EQ(document.doc.exif, expected);
}

TEST(CameraPhoto, EveryFetchedJpegOpens) {
  const fs::path folder = testphotos::TestPhotoFolder();
  std::vector<fs::path> photos;
  std::error_code error;
  for (const auto& entry : fs::directory_iterator(folder, error)) {
    if (entry.path().extension() == ".jpg") photos.push_back(entry.path());
  }
  if (photos.empty()) GTEST_SKIP() << "no fetched photos in " << folder << " (make photos)";
  NoticeCounter notices;
  for (const fs::path& path : photos) {
    SCOPED_TRACE(path.filename().string());
    Document document;
    EXPECT_FALSE(OpenPhoto(document.doc, path, false));
    EXPECT_GT(document.doc.sourcePicture.width, 0);
    EXPECT_GT(document.doc.sourcePicture.height, 0);
    EXPECT_EQ(document.doc.sourcePicture.bitsPerComponent, 8u);
  }
  EXPECT_EQ(notices.count(), 0);
}

}  // namespace
