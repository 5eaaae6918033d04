// What opening and saving must never change: the stored samples of every layout, and a colour
// description that stays true to the written pixels.
#include <gtest/gtest.h>

#include <exiv2/exiv2.hpp>
#include <string>
#include <vector>

#include "engine/denoise.h"
#include "engine/sharpen_picture.h"
#include "picture/photo_loading.h"
#include "picture/photo_saving.h"
#include "support/photo_files.h"
#include "support/test_pictures.h"

namespace {

namespace fs = std::filesystem;
using testphotos::TempFolder;

constexpr int32_t kWidth = 37;
constexpr int32_t kHeight = 23;

struct Document {
  ~Document() { ReleasePhotoDocument(doc); }
  // Opens `path` with its result the photo as loaded, ready to be saved.
  bool Open(const fs::path& path) {
    if (OpenPhoto(doc, path, true)) return false;
    testpics::CopyPicture(doc.denoisedPicture, doc.sourcePicture);
    return true;
  }
  PhotoDocument doc;
};

std::string Text(const std::vector<uint8_t>& bytes) { return {bytes.begin(), bytes.end()}; }

// The chunks of a PNG file as type + data, in order.
std::vector<std::string> PngChunks(const fs::path& path) {
  const std::string png = Text(testphotos::ReadBytes(path));
  std::vector<std::string> chunks;
  for (size_t at = 8; at + 12 <= png.size();) {
    const uint32_t length = (uint32_t{static_cast<uint8_t>(png[at])} << 24) |
                            (uint32_t{static_cast<uint8_t>(png[at + 1])} << 16) |
                            (uint32_t{static_cast<uint8_t>(png[at + 2])} << 8) |
                            static_cast<uint8_t>(png[at + 3]);
    chunks.push_back(png.substr(at + 4, 4 + length));
    at += 12 + length;
  }
  return chunks;
}

// Opens, denoises with every strength 0 and gains 1, saves: what a "no change" run does.
void RunWithoutChange(const fs::path& input, const fs::path& output) {
  Document document;
  ASSERT_FALSE(OpenPhoto(document.doc, input, true)) << input;
  PhotoDocument& doc = document.doc;
  DenoisePicture(doc.denoisedPicture, doc.sourcePicture, 0, 0, 0, 3, 0, nullptr,
                 NoiseLevels{-1, -1, -1}, doc.sourcePicture.components == 3, false, false,
                 kMedianNone);
  SharpenPicture(doc.denoisedPicture, 1, 1, 1);
  ASSERT_EQ(SavePhoto(doc, output, 95), SaveFailure::kNone) << output;
}

// Every layout, in every lossless format that holds it, comes back with its exact samples; a PNG
// with a linear gamma (gAMA 1.0) is neither corrected on the way in nor loses its gAMA on the way
// out.
TEST(PhotoFidelity, EveryLayoutKeepsItsSamplesThroughARunThatChangesNothing) {
  struct Layout {
    const char* name;
    FREE_IMAGE_TYPE type;
    uint32_t bitsPerPixel;
    uint32_t bits;
    bool alpha;
  };
  const Layout layouts[] = {
      {"grey8", FIT_BITMAP, 8, 8, false},  {"rgb8", FIT_BITMAP, 24, 8, false},
      {"rgba8", FIT_BITMAP, 32, 8, true},  {"grey16", FIT_UINT16, 16, 16, false},
      {"rgb16", FIT_RGB16, 48, 16, false}, {"rgba16", FIT_RGBA16, 64, 16, true},
  };
  const std::string linearGamma = testphotos::PngChunk("gAMA", testphotos::BigEndian32(100000));
  TempFolder folder;
  for (const Layout& layout : layouts) {
    for (const FREE_IMAGE_FORMAT format : {FIF_PNG, FIF_TIFF, FIF_BMP}) {
      if (format == FIF_BMP && layout.bits == 16) continue;
      const std::string extension = FreeImage_GetFIFExtensionList(format);
      const std::string name = std::string(layout.name) + "." + extension.substr(0, 3);
      SCOPED_TRACE(name);
      const UniqueBitmap bitmap =
          testphotos::PatternBitmap(layout.type, layout.bitsPerPixel, kWidth, kHeight);
      testphotos::WriteBitmapFile(bitmap.get(), format, folder / name);
      if (format == FIF_PNG) {
        const std::string png = Text(testphotos::ReadBytes(folder / name));
        testphotos::WriteBytes(folder / name, testphotos::WithChunkAfterHeader(png, linearGamma));
      }
      RunWithoutChange(folder / name, folder / ("out-" + name));
      Document reopened;
      ASSERT_FALSE(OpenPhoto(reopened.doc, folder / ("out-" + name), true));
      const bool alphaKept = layout.alpha && format != FIF_BMP;
      EXPECT_TRUE(testphotos::HoldsPattern(
          reopened.doc.sourcePicture, alphaKept ? &reopened.doc.alphaPlane : nullptr, layout.bits));
      if (format == FIF_PNG) {
        const std::vector<std::string> chunks = PngChunks(folder / ("out-" + name));
        ASSERT_GE(chunks.size(), 2u);
        EXPECT_EQ(chunks[1], linearGamma.substr(4, 8)) << "gAMA right after the header";
      }
    }
  }
}

// A PNG's profile keeps its name (a nameless iCCP is refused by other readers); a CMYK profile
// does not stay on pixels written as RGB.
TEST(PhotoFidelity, ColourProfilesStayValidForTheWrittenPixels) {
  TempFolder folder;
  std::vector<uint8_t> rgb = testphotos::SmallIccProfile();
  const UniqueBitmap bitmap = testphotos::PatternBitmap(FIT_BITMAP, 24, kWidth, kHeight);
  FreeImage_CreateICCProfile(bitmap.get(), rgb.data(), static_cast<long>(rgb.size()));
  testphotos::WriteBitmapFile(bitmap.get(), FIF_JPEG, folder / "rgb.jpg");
  RunWithoutChange(folder / "rgb.jpg", folder / "rgb.png");
  bool named = false;
  for (const std::string& chunk : PngChunks(folder / "rgb.png")) {
    if (chunk.rfind("iCCP", 0) == 0) named = chunk.size() > 5 && chunk[4] != '\0';
  }
  EXPECT_TRUE(named) << "the iCCP chunk has no profile name";
  EXPECT_EQ(testphotos::ReadIccProfile(folder / "rgb.png"), rgb);

  std::vector<uint8_t> cmyk = rgb;
  std::copy_n("CMYK", 4, cmyk.begin() + 16);
  {
    Exiv2::Image::AutoPtr image = Exiv2::ImageFactory::open((folder / "rgb.jpg").string());
    image->readMetadata();
    Exiv2::DataBuf profile(cmyk.data(), static_cast<long>(cmyk.size()));
    image->setIccProfile(profile, false);
    image->writeMetadata();
  }
  Document document;
  ASSERT_TRUE(document.Open(folder / "rgb.jpg"));
  std::vector<std::string> warnings;
  for (const char* name : {"cmyk.tif", "cmyk.jpg"}) {
    ASSERT_EQ(SavePhoto(document.doc, folder / name, 90, &warnings), SaveFailure::kNone);
    EXPECT_TRUE(testphotos::ReadIccProfile(folder / name).empty()) << name;
  }
  ASSERT_EQ(warnings.size(), 2u);
  EXPECT_NE(warnings[0].find("CMYK"), std::string::npos) << warnings[0];
}

// XMP that does not fit a JPEG's segment: the JPEG is written without it and says so; a TIFF
// keeps it whole. A JPEG source's extended XMP is folded into the packet, and its pointer to the
// extension segments goes.
TEST(PhotoFidelity, XmpTooLargeForAJpegIsLeftOutWithAWarningAndExtendedXmpIsFoldedIn) {
  TempFolder folder;
  const UniqueBitmap bitmap = testphotos::PatternBitmap(FIT_BITMAP, 24, kWidth, kHeight);
  testphotos::WriteBitmapFile(bitmap.get(), FIF_TIFF, folder / "large.tif");
  {
    Exiv2::XmpParser::initialize();
    Exiv2::XmpProperties::registerNs("http://ns.adobe.com/xmp/note/", "xmpNote");
    Exiv2::Image::AutoPtr image = Exiv2::ImageFactory::open((folder / "large.tif").string());
    image->readMetadata();
    image->xmpData()["Xmp.dc.description"] = std::string(70000, 'd');
    image->writeMetadata();
  }
  Document document;
  ASSERT_TRUE(document.Open(folder / "large.tif"));
  std::vector<std::string> warnings;
  ASSERT_EQ(SavePhoto(document.doc, folder / "out.jpg", 90, &warnings), SaveFailure::kNone);
  ASSERT_EQ(SavePhoto(document.doc, folder / "out.tif", 90, &warnings), SaveFailure::kNone);
  ASSERT_EQ(warnings.size(), 1u);
  EXPECT_NE(warnings[0].find("does not fit a JPEG"), std::string::npos) << warnings[0];
  const auto description = [&](const char* name) {
    Exiv2::Image::AutoPtr image = Exiv2::ImageFactory::open((folder / name).string());
    image->readMetadata();
    const auto datum = image->xmpData().findKey(Exiv2::XmpKey("Xmp.dc.description"));
    return datum == image->xmpData().end() ? std::string() : datum->toString();
  };
  EXPECT_EQ(description("out.jpg"), "");
  EXPECT_NE(description("out.tif").find(std::string(70000, 'd')), std::string::npos);

  // The same description as extended XMP of a JPEG: the main packet points at it by its GUID.
  const std::string guid(32, 'A');
  std::string extension;
  Exiv2::XmpData extended;
  extended["Xmp.dc.description"] = std::string(70000, 'e');
  Exiv2::XmpParser::encode(extension, extended, Exiv2::XmpParser::omitPacketWrapper);
  testphotos::WriteBitmapFile(bitmap.get(), FIF_JPEG, folder / "extended.jpg");
  {
    Exiv2::Image::AutoPtr image = Exiv2::ImageFactory::open((folder / "extended.jpg").string());
    image->readMetadata();
    image->xmpData()["Xmp.xmpNote.HasExtendedXMP"] = guid;
    image->xmpData()["Xmp.dc.creator"] = "main packet";
    image->writeMetadata();
  }
  std::string jpeg = Text(testphotos::ReadBytes(folder / "extended.jpg"));
  std::string segments;
  constexpr size_t kPart = 60000;
  for (size_t offset = 0; offset < extension.size(); offset += kPart) {
    const std::string part = extension.substr(offset, kPart);
    const std::string payload = std::string("http://ns.adobe.com/xmp/extension/\0", 35) + guid +
                                testphotos::BigEndian32(static_cast<uint32_t>(extension.size())) +
                                testphotos::BigEndian32(static_cast<uint32_t>(offset)) + part;
    const auto length = static_cast<uint16_t>(payload.size() + 2);
    segments += std::string("\xFF\xE1") + static_cast<char>(length >> 8) +
                static_cast<char>(length & 0xFF) + payload;
  }
  jpeg.insert(2, segments);
  testphotos::WriteBytes(folder / "extended.jpg", jpeg);
  Document source;
  ASSERT_TRUE(source.Open(folder / "extended.jpg"));
  warnings.clear();
  ASSERT_EQ(SavePhoto(source.doc, folder / "from-extended.tif", 90, &warnings), SaveFailure::kNone);
  ASSERT_EQ(SavePhoto(source.doc, folder / "from-extended.jpg", 90, &warnings), SaveFailure::kNone);
  EXPECT_NE(description("from-extended.tif").find(std::string(70000, 'e')), std::string::npos);
  EXPECT_EQ(description("from-extended.jpg"), "");
  for (const char* name : {"from-extended.tif", "from-extended.jpg"}) {
    Exiv2::Image::AutoPtr image = Exiv2::ImageFactory::open((folder / name).string());
    image->readMetadata();
    const Exiv2::XmpData& xmp = image->xmpData();
    EXPECT_EQ(xmp.findKey(Exiv2::XmpKey("Xmp.xmpNote.HasExtendedXMP")), xmp.end()) << name;
    EXPECT_NE(xmp.findKey(Exiv2::XmpKey("Xmp.dc.creator")), xmp.end()) << name;
  }
  ASSERT_EQ(warnings.size(), 1u);
  EXPECT_NE(warnings[0].find("extended XMP"), std::string::npos) << warnings[0];
}

}  // namespace
