// The camera profile file from arbitrary bytes: SimpleIni's parser, the bounds on counts and
// values, and writing the store that was read back as text.
#include <cstddef>
#include <cstdint>

#include "fuzz/fuzz_input_file.h"
#include "profiles/profile_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static FuzzInputFile file;
  CameraProfileStore store;
  if (ReadProfileFile(file.Hold(data, size), store)) return 0;
  if (store.cameras.size() > kMaxCameraCount) __builtin_trap();
  ProfileFileText(store);
  return 0;
}
