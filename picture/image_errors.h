// The exception of the core, thrown by saving (photo_saving.h). It carries one narrow string: the
// path of the file concerned, or empty when the fault is not a file's. `what()` returns that string.
// (Saving once also threw ImageReadError when the source could not be read again for its metadata;
// the metadata is now read when the photo is opened.)
#pragma once

#include <exception>
#include <string>
#include <utility>

// A format that cannot be written, or cannot hold the picture.
class UnsupportedImageFormat : public std::exception {
 public:
  explicit UnsupportedImageFormat(std::string path) : path_(std::move(path)) {}
  const char* what() const noexcept override { return path_.c_str(); }
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};
