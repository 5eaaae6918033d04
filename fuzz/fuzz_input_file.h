// The fuzzers' input as a file: the core reads photos and INI files by path, so each input is
// written to an anonymous in-memory file and handed over as /proc/self/fd/N. No disk is touched
// and nothing is left behind.
#pragma once

#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>

class FuzzInputFile {
 public:
  FuzzInputFile() : descriptor_(memfd_create("stillgrain-fuzz", MFD_CLOEXEC)) {
    if (descriptor_ < 0) std::abort();
    path_ = "/proc/self/fd/" + std::to_string(descriptor_);
  }
  FuzzInputFile(const FuzzInputFile&) = delete;
  FuzzInputFile& operator=(const FuzzInputFile&) = delete;

  // Replaces the file's contents with `size` bytes of `data`.
  const std::filesystem::path& Hold(const uint8_t* data, size_t size) {
    if (ftruncate(descriptor_, 0) != 0) std::abort();
    size_t written = 0;
    while (written < size) {
      const ssize_t n = pwrite(descriptor_, data + written, size - written,
                               static_cast<off_t>(written));
      if (n <= 0) std::abort();
      written += static_cast<size_t>(n);
    }
    return path_;
  }

 private:
  int descriptor_;
  std::filesystem::path path_;
};
