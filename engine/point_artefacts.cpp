#include "engine/point_artefacts.h"

#include <algorithm>
#include <array>
#include <cstddef>

namespace {

// The median rank of n gathered samples: the upper middle one for even n. nth_element only
// partitions around that rank, which is all a median needs.
template <typename Sample>
Sample SelectMedian(Sample* samples, size_t count) {
  Sample* middle = samples + count / 2;
  std::nth_element(samples, middle, samples + count);
  return *middle;
}

// The radius of the median windows: the cross and the 3 × 3 square of mode 1, the 7 × 7 window of
// mode 2.
constexpr int32_t kCommonRadius = 1;
constexpr int32_t kStrongRadius = 3;

// A fixed neighbourhood of offsets (dx, dy) around the pixel, applied to interior pixels only, so
// every offset stays inside the plane and the border keeps the destination's values.
struct Offset {
  int32_t dx;
  int32_t dy;
};

constexpr std::array<Offset, 5> kCross5 = {{{0, 0}, {-1, 0}, {1, 0}, {0, -1}, {0, 1}}};
constexpr std::array<Offset, 9> kSquare3x3 = {
    {{-1, -1}, {0, -1}, {1, -1}, {-1, 0}, {0, 0}, {1, 0}, {-1, 1}, {0, 1}, {1, 1}}};

template <typename Sample, size_t N>
void MedianInterior(SBxPicBuf& dst, const SBxPicBuf& src, const std::array<Offset, N>& offsets) {
  std::array<Sample, N> samples;
  for (int32_t y = 1; y < src.height - 1; ++y) {
    Sample* out = PicRow<Sample>(dst, y);
    for (int32_t x = 1; x < src.width - 1; ++x) {
      for (size_t i = 0; i < N; ++i) {
        samples[i] = PicRow<Sample>(src, y + offsets[i].dy)[x + offsets[i].dx];
      }
      out[x] = SelectMedian(samples.data(), N);
    }
  }
}

// The 7 × 7 window is clipped at the plane's edge rather than padded, so the corners see only
// 16 samples and the median there is taken over what exists.
template <typename Sample>
void Median7x7Typed(SBxPicBuf& dst, const SBxPicBuf& src) {
  constexpr int32_t kRadius = kStrongRadius;
  std::array<Sample, (2 * kRadius + 1) * (2 * kRadius + 1)> samples;
  for (int32_t y = 0; y < src.height; ++y) {
    const int32_t top = std::max(y - kRadius, 0);
    const int32_t bottom = std::min(y + kRadius, src.height - 1);
    Sample* out = PicRow<Sample>(dst, y);
    for (int32_t x = 0; x < src.width; ++x) {
      const int32_t left = std::max(x - kRadius, 0);
      const int32_t right = std::min(x + kRadius, src.width - 1);
      size_t count = 0;
      for (int32_t row = top; row <= bottom; ++row) {
        const Sample* in = PicRow<Sample>(src, row);
        for (int32_t column = left; column <= right; ++column) samples[count++] = in[column];
      }
      out[x] = SelectMedian(samples.data(), count);
    }
  }
}

using PlaneFilter = void (*)(SBxPicBuf& dst, const SBxPicBuf& src);

PlaneFilter FilterFor(int32_t mode, uint32_t bits) {
  if (mode == 2) return Median7x7;
  return bits == 8 ? MedianCross5 : Median3x3;
}

}  // namespace

bool IsPointArtefactModeActive(int32_t mode) { return mode == 1 || mode == 2; }

Footprint PointArtefactFootprint(int32_t mode) {
  if (!IsPointArtefactModeActive(mode)) return {};
  return {mode == 2 ? kStrongRadius : kCommonRadius};
}

void MedianCross5(SBxPicBuf& dst, const SBxPicBuf& src) {
  MedianInterior<uint8_t>(dst, src, kCross5);
}

void Median3x3(SBxPicBuf& dst, const SBxPicBuf& src) {
  MedianInterior<uint16_t>(dst, src, kSquare3x3);
}

void Median7x7(SBxPicBuf& dst, const SBxPicBuf& src) {
  if (src.bitsPerComponent == 8) {
    Median7x7Typed<uint8_t>(dst, src);
  } else {
    Median7x7Typed<uint16_t>(dst, src);
  }
}

void ReducePointArtefacts(int32_t mode, const SBxPicBuf& tile, SBxPicBuf& filtered) {
  if (CBxPicBufAPI::ReinitHeap(filtered, tile)) return;
  CBxPicBufAPI::Copy(filtered, tile);
  if (!IsPointArtefactModeActive(mode)) return;

  const PlaneFilter filter = FilterFor(mode, tile.bitsPerComponent);
  if (tile.components == 1) {
    filter(filtered, tile);
    return;
  }
  // The filters read one plane and write another, so each component is taken out into a source
  // plane and a destination plane that starts as its copy.
  ScopedPicBuf source;
  ScopedPicBuf target;
  if (CBxPicBufAPI::ReinitHeap(*source, tile.width, tile.height, 1, tile.bitsPerComponent) ||
      CBxPicBufAPI::ReinitHeap(*target, *source)) {
    return;
  }
  for (uint32_t c = 0; c < tile.components; ++c) {
    CBxPicBufAPI::ExtractComponent(*source, c, tile);
    CBxPicBufAPI::Copy(*target, *source);
    filter(*target, *source);
    CBxPicBufAPI::InsertComponent(filtered, c, *target);
  }
}
