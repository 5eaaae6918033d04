#include "picture/source_metadata.h"

#include <algorithm>
#include <string_view>
#include <utility>

#include "picture/exif_guard.h"
#include "picture/exiv2_library.h"
#include "picture/library_messages.h"
#include "picture/photo_decoder.h"

namespace {

constexpr std::string_view kExtendedXmpMark("http://ns.adobe.com/xmp/extension/\0", 35);
constexpr size_t kExtendedXmpGuidLength = 32;
constexpr size_t kExtendedXmpHeader = kExtendedXmpMark.size() + kExtendedXmpGuidLength + 8;
constexpr char kHasExtendedXmp[] = "Xmp.xmpNote.HasExtendedXMP";
constexpr std::string_view kPngSignature("\x89PNG\r\n\x1a\n", 8);

uint32_t BigEndian32(std::string_view bytes) {
  uint32_t value = 0;
  for (size_t i = 0; i < 4; ++i) value = (value << 8) | static_cast<uint8_t>(bytes[i]);
  return value;
}

void ReadWithExiv2(const PhotoFile& file, SourceMetadata& metadata) {
  UseExiv2();
  try {
    Exiv2::Image::AutoPtr image = Exiv2::ImageFactory::open(file.DescriptorPath());
    image->readMetadata();
    metadata.exif = image->exifData();
    metadata.xmp = image->xmpData();
    metadata.xmpPacket = image->xmpPacket();
    metadata.iptc = image->iptcData();
    if (image->iccProfileDefined()) {
      const Exiv2::DataBuf* profile = image->iccProfile();
      metadata.iccProfile.assign(reinterpret_cast<const char*>(profile->pData_),
                                 static_cast<size_t>(profile->size_));
    }
    metadata.readable = true;
  } catch (const Exiv2::AnyError& error) {
    ReportLibraryMessage("Exiv2", error.what());
  }
}

// A JPEG's extended XMP: APP1 segments that each carry a part of one further packet at an offset.
// The packet's properties join the main packet's, and the pointer to the extension goes: it would
// point at segments the saved file no longer has.
void FoldInExtendedXmp(const PhotoFile& file, SourceMetadata& metadata) {
  const std::string head = ReadJpegHead(file);
  std::string extension;
  VisitJpegSegments(head, [&](size_t, uint8_t marker, std::string_view payload) {
    if (marker != 0xE1 || payload.size() < kExtendedXmpHeader ||
        payload.substr(0, kExtendedXmpMark.size()) != kExtendedXmpMark) {
      return;
    }
    const std::string_view numbers =
        payload.substr(kExtendedXmpMark.size() + kExtendedXmpGuidLength);
    const uint32_t total = BigEndian32(numbers);
    const uint32_t offset = BigEndian32(numbers.substr(4));
    const std::string_view part = payload.substr(kExtendedXmpHeader);
    if (total > head.size() || offset > total || part.size() > total - offset) return;
    if (extension.size() != total) extension.assign(total, ' ');
    extension.replace(offset, part.size(), part);
  });
  if (extension.empty()) return;
  Exiv2::XmpData extended;
  if (Exiv2::XmpParser::decode(extended, extension) != 0) return;
  for (const Exiv2::Xmpdatum& datum : extended) {
    if (metadata.xmp.findKey(Exiv2::XmpKey(datum.key())) != metadata.xmp.end()) continue;
    metadata.xmp.add(datum);
    metadata.extendedXmpKeys.insert(datum.key());
  }
  const auto pointer = metadata.xmp.findKey(Exiv2::XmpKey(kHasExtendedXmp));
  if (pointer != metadata.xmp.end()) metadata.xmp.erase(pointer);
}

// gAMA, cHRM and sRGB, which come before the image data, and the name of the ICC profile.
void ReadPngColourChunks(const PhotoFile& file, SourceMetadata& metadata) {
  if (file.ReadString(0, kPngSignature.size()) != kPngSignature) return;
  constexpr uint32_t kMaxColourChunk = 64;
  uint64_t at = kPngSignature.size();
  while (true) {
    const std::string header = file.ReadString(at, 8);
    if (header.size() < 8) return;
    const uint32_t length = BigEndian32(header);
    const std::string type = header.substr(4);
    if (type == "IDAT" || type == "IEND") return;
    if ((type == "gAMA" || type == "cHRM" || type == "sRGB") && length <= kMaxColourChunk) {
      metadata.pngColourChunks.push_back(type + file.ReadString(at + 8, length));
    }
    if (type == "iCCP") {
      // The name: 1 to 79 Latin-1 characters ended by a zero byte.
      const std::string name = file.ReadString(at + 8, std::min<uint32_t>(length, 80));
      metadata.pngProfileName = name.substr(0, name.find('\0'));
    }
    at += uint64_t{12} + length;
  }
}

UniqueBitmap FreeImageMetadataOf(FIBITMAP* bitmap, std::string& iccProfile) {
  UniqueBitmap holder(FreeImage_Allocate(1, 1, 24));
  if (holder) FreeImage_CloneMetadata(holder.get(), bitmap);
  const FIICCPROFILE* profile = FreeImage_GetICCProfile(bitmap);
  if (iccProfile.empty() && profile != nullptr && profile->data != nullptr && profile->size > 0) {
    iccProfile.assign(static_cast<const char*>(profile->data), profile->size);
  }
  return holder;
}

}  // namespace

std::shared_ptr<const SourceMetadata> ReadSourceMetadata(const PhotoFile& file, FIBITMAP* bitmap) {
  auto metadata = std::make_shared<SourceMetadata>();
  ReadWithExiv2(file, *metadata);
  if (metadata->readable) {
    try {
      FoldInExtendedXmp(file, *metadata);
    } catch (const Exiv2::AnyError& error) {
      ReportLibraryMessage("Exiv2", error.what());
    }
  }
  ReadPngColourChunks(file, *metadata);
  metadata->freeImageMetadata = FreeImageMetadataOf(bitmap, metadata->iccProfile);
  return metadata;
}

std::string IccColourSpace(const std::string& profile) {
  constexpr size_t kColourSpaceAt = 16;
  return profile.size() < kColourSpaceAt + 4 ? std::string() : profile.substr(kColourSpaceAt, 4);
}
