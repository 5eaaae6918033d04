#include "picture/metadata_copy.h"

#include <zlib.h>

#include <fstream>
#include <iterator>
#include <set>
#include <string_view>

#include "picture/exiv2_library.h"
#include "picture/library_messages.h"

namespace {

// A JPEG segment holds 65535 bytes, less its length field and the XMP namespace mark.
constexpr size_t kMaxJpegXmpPacket = 65535 - 2 - 29;

template <typename Data, typename Key>
void SetWherePresent(Data& data, const char* key, int32_t value) {
  const auto found = data.findKey(Key(key));
  if (found != data.end()) *found = static_cast<uint32_t>(value);
}

void DescribeWrittenPixels(Exiv2::ExifData& exif, const WrittenPixels& pixels) {
  Exiv2::ExifThumb(exif).erase();
  SetWherePresent<Exiv2::ExifData, Exiv2::ExifKey>(exif, "Exif.Photo.PixelXDimension",
                                                   pixels.width);
  SetWherePresent<Exiv2::ExifData, Exiv2::ExifKey>(exif, "Exif.Photo.PixelYDimension",
                                                   pixels.height);
  SetWherePresent<Exiv2::ExifData, Exiv2::ExifKey>(exif, "Exif.Image.ImageWidth", pixels.width);
  SetWherePresent<Exiv2::ExifData, Exiv2::ExifKey>(exif, "Exif.Image.ImageLength", pixels.height);
}

void DescribeWrittenPixels(Exiv2::XmpData& xmp, const WrittenPixels& pixels) {
  for (auto datum = xmp.begin(); datum != xmp.end();) {
    datum = datum->key().rfind("Xmp.xmp.Thumbnails", 0) == 0 ? xmp.erase(datum) : datum + 1;
  }
  SetWherePresent<Exiv2::XmpData, Exiv2::XmpKey>(xmp, "Xmp.exif.PixelXDimension", pixels.width);
  SetWherePresent<Exiv2::XmpData, Exiv2::XmpKey>(xmp, "Xmp.exif.PixelYDimension", pixels.height);
  SetWherePresent<Exiv2::XmpData, Exiv2::XmpKey>(xmp, "Xmp.tiff.ImageWidth", pixels.width);
  SetWherePresent<Exiv2::XmpData, Exiv2::XmpKey>(xmp, "Xmp.tiff.ImageLength", pixels.height);
}

bool HoldsMetadata(Exiv2::Image& image) {
  return (Exiv2::ImageFactory::checkMode(image.imageType(), Exiv2::mdExif) & Exiv2::amWrite) != 0;
}

// The size of the packet Exiv2 writes for `xmp` (compact, without padding).
size_t EncodedSize(const Exiv2::XmpData& xmp) {
  std::string packet;
  Exiv2::XmpParser::encode(
      packet, xmp, Exiv2::XmpParser::useCompactFormat | Exiv2::XmpParser::omitAllFormatting);
  return packet.size();
}

void DropExtendedXmp(Exiv2::XmpData& xmp, const SourceMetadata& source) {
  for (auto datum = xmp.begin(); datum != xmp.end();) {
    datum = source.extendedXmpKeys.count(datum->key()) != 0 ? xmp.erase(datum) : datum + 1;
  }
}

// The stamp's properties over `xmp`, in place of everything `xmp` held in their namespaces.
void SetStamp(Exiv2::XmpData& xmp, const Exiv2::XmpData& stamp) {
  std::set<std::string> groups;
  for (const Exiv2::Xmpdatum& datum : stamp) groups.insert(datum.groupName());
  for (auto datum = xmp.begin(); datum != xmp.end();) {
    datum = groups.count(datum->groupName()) != 0 ? xmp.erase(datum) : datum + 1;
  }
  for (const Exiv2::Xmpdatum& datum : stamp) xmp.add(datum);
}

// The XMP of the target. A JPEG holds one segment of it: what does not fit is left out and said.
void CopyXmp(const SourceMetadata& source, Exiv2::Image& target, const WrittenPixels& pixels,
             const Exiv2::XmpData* stamp, std::vector<std::string>& warnings) {
  const bool jpeg = target.imageType() == Exiv2::ImageType::jpeg;
  if (source.xmp.empty() && !source.xmpPacket.empty()) {
    // A packet that Exiv2 could not parse is carried over as it is.
    if (jpeg && source.xmpPacket.size() > kMaxJpegXmpPacket) {
      warnings.push_back("the XMP packet of " + std::to_string(source.xmpPacket.size()) +
                         " bytes does not fit a JPEG and was left out");
      return;
    }
    target.setXmpPacket(source.xmpPacket);
    target.writeXmpFromPacket(true);
    return;
  }
  Exiv2::XmpData xmp = source.xmp;
  DescribeWrittenPixels(xmp, pixels);
  if (jpeg && EncodedSize(xmp) > kMaxJpegXmpPacket && !source.extendedXmpKeys.empty()) {
    DropExtendedXmp(xmp, source);
    warnings.push_back("the extended XMP does not fit a JPEG and was left out");
  }
  if (jpeg && EncodedSize(xmp) > kMaxJpegXmpPacket) {
    warnings.push_back("the XMP packet of " + std::to_string(EncodedSize(xmp)) +
                       " bytes does not fit a JPEG and was left out");
    xmp.clear();
  }
  if (stamp != nullptr) SetStamp(xmp, *stamp);
  target.setXmpData(xmp);
  target.writeXmpFromPacket(false);
}

void CopyIccProfile(const SourceMetadata& source, Exiv2::Image& target, const WrittenPixels& pixels,
                    std::vector<std::string>& warnings) {
  if (source.iccProfile.empty()) return;
  const std::string space = IccColourSpace(source.iccProfile);
  const std::string written = pixels.components == 1 ? "GRAY" : "RGB ";
  if (space != written) {
    warnings.push_back("the ICC profile describes " + (space.empty() ? "no" : space) +
                       " colours, not the written pixels, and was left out");
    target.clearIccProfile();
    return;
  }
  Exiv2::DataBuf copy(reinterpret_cast<const Exiv2::byte*>(source.iccProfile.data()),
                      static_cast<long>(source.iccProfile.size()));
  target.setIccProfile(copy, false);
}

bool WriteWithExiv2(const SourceMetadata& source, const std::filesystem::path& targetPath,
                    const WrittenPixels& pixels, const Exiv2::XmpData* stamp,
                    std::vector<std::string>& warnings) {
  try {
    Exiv2::Image::AutoPtr target = Exiv2::ImageFactory::open(targetPath.string());
    target->readMetadata();
    if (!HoldsMetadata(*target)) return false;
    Exiv2::ExifData exif = source.exif;
    DescribeWrittenPixels(exif, pixels);
    target->setExifData(exif);
    CopyXmp(source, *target, pixels, stamp, warnings);
    target->setIptcData(source.iptc);
    CopyIccProfile(source, *target, pixels, warnings);
    target->writeMetadata();
    return false;
  } catch (const Exiv2::AnyError& error) {
    ReportLibraryMessage("Exiv2", error.what());
    return true;
  }
}

std::string PngChunk(std::string_view type, std::string_view data) {
  std::string chunk;
  const auto length = static_cast<uint32_t>(data.size());
  for (int shift = 24; shift >= 0; shift -= 8) chunk += static_cast<char>(length >> shift);
  chunk += type;
  chunk += data;
  const std::string_view typeAndData = std::string_view(chunk).substr(4);
  const auto crc =
      static_cast<uint32_t>(crc32(0, reinterpret_cast<const Bytef*>(typeAndData.data()),
                                  static_cast<uInt>(typeAndData.size())));
  for (int shift = 24; shift >= 0; shift -= 8) chunk += static_cast<char>(crc >> shift);
  return chunk;
}

// The target's chunks with the source's gAMA, cHRM and sRGB after the header chunk, where the PNG
// standard wants them (before the image data), and a name for an ICC profile that was written
// without one (Exiv2 gives it none, which the standard forbids and other readers refuse). Exiv2
// knows none of the three chunks. Empty when the target is not a PNG as expected.
std::string WithColourDescription(const std::string& png, const SourceMetadata& source) {
  constexpr size_t kSignature = 8;
  std::string out = png.substr(0, kSignature);
  bool header = true;
  for (size_t at = kSignature; at + 12 <= png.size();) {
    const uint32_t length = (uint32_t{static_cast<uint8_t>(png[at])} << 24) |
                            (uint32_t{static_cast<uint8_t>(png[at + 1])} << 16) |
                            (uint32_t{static_cast<uint8_t>(png[at + 2])} << 8) |
                            static_cast<uint8_t>(png[at + 3]);
    if (length > png.size() - at - 12) return {};
    const std::string_view type = std::string_view(png).substr(at + 4, 4);
    const std::string_view data = std::string_view(png).substr(at + 8, length);
    if (type == "iCCP" && !data.empty() && data[0] == '\0') {
      const std::string name =
          source.pngProfileName.empty() ? "ICC profile" : source.pngProfileName;
      out += PngChunk(type, name + std::string(data));
    } else {
      out.append(png, at, 12 + length);
    }
    if (header) {
      if (type != "IHDR") return {};
      for (const std::string& chunk : source.pngColourChunks) {
        out += PngChunk(std::string_view(chunk).substr(0, 4), std::string_view(chunk).substr(4));
      }
      header = false;
    }
    at += 12 + length;
  }
  return out;
}

bool CompletePngColourDescription(const SourceMetadata& source,
                                  const std::filesystem::path& target) {
  std::ifstream in(target, std::ios::binary);
  const std::string png((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (in.bad()) return true;
  const std::string completed = WithColourDescription(png, source);
  if (completed.empty() || completed == png) return false;
  std::ofstream out(target, std::ios::binary | std::ios::trunc);
  out.write(completed.data(), static_cast<std::streamsize>(completed.size()));
  out.flush();
  return !out;
}

bool IsPng(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  char signature[8] = {};
  in.read(signature, sizeof signature);
  return in && std::string_view(signature, sizeof signature) == "\x89PNG\r\n\x1a\n";
}

bool HasExiv2Part(const SourceMetadata& source) {
  return !source.exif.empty() || !source.xmp.empty() || !source.xmpPacket.empty() ||
         !source.iptc.empty() || !source.iccProfile.empty();
}

}  // namespace

bool CopyMetadata(const SourceMetadata& source, const std::filesystem::path& target,
                  const WrittenPixels& pixels, std::vector<std::string>& warnings,
                  const Exiv2::XmpData* stamp) {
  UseExiv2();
  const bool exiv2Part = HasExiv2Part(source) || (stamp != nullptr && !stamp->empty());
  if (exiv2Part && WriteWithExiv2(source, target, pixels, stamp, warnings)) return true;
  const bool colour = !source.pngColourChunks.empty() || !source.iccProfile.empty();
  return colour && IsPng(target) && CompletePngColourDescription(source, target);
}
