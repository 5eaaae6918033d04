#include "engine/mirror_pad.h"

#include <algorithm>
#include <cstring>
#include <vector>

int32_t MirrorCoordinate(int32_t k, int32_t border, int32_t size) {
  const int32_t first = border;
  const int32_t last = size - border - 1;
  if (last <= first) return first;
  while (k < first || k > last) {
    k = k < first ? 2 * first - k : 2 * last - k;
  }
  return k;
}

namespace {

template <typename Sample>
void MirrorPadTyped(SBxPicBuf& raster, int32_t border) {
  const int32_t width = raster.width;
  const int32_t height = raster.height;
  // The columns the left and right borders read are the same in every row: look them up once.
  std::vector<int32_t> left(std::max(border, 0));
  std::vector<int32_t> right(left.size());
  for (int32_t x = 0; x < border; ++x) {
    left[x] = MirrorCoordinate(x, border, width);
    right[x] = MirrorCoordinate(width - border + x, border, width);
  }
  // Left and right borders of the image rows, then whole border rows copied from their mirrors.
  for (int32_t y = border; y < height - border; ++y) {
    Sample* row = PicRow<Sample>(raster, y);
    for (int32_t x = 0; x < border; ++x) row[x] = row[left[x]];
    Sample* end = row + width - border;
    for (int32_t x = 0; x < border; ++x) end[x] = row[right[x]];
  }
  const size_t rowBytes = static_cast<size_t>(width) * sizeof(Sample);
  for (int32_t y = 0; y < height; ++y) {
    if (y >= border && y < height - border) continue;
    std::memcpy(PicRow<Sample>(raster, y),
                PicRow<Sample>(raster, MirrorCoordinate(y, border, height)), rowBytes);
  }
}

}  // namespace

void MirrorPad(SBxPicBuf& raster, int32_t border) {
  if (raster.bitsPerComponent == 8) {
    MirrorPadTyped<uint8_t>(raster, border);
  } else {
    MirrorPadTyped<uint16_t>(raster, border);
  }
}
