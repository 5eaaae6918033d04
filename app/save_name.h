// The rules of the save dialog that need no window: the name it proposes for the opened photo, the
// file-type filters it offers for the picture's depth, and the file that a typed name stands for.
// Filter indexes count from 1, as the dialog shows them.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

// "*.bmp", "*.tif", "*.png", "*.jpg" for 8-bit pictures; "*.tif", "*.png" for 16-bit ones.
const std::vector<std::string>& SaveFilterPatterns(uint32_t bitsPerComponent);

// Whether filter `filterIndex` is "*.jpg", the only one whose files have a quality.
bool IsJpegFilter(uint32_t bitsPerComponent, int32_t filterIndex);

struct ProposedSave {
  std::string name;         // "<photo name without extension>-denoised"
  int32_t filterIndex = 1;  // the filter of the photo's own type, else the first
};
ProposedSave ProposeSaveName(const std::filesystem::path& currentPhoto, uint32_t bitsPerComponent);

// The file to write for a typed name: the name itself when it ends in a type the depth can be
// saved as, else the name with the extension of filter `filterIndex` appended.
std::filesystem::path ResolveSaveName(const std::filesystem::path& typed, uint32_t bitsPerComponent,
                                      int32_t filterIndex);
