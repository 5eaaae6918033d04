// The only two exceptions of the core, thrown by saving (photo_saving.h). Each carries one narrow
// string: the path of the file concerned, or empty when the fault is not a file's. `what()` returns
// that string.
#pragma once

#include <exception>
#include <string>
#include <utility>

// A format that cannot be written (or cannot hold the picture), or a metadata source whose format
// cannot be read.
class UnsupportedImageFormat : public std::exception {
 public:
  explicit UnsupportedImageFormat(std::string path) : path_(std::move(path)) {}
  const char* what() const noexcept override { return path_.c_str(); }
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

// A metadata source of a readable format that could not be loaded.
class ImageReadError : public std::exception {
 public:
  explicit ImageReadError(std::string path) : path_(std::move(path)) {}
  const char* what() const noexcept override { return path_.c_str(); }
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};
