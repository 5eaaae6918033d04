#include "picture/photo_decoder.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <optional>
#include <string_view>
#include <vector>

#include "picture/exif_guard.h"
#include "picture/library_messages.h"

namespace {

// What a header may take to read: every segment, directory and profile before the pixels.
constexpr uint64_t kHeaderBudget = uint64_t{64} << 20;
// Room for metadata beside the pixels (profiles, previews, maker notes) when the pixels are read.
constexpr uint64_t kMetadataAllowance = uint64_t{64} << 20;
// The most a file can be compressed: deflate gives at most about 1032 to 1, JPEG of a flat photo
// some hundreds to 1. A file smaller than its uncompressed size by more than this cannot hold its
// pixels.
constexpr uint64_t kMaxCompressionRatio = 4096;
// How much of a JPEG is read at first to find where its scan begins.
constexpr size_t kJpegHeadStep = size_t{256} << 10;

// The bytes FreeImage decodes: the file as it is, or, for a JPEG, the segments before its scan
// replaced by a guarded copy and the rest read from the file. Reads are counted against a budget;
// a read that finds nothing left, or no budget, marks the stream as cut short.
class PhotoStream {
 public:
  PhotoStream(const PhotoFile& file, std::string head, uint64_t headLength)
      : file_(file), head_(std::move(head)), headLength_(headLength) {}

  // Loads with FreeImage from the stream's start, reading at most `budget` bytes.
  UniqueBitmap Load(FREE_IMAGE_FORMAT format, int flags, uint64_t budget) {
    Rewind(budget);
    FreeImageIO io = Io();
    return UniqueBitmap(FreeImage_LoadFromHandle(format, &io, this, flags));
  }

  // The number of pages of a multi-page file, 1 when it cannot be told.
  uint32_t Pages(FREE_IMAGE_FORMAT format) {
    Rewind(kHeaderBudget);
    FreeImageIO io = Io();
    FIMULTIBITMAP* pages = FreeImage_OpenMultiBitmapFromHandle(format, &io, this, 0);
    if (pages == nullptr) return 1;
    const int count = FreeImage_GetPageCount(pages);
    FreeImage_CloseMultiBitmap(pages, 0);
    return count > 1 ? static_cast<uint32_t>(count) : 1;
  }

  FREE_IMAGE_FORMAT ContentFormat() {
    Rewind(kHeaderBudget);
    FreeImageIO io = Io();
    return FreeImage_GetFileTypeFromHandle(&io, this, 0);
  }

  bool CutShort() const { return cutShort_; }
  bool OverBudget() const { return overBudget_; }

 private:
  void Rewind(uint64_t budget) {
    position_ = 0;
    budget_ = budget;
    cutShort_ = false;
    overBudget_ = false;
  }

  uint64_t Size() const { return head_.size() + (file_.size() - headLength_); }

  size_t Read(char* buffer, size_t count) {
    if (count > budget_) {
      // Only a budget that holds back bytes the stream still has is a limit that was reached.
      const uint64_t left = position_ < Size() ? Size() - position_ : 0;
      overBudget_ = overBudget_ || left > budget_;
      count = static_cast<size_t>(budget_);
    }
    size_t done = 0;
    if (position_ < head_.size()) {
      done = std::min<size_t>(count, head_.size() - position_);
      std::memcpy(buffer, head_.data() + position_, done);
    }
    if (done < count && position_ + done >= head_.size()) {
      const uint64_t fileOffset = headLength_ + (position_ + done - head_.size());
      done += file_.ReadAt(fileOffset, buffer + done, count - done);
    }
    if (done == 0 && count > 0) cutShort_ = true;
    position_ += done;
    budget_ -= done;
    return done;
  }

  static unsigned DLL_CALLCONV ReadProc(void* buffer, unsigned size, unsigned count,
                                        fi_handle handle) {
    if (size == 0) return 0;
    auto* stream = static_cast<PhotoStream*>(handle);
    const size_t bytes = stream->Read(static_cast<char*>(buffer), size_t{size} * count);
    return static_cast<unsigned>(bytes / size);
  }
  static unsigned DLL_CALLCONV WriteProc(void*, unsigned, unsigned, fi_handle) { return 0; }
  static int DLL_CALLCONV SeekProc(fi_handle handle, long offset, int origin) {
    auto* stream = static_cast<PhotoStream*>(handle);
    const auto base = static_cast<int64_t>(origin == SEEK_CUR   ? stream->position_
                                           : origin == SEEK_END ? stream->Size()
                                                                : 0);
    if (base + offset < 0) return -1;
    stream->position_ = static_cast<uint64_t>(base + offset);
    return 0;
  }
  static long DLL_CALLCONV TellProc(fi_handle handle) {
    return static_cast<long>(static_cast<PhotoStream*>(handle)->position_);
  }
  static FreeImageIO Io() { return FreeImageIO{ReadProc, WriteProc, SeekProc, TellProc}; }

  const PhotoFile& file_;
  std::string head_;
  uint64_t headLength_;
  uint64_t position_ = 0;
  uint64_t budget_ = 0;
  bool cutShort_ = false;
  bool overBudget_ = false;
};

// Unsound EXIF records taken out of the segments before the scan (or, when no scan is found, of
// every whole segment within the header budget).
PhotoStream JpegStream(const PhotoFile& file) {
  std::string head = ReadJpegHead(file);
  if (head.empty()) return PhotoStream(file, {}, 0);
  const uint64_t length = head.size();
  return PhotoStream(file, WithoutUnsoundExif(std::move(head)), length);
}

PhotoStream StreamFor(const PhotoFile& file, FREE_IMAGE_FORMAT format) {
  return format == FIF_JPEG ? JpegStream(file) : PhotoStream(file, {}, 0);
}

int LoadFlags(FREE_IMAGE_FORMAT format) {
  switch (format) {
    case FIF_JPEG:
      return JPEG_ACCURATE;
    case FIF_PNG:
      return PNG_IGNOREGAMMA;
    default:
      return 0;
  }
}

bool Mentions(const std::string& message, std::string_view text) {
  return message.find(text) != std::string::npos;
}

// The decoders' words for data that is missing or corrupt. libjpeg's "extraneous bytes before
// marker" is left out: the bytes are skipped and the picture is whole.
std::optional<std::string> CorruptDataMessage(const std::vector<std::string>& messages) {
  for (const std::string& message : messages) {
    const bool corrupt =
        Mentions(message, "Premature end") ||
        (Mentions(message, "Corrupt JPEG data") && !Mentions(message, "extraneous bytes")) ||
        Mentions(message, "Image may be incomplete") || Mentions(message, "Read error");
    if (corrupt) return message;
  }
  return std::nullopt;
}

bool MentionsAllocationFailure(const std::vector<std::string>& messages) {
  return std::any_of(messages.begin(), messages.end(), [](const std::string& message) {
    return Mentions(message, "allocation failed") || Mentions(message, "lack of memory");
  });
}

uint64_t UncompressedBytes(FIBITMAP* bitmap) {
  return uint64_t{FreeImage_GetWidth(bitmap)} * FreeImage_GetHeight(bitmap) *
         FreeImage_GetBPP(bitmap) / 8;
}

std::string Dimensions(FIBITMAP* bitmap) {
  return std::to_string(FreeImage_GetWidth(bitmap)) + " x " +
         std::to_string(FreeImage_GetHeight(bitmap));
}

// What the header says, checked before any pixel is allocated. `budget` becomes what the pixels
// may read.
OpenFailure CheckHeader(PhotoStream& stream, const PhotoFile& file, FREE_IMAGE_FORMAT format,
                        const DecodeLimits& limits, DecodedPhoto& decoded, uint64_t& budget) {
  // Without a header to go by, the file's own size is the only bound.
  budget = std::numeric_limits<uint64_t>::max();
  if (!FreeImage_FIFSupportsNoPixels(format)) return OpenFailure::kNone;
  const UniqueBitmap header =
      stream.Load(format, LoadFlags(format) | FIF_LOAD_NOPIXELS, kHeaderBudget);
  if (!header) return OpenFailure::kUnreadable;
  if (!FitsPhotoLimits(header.get(), limits.maxPixels)) return OpenFailure::kTooLarge;
  const uint64_t raw = UncompressedBytes(header.get());
  budget = 2 * raw + kMetadataAllowance;
  if (file.size() * kMaxCompressionRatio < raw) {
    decoded.damage = "the file's " + std::to_string(file.size()) + " bytes cannot hold " +
                     Dimensions(header.get()) + " pixels";
    if (!limits.acceptDamaged) return OpenFailure::kDamaged;
  }
  return OpenFailure::kNone;
}

// What went wrong while the pixels were read, if anything.
std::string DamageOf(const PhotoStream& stream, const std::vector<std::string>& messages) {
  const std::optional<std::string> corrupt = CorruptDataMessage(messages);
  const std::string said = corrupt ? " (" + *corrupt + ")" : std::string();
  if (stream.OverBudget()) return "the data goes on beyond what its pixels can need" + said;
  if (stream.CutShort()) return "the file ends before all of its pixel data" + said;
  if (corrupt) return "corrupt data: " + *corrupt;
  return {};
}

}  // namespace

std::string ReadJpegHead(const PhotoFile& file) {
  if (file.ReadString(0, 2) != "\xFF\xD8") return {};
  for (size_t length = kJpegHeadStep;; length *= 2) {
    std::string head = file.ReadString(0, length);
    const size_t scan = VisitJpegSegments(head, [](size_t, uint8_t, std::string_view) {});
    if (scan != std::string_view::npos) return head.substr(0, scan);
    // No scan where the segments say it should be: libjpeg may still find one its own way, so
    // every whole segment read so far goes through the guard.
    if (head.size() < length || length >= kHeaderBudget) return head;
  }
}

FREE_IMAGE_FORMAT PhotoFormat(const PhotoFile& file, const std::filesystem::path& name) {
  UseFreeImage();
  PhotoStream stream(file, {}, 0);
  FREE_IMAGE_FORMAT format = stream.ContentFormat();
  if (format == FIF_UNKNOWN) format = FreeImage_GetFIFFromFilename(name.c_str());
  if (format == FIF_UNKNOWN || !FreeImage_FIFSupportsReading(format)) return FIF_UNKNOWN;
  return format;
}

bool FitsPhotoLimits(FIBITMAP* bitmap, uint64_t maxPixels) {
  const uint64_t pixels = uint64_t{FreeImage_GetWidth(bitmap)} * FreeImage_GetHeight(bitmap);
  // A row must fit the picture buffer's 32-bit stride; the raster as a whole has no limit of its own.
  const uint64_t rowBytes = uint64_t{FreeImage_GetWidth(bitmap)} * FreeImage_GetBPP(bitmap) / 8;
  return pixels <= maxPixels && rowBytes <= uint64_t{std::numeric_limits<int32_t>::max()};
}

DecodedPhoto DecodePhoto(const PhotoFile& file, FREE_IMAGE_FORMAT format,
                         const DecodeLimits& limits) {
  UseFreeImage();
  DecodedPhoto decoded;
  PhotoStream stream = StreamFor(file, format);
  uint64_t budget = 0;
  decoded.failure = CheckHeader(stream, file, format, limits, decoded, budget);
  if (decoded.failure != OpenFailure::kNone) return decoded;

  const LibraryMessageCapture capture;
  UniqueBitmap bitmap = stream.Load(format, LoadFlags(format), budget);
  if (file.ReadFailed()) {
    decoded.failure = OpenFailure::kReadError;
    return decoded;
  }
  const std::string damage = DamageOf(stream, capture.messages());
  if (!bitmap) {
    // A decoder that gives up on a file cut short or corrupt has met a damaged photo; one that
    // gives up otherwise does not read this kind of file.
    decoded.failure = MentionsAllocationFailure(capture.messages()) ? OpenFailure::kOutOfMemory
                      : damage.empty()                              ? OpenFailure::kUnreadable
                                                                    : OpenFailure::kDamaged;
    decoded.damage = damage;
    return decoded;
  }
  if (!damage.empty()) {
    decoded.damage = damage;
    if (!limits.acceptDamaged) {
      decoded.failure = OpenFailure::kDamaged;
      return decoded;
    }
  }
  if (format == FIF_TIFF) decoded.pages = stream.Pages(format);
  decoded.bitmap = std::move(bitmap);
  return decoded;
}
