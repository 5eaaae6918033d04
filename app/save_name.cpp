#include "app/save_name.h"

#include <algorithm>

#include "picture/photo_saving.h"

namespace fs = std::filesystem;

namespace {

// The output type (kOutputTypes) that each filter stands for.
const std::vector<int32_t>& FilterOutputTypes(uint32_t bitsPerComponent) {
  static const std::vector<int32_t> kEightBit = {1, 2, 3, 4};
  static const std::vector<int32_t> kSixteenBit = {2, 3};
  return bitsPerComponent == 16 ? kSixteenBit : kEightBit;
}

std::vector<std::string> PatternsOf(uint32_t bitsPerComponent) {
  std::vector<std::string> patterns;
  for (const int32_t type : FilterOutputTypes(bitsPerComponent)) {
    patterns.push_back(std::string("*") + kOutputTypes[type].extension);
  }
  return patterns;
}

// The output type of filter `filterIndex`; 0 for an index out of range.
int32_t FilterOutputType(uint32_t bitsPerComponent, int32_t filterIndex) {
  const std::vector<int32_t>& types = FilterOutputTypes(bitsPerComponent);
  const auto slot = static_cast<std::size_t>(filterIndex - 1);
  return slot < types.size() ? types[slot] : 0;
}

}  // namespace

const std::vector<std::string>& SaveFilterPatterns(uint32_t bitsPerComponent) {
  static const std::vector<std::string> kEightBit = PatternsOf(8);
  static const std::vector<std::string> kSixteenBit = PatternsOf(16);
  return bitsPerComponent == 16 ? kSixteenBit : kEightBit;
}

bool IsJpegFilter(uint32_t bitsPerComponent, int32_t filterIndex) {
  return kOutputTypes[FilterOutputType(bitsPerComponent, filterIndex)].format == FIF_JPEG;
}

ProposedSave ProposeSaveName(const fs::path& currentPhoto, uint32_t bitsPerComponent) {
  const std::string fileName = currentPhoto.filename().string();
  ProposedSave proposed;
  const std::vector<int32_t>& types = FilterOutputTypes(bitsPerComponent);
  const auto match =
      std::find(types.begin(), types.end(), OutputTypeIndex(fileName, bitsPerComponent));
  if (match != types.end()) proposed.filterIndex = static_cast<int32_t>(match - types.begin()) + 1;
  proposed.name = fileName.substr(0, fileName.rfind('.')) + "-denoised";
  return proposed;
}

fs::path ResolveSaveName(const fs::path& typed, uint32_t bitsPerComponent, int32_t filterIndex) {
  if (OutputTypeIndex(typed, bitsPerComponent) != 0) return typed;
  const int32_t type = FilterOutputType(bitsPerComponent, filterIndex);
  fs::path resolved = typed;
  resolved +=
      kOutputTypes[type != 0 ? type : FilterOutputTypes(bitsPerComponent).front()].extension;
  return resolved;
}
