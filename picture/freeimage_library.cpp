#include "picture/freeimage_library.h"

#include <dlfcn.h>

#include <cstdarg>
#include <cstdio>
#include <string>

#include "picture/library_messages.h"

namespace {

void ReportFreeImageMessage(FREE_IMAGE_FORMAT format, const char* message) {
  const char* formatName = format == FIF_UNKNOWN ? nullptr : FreeImage_GetFormatFromFIF(format);
  std::string text = formatName ? std::string(formatName) + ": " : std::string();
  text += message ? message : "";
  ReportLibraryMessage("FreeImage", text);
}

// libtiff, which FreeImage reads and writes TIFF files with, prints its warnings and errors (for
// instance about EXIF tags it does not know) straight to stderr unless handlers are installed.
// FreeImage installs none, so the core sets them. libtiff is a dependency of FreeImage and not of
// the core, so its setters are looked up at run time; without libtiff there is nothing to route.
using TiffMessageHandler = void (*)(const char* module, const char* format, va_list arguments);
using TiffHandlerSetter = TiffMessageHandler (*)(TiffMessageHandler handler);

void ReportTiffMessage(const char* module, const char* format, va_list arguments) {
  char text[1024];
  std::vsnprintf(text, sizeof text, format, arguments);
  ReportLibraryMessage("libtiff", module ? std::string(module) + ": " + text : std::string(text));
}

void RouteTiffMessages() {
  for (const char* setterName : {"TIFFSetErrorHandler", "TIFFSetWarningHandler"}) {
    auto setter = reinterpret_cast<TiffHandlerSetter>(dlsym(RTLD_DEFAULT, setterName));
    if (setter) setter(ReportTiffMessage);
  }
}

class FreeImageSession {
 public:
  FreeImageSession() {
    FreeImage_Initialise(FALSE);
    FreeImage_SetOutputMessage(ReportFreeImageMessage);
    RouteTiffMessages();
  }
  ~FreeImageSession() { FreeImage_DeInitialise(); }
  FreeImageSession(const FreeImageSession&) = delete;
  FreeImageSession& operator=(const FreeImageSession&) = delete;
};

[[maybe_unused]] const bool startedAtStaticInitialisation = (UseFreeImage(), true);

}  // namespace

void UseFreeImage() { static FreeImageSession session; }

FREE_IMAGE_FORMAT ReadableFormatOf(const std::filesystem::path& path) {
  UseFreeImage();
  FREE_IMAGE_FORMAT format = FreeImage_GetFileType(path.c_str(), 0);
  if (format == FIF_UNKNOWN) format = FreeImage_GetFIFFromFilename(path.c_str());
  if (format == FIF_UNKNOWN || !FreeImage_FIFSupportsReading(format)) return FIF_UNKNOWN;
  return format;
}

UniqueBitmap LoadBitmap(const std::filesystem::path& path, FREE_IMAGE_FORMAT format,
                        int extraFlags) {
  UseFreeImage();
  const int flags = (format == FIF_JPEG ? JPEG_ACCURATE : 0) | extraFlags;
  return UniqueBitmap(FreeImage_Load(format, path.c_str(), flags));
}
