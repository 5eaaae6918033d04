#include "picture/exif_guard.h"

#include <cstdint>
#include <utility>
#include <vector>

namespace {

constexpr std::string_view kExifMark("Exif\0\0", 6);
constexpr uint16_t kExifIfdTag = 0x8769;
constexpr uint16_t kGpsIfdTag = 0x8825;
constexpr uint16_t kInteropIfdTag = 0xA005;
constexpr uint16_t kThumbnailOffsetTag = 0x0201;
constexpr uint16_t kThumbnailLengthTag = 0x0202;
constexpr uint16_t kMakerNoteTag = 0x927C;
// A private tag number no reader interprets: a maker note renamed to it is kept as plain bytes.
constexpr uint16_t kInertTag = 0xFFFE;
// Directories reached through pointers: more than a sound record ever has, few enough to stop a
// record whose pointers go round in circles.
constexpr int kMaxDirectories = 8;
constexpr size_t kTiffHeaderSize = 8;
constexpr size_t kEntrySize = 12;

class RecordReader {
 public:
  explicit RecordReader(std::string_view record)
      : record_(record), littleEndian_(record.substr(0, 2) == "II") {}

  bool Holds(uint64_t offset, uint64_t size) const {
    return offset <= record_.size() && size <= record_.size() - offset;
  }
  uint32_t U16(size_t at) const { return Bytes(at, 2); }
  uint32_t U32(size_t at) const { return Bytes(at, 4); }

 private:
  uint32_t Bytes(size_t at, int count) const {
    uint32_t value = 0;
    for (int i = 0; i < count; ++i) {
      const auto byte = static_cast<uint8_t>(record_[at + (littleEndian_ ? count - 1 - i : i)]);
      value = (value << 8) | byte;
    }
    return value;
  }

  std::string_view record_;
  bool littleEndian_;
};

// Bytes per value of the TIFF field types 1 to 12; 0 for types FreeImage does not read.
uint64_t TypeSize(uint32_t type) {
  constexpr uint8_t kSizes[] = {0, 1, 1, 2, 4, 8, 1, 1, 2, 4, 8, 4, 8};
  return type < sizeof kSizes ? kSizes[type] : 0;
}

// Whether libjpeg reads a length after this marker. It reads none after a restart marker, TEM or a
// stuffed zero, and none after an unknown marker either: libjpeg calls that an error, but
// FreeImage's error handler lets it go on, so the marker is passed over as two bytes and the next
// segment is read right after it.
bool HasLength(uint8_t marker) {
  return (marker >= 0xC0 && marker <= 0xCF) || (marker >= 0xDB && marker <= 0xDD) ||
         (marker >= 0xE0 && marker <= 0xEF) || marker == 0xFE;
}

bool IsSubDirectory(uint32_t tag) {
  return tag == kExifIfdTag || tag == kGpsIfdTag || tag == kInteropIfdTag;
}

class DirectoryWalk {
 public:
  explicit DirectoryWalk(std::string_view record) : reader_(record) {}

  // A directory at `offset` with every value inside the record; `chain` follows its successor.
  bool Sound(uint64_t offset, bool chain) {
    if (++directories_ > kMaxDirectories || offset < kTiffHeaderSize || !reader_.Holds(offset, 2)) {
      return false;
    }
    const uint32_t count = reader_.U16(offset);
    const uint64_t entries = offset + 2;
    if (!reader_.Holds(entries, uint64_t{count} * kEntrySize + 4)) return false;
    for (uint32_t i = 0; i < count; ++i) {
      if (!SoundEntry(entries + uint64_t{i} * kEntrySize)) return false;
    }
    const uint32_t next = reader_.U32(entries + uint64_t{count} * kEntrySize);
    return !chain || next == 0 || Sound(next, false);
  }

  // Where the entries of the maker notes start, in the order they were met.
  const std::vector<uint64_t>& MakerNotes() const { return makerNotes_; }

  // The embedded thumbnail, which FreeImage copies out by its offset and length.
  bool SoundThumbnail() const { return reader_.Holds(thumbnailOffset_, thumbnailLength_); }

 private:
  bool SoundEntry(uint64_t at) {
    const uint32_t tag = reader_.U16(at);
    const uint64_t bytes = TypeSize(reader_.U16(at + 2)) * reader_.U32(at + 4);
    const uint32_t value = reader_.U32(at + 8);
    if (bytes > 4 && !reader_.Holds(value, bytes)) return false;
    if (tag == kMakerNoteTag) makerNotes_.push_back(at);
    if (tag == kThumbnailOffsetTag) thumbnailOffset_ = value;
    if (tag == kThumbnailLengthTag) thumbnailLength_ = value;
    return !IsSubDirectory(tag) || Sound(value, false);
  }

  RecordReader reader_;
  int directories_ = 0;
  uint64_t thumbnailOffset_ = 0;
  uint64_t thumbnailLength_ = 0;
  std::vector<uint64_t> makerNotes_;
};

// Renames every maker note entry of a sound record; false for an unsound record.
bool DefuseRecord(std::string& record, size_t start, size_t size) {
  const std::string_view view = std::string_view(record).substr(start, size);
  if (!IsSoundExifRecord(view)) return false;
  DirectoryWalk walk(view);
  walk.Sound(RecordReader(view).U32(4), true);
  const bool littleEndian = view.substr(0, 2) == "II";
  for (const uint64_t entry : walk.MakerNotes()) {
    record[start + entry] = static_cast<char>(littleEndian ? kInertTag & 0xFF : kInertTag >> 8);
    record[start + entry + 1] = static_cast<char>(littleEndian ? kInertTag >> 8 : kInertTag & 0xFF);
  }
  return true;
}

}  // namespace

bool IsSoundExifRecord(std::string_view record) {
  if (record.size() < kTiffHeaderSize) return false;
  const std::string_view order = record.substr(0, 2);
  if (order != "II" && order != "MM") return false;
  const RecordReader reader(record);
  if (reader.U16(2) != 42) return false;
  DirectoryWalk walk(record);
  return walk.Sound(reader.U32(4), true) && walk.SoundThumbnail();
}

size_t VisitJpegSegments(std::string_view jpeg, const JpegSegmentVisitor& visit) {
  if (jpeg.size() < 4 || static_cast<uint8_t>(jpeg[0]) != 0xFF ||
      static_cast<uint8_t>(jpeg[1]) != 0xD8) {
    return std::string_view::npos;
  }
  size_t at = 2;
  // Segments up to the start of the scan: 0xFF, the marker, a big-endian length that counts itself.
  // Bytes between segments are skipped the way libjpeg skips them, so that every segment it reads
  // is looked at here too.
  while (true) {
    at = jpeg.find('\xFF', at);
    while (at != std::string_view::npos && at + 1 < jpeg.size() &&
           static_cast<uint8_t>(jpeg[at + 1]) == 0xFF) {
      ++at;
    }
    if (at == std::string_view::npos || at + 4 > jpeg.size()) return std::string_view::npos;
    const auto marker = static_cast<uint8_t>(jpeg[at + 1]);
    if (marker == 0xDA) return at;
    if (!HasLength(marker)) {
      at += 2;
      continue;
    }
    const size_t length =
        (size_t{static_cast<uint8_t>(jpeg[at + 2])} << 8) | static_cast<uint8_t>(jpeg[at + 3]);
    if (length < 2 || at + 2 + length > jpeg.size()) return std::string_view::npos;
    visit(at, marker, jpeg.substr(at + 4, length - 2));
    at += 2 + length;
  }
}

std::string WithoutUnsoundExif(std::string jpeg) {
  // Sound records are defused in place; unsound ones are cut out afterwards, last first, so that
  // the offsets of the others stay valid.
  std::vector<std::pair<size_t, size_t>> unsound;
  VisitJpegSegments(jpeg, [&](size_t at, uint8_t marker, std::string_view payload) {
    if (marker != 0xE1 || payload.substr(0, kExifMark.size()) != kExifMark) return;
    if (!DefuseRecord(jpeg, at + 4 + kExifMark.size(), payload.size() - kExifMark.size())) {
      unsound.emplace_back(at, 4 + payload.size());
    }
  });
  for (auto segment = unsound.rbegin(); segment != unsound.rend(); ++segment) {
    jpeg.erase(segment->first, segment->second);
  }
  return jpeg;
}
