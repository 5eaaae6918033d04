// A photo file opened for reading, and nothing else: only a regular file is opened (a pipe or a
// device named like a photo would let a read wait for ever, or never end), it is opened once, and
// every later read of the photo (pixels, header, metadata) reads that same open file, so a file
// replaced or deleted meanwhile cannot mix two photos.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>

#include "picture/open_failure.h"

class PhotoFile {
 public:
  PhotoFile() = default;
  ~PhotoFile();
  PhotoFile(const PhotoFile&) = delete;
  PhotoFile& operator=(const PhotoFile&) = delete;

  // Opens `path` for reading. kNone on success; kMissing, kFolder, kNotAFile, kNoPermission or
  // kReadError otherwise. Opening never waits: a pipe is opened without blocking and then refused.
  OpenFailure Open(const std::filesystem::path& path);

  uint64_t size() const { return size_; }

  // Up to `count` bytes from `offset` into `buffer`; fewer at the end of the file. A failing read
  // returns what it had and is remembered (ReadFailed).
  size_t ReadAt(uint64_t offset, void* buffer, size_t count) const;
  std::string ReadString(uint64_t offset, size_t count) const;
  bool ReadFailed() const { return readFailed_; }

  // A name under which libraries that open files by name reach this same open file.
  std::string DescriptorPath() const;

 private:
  int descriptor_ = -1;
  uint64_t size_ = 0;
  mutable bool readFailed_ = false;
};
