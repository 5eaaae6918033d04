#include "picture/metadata_copy.h"

#include <exiv2/exiv2.hpp>
#include <string>

#include "picture/library_messages.h"

namespace {

void ReportExiv2Message(int, const char* message) {
  ReportLibraryMessage("Exiv2", message ? message : "");
}

void UseExiv2() {
  static const bool configured = [] {
    Exiv2::LogMsg::setHandler(ReportExiv2Message);
    Exiv2::LogMsg::setLevel(Exiv2::LogMsg::warn);
    Exiv2::XmpParser::initialize();
    return true;
  }();
  static_cast<void>(configured);
}

Exiv2::Image::AutoPtr OpenWithMetadata(const std::filesystem::path& path) {
  Exiv2::Image::AutoPtr image = Exiv2::ImageFactory::open(path.string());
  image->readMetadata();
  return image;
}

bool HasMetadata(Exiv2::Image& image) {
  return !image.exifData().empty() || !image.xmpData().empty() || !image.xmpPacket().empty() ||
         !image.iptcData().empty() || image.iccProfileDefined();
}

bool HoldsMetadata(Exiv2::Image& image) {
  return (Exiv2::ImageFactory::checkMode(image.imageType(), Exiv2::mdExif) & Exiv2::amWrite) != 0;
}

template <typename Data, typename Key>
void SetWherePresent(Data& data, const char* key, int32_t value) {
  const auto found = data.findKey(Key(key));
  if (found != data.end()) *found = static_cast<uint32_t>(value);
}

void DescribeWrittenPixels(Exiv2::ExifData& exif, int32_t width, int32_t height) {
  Exiv2::ExifThumb(exif).erase();
  SetWherePresent<Exiv2::ExifData, Exiv2::ExifKey>(exif, "Exif.Photo.PixelXDimension", width);
  SetWherePresent<Exiv2::ExifData, Exiv2::ExifKey>(exif, "Exif.Photo.PixelYDimension", height);
  SetWherePresent<Exiv2::ExifData, Exiv2::ExifKey>(exif, "Exif.Image.ImageWidth", width);
  SetWherePresent<Exiv2::ExifData, Exiv2::ExifKey>(exif, "Exif.Image.ImageLength", height);
}

void DescribeWrittenPixels(Exiv2::XmpData& xmp, int32_t width, int32_t height) {
  for (auto datum = xmp.begin(); datum != xmp.end();) {
    datum = datum->key().rfind("Xmp.xmp.Thumbnails", 0) == 0 ? xmp.erase(datum) : datum + 1;
  }
  SetWherePresent<Exiv2::XmpData, Exiv2::XmpKey>(xmp, "Xmp.exif.PixelXDimension", width);
  SetWherePresent<Exiv2::XmpData, Exiv2::XmpKey>(xmp, "Xmp.exif.PixelYDimension", height);
  SetWherePresent<Exiv2::XmpData, Exiv2::XmpKey>(xmp, "Xmp.tiff.ImageWidth", width);
  SetWherePresent<Exiv2::XmpData, Exiv2::XmpKey>(xmp, "Xmp.tiff.ImageLength", height);
}

// An XMP packet that Exiv2 could not parse is carried over as it is.
void CopyXmp(Exiv2::Image& source, Exiv2::Image& target, int32_t width, int32_t height) {
  if (source.xmpData().empty() && !source.xmpPacket().empty()) {
    target.setXmpPacket(source.xmpPacket());
    target.writeXmpFromPacket(true);
    return;
  }
  Exiv2::XmpData xmp = source.xmpData();
  DescribeWrittenPixels(xmp, width, height);
  target.setXmpData(xmp);
  target.writeXmpFromPacket(false);
}

void CopyIccProfile(Exiv2::Image& source, Exiv2::Image& target) {
  if (!source.iccProfileDefined()) return;
  const Exiv2::DataBuf* profile = source.iccProfile();
  Exiv2::DataBuf copy(profile->pData_, profile->size_);
  target.setIccProfile(copy, false);
}

bool WriteMetadata(Exiv2::Image& source, const std::filesystem::path& targetPath, int32_t width,
                   int32_t height) {
  try {
    Exiv2::Image::AutoPtr target = OpenWithMetadata(targetPath);
    if (!HoldsMetadata(*target)) return false;
    Exiv2::ExifData exif = source.exifData();
    DescribeWrittenPixels(exif, width, height);
    target->setExifData(exif);
    CopyXmp(source, *target, width, height);
    target->setIptcData(source.iptcData());
    CopyIccProfile(source, *target);
    target->writeMetadata();
    return false;
  } catch (const Exiv2::AnyError& error) {
    ReportLibraryMessage("Exiv2", error.what());
    return true;
  }
}

}  // namespace

bool CopyMetadata(const std::filesystem::path& source, const std::filesystem::path& target,
                  int32_t width, int32_t height) {
  UseExiv2();
  Exiv2::Image::AutoPtr sourceImage;
  try {
    sourceImage = OpenWithMetadata(source);
  } catch (const Exiv2::AnyError& error) {
    ReportLibraryMessage("Exiv2", error.what());
    return false;
  }
  if (!HasMetadata(*sourceImage)) return false;
  return WriteMetadata(*sourceImage, target, width, height);
}
