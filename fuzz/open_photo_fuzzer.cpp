// Opening a photo from arbitrary bytes: format detection, the header check against the pixel
// limit, FreeImage's decoders, the EXIF summary and the conversion into picture buffers.
#include <cstddef>
#include <cstdint>

#include "fuzz/fuzz_input_file.h"
#include "picture/photo_loading.h"

namespace {

// Well below libFuzzer's memory limit, so that only a real leak or overrun stops a run.
constexpr uint64_t kFuzzMaxPixels = 16'000'000;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static FuzzInputFile file;
  static PhotoDocument document;
  const OpenFailure failure = OpenPhotoFile(document, file.Hold(data, size), kFuzzMaxPixels);
  if (failure == OpenFailure::kNone) {
    const SBxPicBuf& picture = document.sourcePicture;
    const uint64_t pixels = uint64_t(picture.width) * uint64_t(picture.height);
    if (picture.data == nullptr || pixels > kFuzzMaxPixels) __builtin_trap();
  }
  return 0;
}
