// How a batch result was made, written into the result's XMP under Stillgrain's own namespace, so
// that a later run (--skip-done) can tell a result it may keep from one it must make again. The
// record holds the program's version, every value the photo was denoised with, the search window,
// the JPEG quality of a JPEG result, and the size and modification time of the photo it was made
// from. A result is kept only when its record equals, property for property, the record the run
// would write now.
//
// Formats without metadata (BMP) hold no record: their results are always made again.
#pragma once

#include <cstdint>
#include <exiv2/exiv2.hpp>
#include <filesystem>
#include <map>
#include <optional>
#include <string>

#include "profiles/camera_profile_store.h"

// Property name → text, as stored.
using ResultRecord = std::map<std::string, std::string>;

// A file's size and modification time (nanoseconds since 1970).
struct FileStamp {
  uintmax_t size = 0;
  int64_t modifiedNs = 0;
};

// Registers Stillgrain's namespace with Exiv2 (once). Called before the first photo is opened, so
// that a record read from any file is found under our own prefix.
void UseResultRecordNamespace();

// The stamp of the file at `path` (links followed); nothing when there is no file to stat.
std::optional<FileStamp> StampOfFile(const std::filesystem::path& path);

// The record of a result at `output` made from a photo with `photo`'s stamp, with `values` (the
// profile as the engine got it), the search window `quality` and, for a JPEG result, `jpegQuality`.
ResultRecord RecordOfResult(const IsoProfile& values, int32_t quality, int32_t jpegQuality,
                            const std::filesystem::path& output, const FileStamp& photo);

// The record as XMP properties of Stillgrain's namespace, ready to be written into a result.
Exiv2::XmpData RecordAsXmp(const ResultRecord& record);

// The record that `xmp` holds: its properties of Stillgrain's namespace (empty when none).
ResultRecord RecordInXmp(const Exiv2::XmpData& xmp);
