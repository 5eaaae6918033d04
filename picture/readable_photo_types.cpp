#include "picture/readable_photo_types.h"

#include <FreeImage.h>

#include <algorithm>
#include <cctype>
#include <sstream>

#include "picture/freeimage_library.h"

namespace {

// Formats whose files are only ever palette (KOALA, CUT, GIF), one bit deep (PBM, WBMP, XBM, G3
// fax) or floating point (HDR, EXR, PFM): none of them opens as a photo.
bool NeverOpensAsPhoto(FREE_IMAGE_FORMAT format) {
  switch (format) {
    case FIF_KOALA:
    case FIF_CUT:
    case FIF_GIF:
    case FIF_PBM:
    case FIF_PBMRAW:
    case FIF_WBMP:
    case FIF_XBM:
    case FIF_FAXG3:
    case FIF_HDR:
    case FIF_EXR:
    case FIF_PFM:
      return true;
    default:
      return false;
  }
}

std::string Lower(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

// The extensions of the formats FreeImage reads; with `photosOnly`, not of those that never open
// as a photo.
std::vector<std::string> ListExtensions(bool photosOnly) {
  UseFreeImage();
  std::vector<std::string> extensions;
  for (int index = 0; index < FreeImage_GetFIFCount(); ++index) {
    const auto format = static_cast<FREE_IMAGE_FORMAT>(index);
    const char* list = FreeImage_GetFIFExtensionList(format);
    if (!FreeImage_FIFSupportsReading(format) || (photosOnly && NeverOpensAsPhoto(format)) ||
        list == nullptr) {
      continue;
    }
    std::istringstream items(list);
    for (std::string extension; std::getline(items, extension, ',');) {
      if (!extension.empty()) extensions.push_back(Lower(extension));
    }
  }
  std::sort(extensions.begin(), extensions.end());
  extensions.erase(std::unique(extensions.begin(), extensions.end()), extensions.end());
  return extensions;
}

bool HasExtensionAmong(std::string_view name, const std::vector<std::string>& known) {
  const size_t dot = name.rfind('.');
  if (dot == std::string_view::npos) return false;
  const std::string extension = Lower(std::string(name.substr(dot + 1)));
  return std::binary_search(known.begin(), known.end(), extension);
}

}  // namespace

const std::vector<std::string>& ReadablePhotoExtensions() {
  static const std::vector<std::string> extensions = ListExtensions(true);
  return extensions;
}

bool HasReadablePhotoExtension(std::string_view name) {
  return HasExtensionAmong(name, ReadablePhotoExtensions());
}

bool HasImageExtension(std::string_view name) {
  static const std::vector<std::string> extensions = ListExtensions(false);
  return HasExtensionAmong(name, extensions);
}
