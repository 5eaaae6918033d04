#include "picture/freeimage_library.h"

#include <dlfcn.h>
#include <unistd.h>

#include <cstdarg>
#include <cstdio>
#include <limits>
#include <string>
#include <utility>

#include "picture/exif_guard.h"
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

// A file written through FreeImage's handle interface that remembers whether any write fell short.
struct CheckedFile {
  std::FILE* file;
  bool failed;
};

unsigned DLL_CALLCONV ReadChecked(void* buffer, unsigned size, unsigned count, fi_handle handle) {
  return static_cast<unsigned>(std::fread(buffer, size, count, static_cast<CheckedFile*>(handle)->file));
}

unsigned DLL_CALLCONV WriteChecked(void* buffer, unsigned size, unsigned count, fi_handle handle) {
  auto* out = static_cast<CheckedFile*>(handle);
  const size_t written = std::fwrite(buffer, size, count, out->file);
  if (written != count) out->failed = true;
  return static_cast<unsigned>(written);
}

int DLL_CALLCONV SeekChecked(fi_handle handle, long offset, int origin) {
  return std::fseek(static_cast<CheckedFile*>(handle)->file, offset, origin);
}

long DLL_CALLCONV TellChecked(fi_handle handle) {
  return std::ftell(static_cast<CheckedFile*>(handle)->file);
}

}  // namespace

void UseFreeImage() { static FreeImageSession session; }

UniqueBitmap LoadBitmapFromBytes(std::string bytes, FREE_IMAGE_FORMAT format, int extraFlags) {
  UseFreeImage();
  if (bytes.size() > std::numeric_limits<DWORD>::max()) return nullptr;
  int flags = extraFlags;
  if (format == FIF_JPEG) {
    bytes = WithoutUnsoundExif(std::move(bytes));
    flags |= JPEG_ACCURATE;
  }
  if (format == FIF_PNG) flags |= PNG_IGNOREGAMMA;
  FIMEMORY* memory =
      FreeImage_OpenMemory(reinterpret_cast<BYTE*>(bytes.data()), static_cast<DWORD>(bytes.size()));
  UniqueBitmap bitmap(FreeImage_LoadFromMemory(format, memory, flags));
  FreeImage_CloseMemory(memory);
  return bitmap;
}

bool SaveBitmapFile(FREE_IMAGE_FORMAT format, FIBITMAP* bitmap, const std::filesystem::path& path,
                    int flags) {
  UseFreeImage();
  // Read access too: the TIFF writer reads back what it wrote.
  CheckedFile out{std::fopen(path.c_str(), "w+b"), false};
  if (out.file == nullptr) return true;
  FreeImageIO io{ReadChecked, WriteChecked, SeekChecked, TellChecked};
  bool failed = !FreeImage_SaveToHandle(format, bitmap, &io, &out, flags) || out.failed;
  failed = std::fflush(out.file) != 0 || failed;
  failed = fsync(fileno(out.file)) != 0 || failed;
  return std::fclose(out.file) != 0 || failed;
}
