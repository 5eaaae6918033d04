#include "support/photo_files.h"

#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <exiv2/exiv2.hpp>
#include <fstream>
#include <iterator>
#include <stdexcept>

#include "picture/photo_loading.h"
#include "platform/notice.h"

namespace testphotos {

namespace fs = std::filesystem;

namespace {

std::atomic<int> folderCount{0};

// FreeImage's PSD writer loses a buffer on every save, which the sanitizer run would report as
// ours: PSD pattern photos are written here instead, as 8-bit RGB planes without compression.
void WritePatternPsd(const fs::path& path, int32_t width, int32_t height) {
  std::string bytes = "8BPS";
  const auto put = [&bytes](uint32_t value, int size) {
    for (int shift = 8 * (size - 1); shift >= 0; shift -= 8)
      bytes += static_cast<char>(value >> shift);
  };
  put(1, 2);              // version
  bytes.append(6, '\0');  // reserved
  put(3, 2);              // channels
  put(static_cast<uint32_t>(height), 4);
  put(static_cast<uint32_t>(width), 4);
  put(8, 2);                                                // bits per channel
  put(3, 2);                                                // RGB
  for (int section = 0; section < 3; ++section) put(0, 4);  // colour table, resources, layers
  put(0, 2);                                                // raw planes
  for (uint32_t channel = 3; channel-- > 0;) {  // R, G, B as the pattern's channels 2, 1, 0
    for (int32_t y = 0; y < height; ++y) {
      for (int32_t x = 0; x < width; ++x)
        bytes += static_cast<char>(PatternValue(x, y, channel, 8));
    }
  }
  std::ofstream(path, std::ios::binary) << bytes;
}

}  // namespace

TempFolder::TempFolder()
    : path_(fs::temp_directory_path() / ("stillgrain-photo-test-" + std::to_string(getpid()) + "-" +
                                         std::to_string(folderCount++))) {
  fs::remove_all(path_);
  fs::create_directories(path_);
}

TempFolder::~TempFolder() {
  std::error_code ignored;
  fs::remove_all(path_, ignored);
}

std::vector<std::string> TempFolder::Entries() const {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(path_)) names.push_back(entry.path().filename());
  std::sort(names.begin(), names.end());
  return names;
}

TemporarySettings::TemporarySettings() {
  const char* previous = std::getenv("XDG_CONFIG_HOME");
  hadPrevious_ = previous != nullptr;
  if (hadPrevious_) previous_ = previous;
  setenv("XDG_CONFIG_HOME", folder_.path().c_str(), 1);
}

TemporarySettings::~TemporarySettings() {
  if (hadPrevious_) {
    setenv("XDG_CONFIG_HOME", previous_.c_str(), 1);
  } else {
    unsetenv("XDG_CONFIG_HOME");
  }
}

NoticeCounter::NoticeCounter() {
  SetNoticeHandler([this](const std::string& title, const std::string& text) {
    ++count_;
    lastTitle_ = title;
    lastText_ = text;
  });
}

NoticeCounter::~NoticeCounter() { SetNoticeHandler(nullptr); }

fs::path TestPhotoFolder() {
  if (const char* folder = std::getenv("STILLGRAIN_TEST_PHOTOS"); folder && *folder) return folder;
  return STILLGRAIN_TEST_PHOTOS_DIR;
}

fs::path TestPhoto(const std::string& name) {
  const fs::path path = TestPhotoFolder() / name;
  std::error_code error;
  return fs::is_regular_file(path, error) ? path : fs::path();
}

uint32_t PatternValue(int32_t x, int32_t y, uint32_t channel, uint32_t bits) {
  const uint32_t value = static_cast<uint32_t>(x) * 1031u + static_cast<uint32_t>(y) * 4099u +
                         channel * 16411u + static_cast<uint32_t>(x * y) * 7u;
  return bits == 8 ? (value ^ (value >> 8)) & 0xFFu : value & 0xFFFFu;
}

UniqueBitmap PatternBitmap(FREE_IMAGE_TYPE type, uint32_t bitsPerPixel, int32_t width,
                           int32_t height) {
  UniqueBitmap bitmap(FreeImage_AllocateT(type, width, height, static_cast<int>(bitsPerPixel)));
  if (!bitmap) throw std::runtime_error("pattern bitmap allocation failed");
  for (int32_t y = 0; y < height; ++y) {
    const auto line = static_cast<unsigned>(height - 1 - y);
    BYTE* scanLine = FreeImage_GetScanLine(bitmap.get(), static_cast<int>(line));
    for (int32_t x = 0; x < width; ++x) {
      const auto value = [&](uint32_t channel, uint32_t bits) {
        return PatternValue(x, y, channel, bits);
      };
      if (type == FIT_UINT16) {
        reinterpret_cast<uint16_t*>(scanLine)[x] = static_cast<uint16_t>(value(0, 16));
      } else if (type == FIT_RGB16) {
        FIRGB16& pixel = reinterpret_cast<FIRGB16*>(scanLine)[x];
        pixel = FIRGB16{static_cast<WORD>(value(0, 16)), static_cast<WORD>(value(1, 16)),
                        static_cast<WORD>(value(2, 16))};
      } else if (type == FIT_RGBA16) {
        FIRGBA16& pixel = reinterpret_cast<FIRGBA16*>(scanLine)[x];
        pixel = FIRGBA16{static_cast<WORD>(value(0, 16)), static_cast<WORD>(value(1, 16)),
                         static_cast<WORD>(value(2, 16)), static_cast<WORD>(value(3, 16))};
      } else if (bitsPerPixel == 8) {
        BYTE index = static_cast<BYTE>(value(0, 8));
        FreeImage_SetPixelIndex(bitmap.get(), x, line, &index);
      } else {
        RGBQUAD colour{static_cast<BYTE>(value(2, 8)), static_cast<BYTE>(value(1, 8)),
                       static_cast<BYTE>(value(0, 8)), static_cast<BYTE>(value(3, 8))};
        FreeImage_SetPixelColor(bitmap.get(), x, line, &colour);
      }
    }
  }
  return bitmap;
}

namespace {

uint32_t SampleAt(const SBxPicBuf& picture, int32_t x, int32_t y, uint32_t component) {
  const size_t index = static_cast<size_t>(x) * picture.components + component;
  return picture.bitsPerComponent == 8 ? PicRow<uint8_t>(picture, y)[index]
                                       : PicRow<uint16_t>(picture, y)[index];
}

}  // namespace

::testing::AssertionResult HoldsPattern(const SBxPicBuf& picture, const SBxPicBuf* alpha,
                                        uint32_t bits) {
  for (int32_t y = 0; y < picture.height; ++y) {
    for (int32_t x = 0; x < picture.width; ++x) {
      for (uint32_t c = 0; c < picture.components; ++c) {
        // Picture components run B, G, R; pattern channels R, G, B.
        const uint32_t channel = picture.components == 1 ? 0 : 2 - c;
        const uint32_t expected = PatternValue(x, y, channel, bits);
        if (SampleAt(picture, x, y, c) != expected) {
          return ::testing::AssertionFailure()
                 << "component " << c << " at (" << x << ", " << y << ") is "
                 << SampleAt(picture, x, y, c) << ", expected " << expected;
        }
      }
      if (alpha && SampleAt(*alpha, x, y, 0) != PatternValue(x, y, 3, bits)) {
        return ::testing::AssertionFailure()
               << "alpha at (" << x << ", " << y << ") is " << SampleAt(*alpha, x, y, 0)
               << ", expected " << PatternValue(x, y, 3, bits);
      }
    }
  }
  return ::testing::AssertionSuccess();
}

void WritePatternPhoto(const std::filesystem::path& path, int32_t width, int32_t height) {
  std::filesystem::create_directories(path.parent_path());
  const FREE_IMAGE_FORMAT format = FreeImage_GetFIFFromFilename(path.c_str());
  if (format == FIF_PSD) return WritePatternPsd(path, width, height);
  const UniqueBitmap bitmap = PatternBitmap(FIT_BITMAP, 24, width, height);
  WriteBitmapFile(bitmap.get(), format, path);
}

void WriteBitmapFile(FIBITMAP* bitmap, FREE_IMAGE_FORMAT format, const fs::path& path, int flags) {
  if (!FreeImage_Save(format, bitmap, path.c_str(), flags)) {
    throw std::runtime_error("FreeImage could not write " + path.string());
  }
}

void WriteExif(const fs::path& path, const std::map<std::string, std::string>& tags) {
  Exiv2::Image::AutoPtr image = Exiv2::ImageFactory::open(path.string());
  image->readMetadata();
  for (const auto& [key, value] : tags) image->exifData()[key] = value;
  image->writeMetadata();
}

std::map<std::string, std::string> ReadExif(const fs::path& path) {
  Exiv2::Image::AutoPtr image = Exiv2::ImageFactory::open(path.string());
  image->readMetadata();
  std::map<std::string, std::string> tags;
  for (const Exiv2::Exifdatum& datum : image->exifData()) tags[datum.key()] = datum.toString();
  return tags;
}

std::string TagText(const std::map<std::string, std::string>& exif, const std::string& key) {
  const auto found = exif.find(key);
  return found == exif.end() ? "(absent)" : found->second;
}

std::vector<uint8_t> ReadIccProfile(const fs::path& path) {
  Exiv2::Image::AutoPtr image = Exiv2::ImageFactory::open(path.string());
  image->readMetadata();
  if (!image->iccProfileDefined()) return {};
  const Exiv2::DataBuf* profile = image->iccProfile();
  return std::vector<uint8_t>(profile->pData_, profile->pData_ + profile->size_);
}

std::shared_ptr<const SourceMetadata> MetadataOf(const std::filesystem::path& path) {
  PhotoDocument document;
  const OpenOptions options{UINT64_MAX, true};
  std::shared_ptr<const SourceMetadata> metadata;
  if (OpenPhotoFile(document, path, options).failure == OpenFailure::kNone) {
    metadata = document.metadata;
  }
  ReleasePhotoDocument(document);
  return metadata;
}

std::string BigEndian32(uint32_t value) {
  return {static_cast<char>(value >> 24), static_cast<char>(value >> 16),
          static_cast<char>(value >> 8), static_cast<char>(value)};
}

std::string PngChunk(const std::string& type, const std::string& data) {
  uint32_t crc = 0xFFFFFFFFu;
  for (const char byte : type + data) {
    crc ^= static_cast<uint8_t>(byte);
    for (int bit = 0; bit < 8; ++bit) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
  }
  return BigEndian32(static_cast<uint32_t>(data.size())) + type + data + BigEndian32(~crc);
}

std::string WithChunkAfterHeader(const std::string& png, const std::string& chunk) {
  constexpr size_t kSignatureAndHeader = 8 + 12 + 13;
  return png.substr(0, kSignatureAndHeader) + chunk + png.substr(kSignatureAndHeader);
}

std::vector<uint8_t> SmallIccProfile() {
  std::vector<uint8_t> profile(132, 0);
  const auto putBigEndian = [&](size_t at, uint32_t value) {
    for (int i = 0; i < 4; ++i) profile[at + i] = static_cast<uint8_t>(value >> (24 - 8 * i));
  };
  const auto putText = [&](size_t at, const char* text) {
    for (int i = 0; i < 4; ++i) profile[at + i] = static_cast<uint8_t>(text[i]);
  };
  putBigEndian(0, static_cast<uint32_t>(profile.size()));
  putBigEndian(8, 0x02100000);  // version 2.1
  putText(12, "mntr");
  putText(16, "RGB ");
  putText(20, "XYZ ");
  putText(36, "acsp");
  putBigEndian(68, 0x0000F6D6);  // PCS illuminant D50 (X, Y, Z as s15Fixed16), which libpng checks
  putBigEndian(72, 0x00010000);
  putBigEndian(76, 0x0000D32D);
  putText(80, "stgr");                                                          // creator
  for (size_t i = 84; i < 100; ++i) profile[i] = static_cast<uint8_t>(i * 37);  // profile id
  return profile;  // bytes 128 to 131: a tag count of zero
}

std::vector<uint8_t> ReadBytes(const fs::path& path) {
  std::ifstream file(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(file), {});
}

void WriteBytes(const fs::path& path, const std::string& bytes) {
  std::ofstream file(path, std::ios::binary);
  file << bytes;
}

}  // namespace testphotos

void PrintTo(const ExifSummary& summary, std::ostream* out) {
  *out << "{fNumber \"" << summary.fNumber << "\", exposure \"" << summary.exposure
       << "\", dimensions \"" << summary.dimensions << "\", iso \"" << summary.iso << "\", make \""
       << summary.make << "\", model \"" << summary.model << "\", captured \"" << summary.captured
       << "\"}";
}
