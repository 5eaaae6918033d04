// What the photo commands share: loading the profile store, reading a photo with a clear error,
// writing a result without touching the settings file.
#pragma once

#include <filesystem>
#include <string>

#include "cli/profile_options.h"
#include "picture/photo_document.h"

namespace cli {

// A photo document that releases its pictures at the end of the scope.
class OpenedPhoto {
 public:
  OpenedPhoto() { InitPhotoDocument(document_); }
  ~OpenedPhoto() { ReleasePhotoDocument(document_); }
  OpenedPhoto(const OpenedPhoto&) = delete;
  OpenedPhoto& operator=(const OpenedPhoto&) = delete;

  PhotoDocument& document() { return document_; }

 private:
  PhotoDocument document_;
};

// Opens `input`; on failure prints "stillgrain-cli: Image format not supported!: PATH" and returns
// true.
bool OpenPhotoOrReport(PhotoDocument& document, const std::filesystem::path& input);

// Writes the document's denoised picture to `output` with the metadata of `input`, at the JPEG
// quality of the options or of the settings file; the settings file is not written. Prints the
// reason and returns true on failure.
bool SaveResultOrReport(PhotoDocument& document, const std::filesystem::path& output,
                        const std::filesystem::path& input, const ProfileOptions& options);

// "<name>-denoised<extension>" in the input's folder.
std::filesystem::path DefaultOutputPath(const std::filesystem::path& input);

// The profile's values as one line: "strength 10, chroma 10, chroma-large 0, dynamics 0, sharpen
// 1/1/1, median 0".
std::string DescribeProfile(const IsoProfile& profile);

}  // namespace cli
