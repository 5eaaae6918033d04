#include "engine/nlm_offset_passes.h"

#include <emmintrin.h>

#include <algorithm>
#include <cstring>

namespace {

// |a − b| of 16 bytes at once: the larger of the two saturated differences.
inline __m128i AbsDiff16(__m128i a, __m128i b) {
  return _mm_max_epu8(_mm_subs_epu8(a, b), _mm_subs_epu8(b, a));
}

void AbsDiffRow(uint8_t* out, const uint8_t* a, const uint8_t* b, int32_t count) {
  int32_t x = 0;
  for (; x + 16 <= count; x += 16) {
    const __m128i va = _mm_loadu_si128(reinterpret_cast<const __m128i*>(a + x));
    const __m128i vb = _mm_loadu_si128(reinterpret_cast<const __m128i*>(b + x));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + x), AbsDiff16(va, vb));
  }
  for (; x < count; ++x) out[x] = static_cast<uint8_t>(a[x] > b[x] ? a[x] - b[x] : b[x] - a[x]);
}

}  // namespace

void DifferencePass(uint8_t* diff, const uint8_t* guide, const NlmGeometry& g, NlmOffset d) {
  const int32_t wp = g.paddedWidth;
  const int32_t hp = g.paddedHeight;
  std::memcpy(diff, guide, static_cast<size_t>(wp) * hp);
  // Positions p whose partner p + d lies inside the raster.
  const int32_t y0 = std::max(0, -d.dy);
  const int32_t y1 = std::min(hp, hp - d.dy);
  const int32_t x0 = std::max(0, -d.dx);
  const int32_t x1 = std::min(wp, wp - d.dx);
  for (int32_t y = y0; y < y1; ++y) {
    const uint8_t* row = guide + static_cast<size_t>(y) * wp;
    const uint8_t* partner = guide + static_cast<size_t>(y + d.dy) * wp + d.dx;
    AbsDiffRow(diff + static_cast<size_t>(y) * wp + x0, partner + x0, row + x0, x1 - x0);
  }
}

void CellSumPass(uint16_t* cells, const uint8_t* diff, const NlmGeometry& g) {
  const int32_t wp = g.paddedWidth;
  for (int32_t i = 0; i < g.cellHeight; ++i) {
    const uint8_t* r0 = diff + static_cast<size_t>(2 * i) * wp;
    const uint8_t* r1 = r0 + wp;
    uint16_t* out = cells + static_cast<size_t>(i) * g.cellWidth;
    for (int32_t j = 0; j < g.cellWidth; ++j) {
      out[j] = static_cast<uint16_t>(r0[2 * j] + r0[2 * j + 1] + r1[2 * j] + r1[2 * j + 1]);
    }
  }
}

void BoxSumPass(uint16_t* cells, uint16_t* scratch, const NlmGeometry& g) {
  const int32_t wc = g.cellWidth;
  const int32_t hc = g.cellHeight;
  for (int32_t i = 0; i < hc; ++i) {
    const uint16_t* in = cells + static_cast<size_t>(i) * wc;
    uint16_t* out = scratch + static_cast<size_t>(i) * wc;
    for (int32_t j = 1; j < wc - 1; ++j) {
      out[j] = static_cast<uint16_t>(in[j - 1] + in[j] + in[j + 1]);
    }
  }
  for (int32_t i = 1; i < hc - 1; ++i) {
    const uint16_t* above = scratch + static_cast<size_t>(i - 1) * wc;
    const uint16_t* here = above + wc;
    const uint16_t* below = here + wc;
    uint16_t* out = cells + static_cast<size_t>(i) * wc;
    for (int32_t j = 1; j < wc - 1; ++j) {
      out[j] = static_cast<uint16_t>(above[j] + here[j] + below[j]);
    }
  }
}

template <typename Sample, typename Sum>
void AccumulateOffset(Sum* weightSum, Sum* valueSum, const uint8_t* guide, const Sample* values,
                      const uint16_t* cells, const NlmGeometry& g, NlmOffset d,
                      const WeightTables& tables) {
  const int32_t wp = g.paddedWidth;
  const int32_t b = g.border;
  const bool centre = d.dx == 0 && d.dy == 0;
  for (int32_t y = 0; y < g.height; ++y) {
    const int32_t qy = y + b;
    const uint8_t* centreGuide = guide + static_cast<size_t>(qy) * wp + b;
    const Sample* centreValue = values + static_cast<size_t>(qy) * wp + b;
    const Sample* plusValue = values + static_cast<size_t>(qy + d.dy) * wp + b + d.dx;
    const Sample* minusValue = values + static_cast<size_t>(qy - d.dy) * wp + b - d.dx;
    // A pixel's distance is that of its cell: K(y, x) = cells(y div 2, x div 2).
    const uint16_t* distHere = cells + static_cast<size_t>(qy >> 1) * g.cellWidth;
    const uint16_t* distMinus = cells + static_cast<size_t>((qy - d.dy) >> 1) * g.cellWidth;
    Sum* weights = weightSum + static_cast<size_t>(y) * g.width;
    Sum* sums = valueSum + static_cast<size_t>(y) * g.width;
    for (int32_t x = 0; x < g.width; ++x) {
      const int32_t qx = x + b;
      const int32_t* table = tables[centreGuide[x]];
      if (centre) {
        const Sum u0 = static_cast<Sum>(table[distHere[qx >> 1]]);
        weights[x] += u0;
        sums[x] += u0 * static_cast<Sum>(centreValue[x]);
        continue;
      }
      const Sum u1 = static_cast<Sum>(table[distHere[qx >> 1]]);
      const Sum u2 = static_cast<Sum>(table[distMinus[(qx - d.dx) >> 1]]);
      weights[x] += u1 + u2;
      sums[x] += u1 * static_cast<Sum>(plusValue[x]) + u2 * static_cast<Sum>(minusValue[x]);
    }
  }
}

template void AccumulateOffset<uint8_t, uint32_t>(uint32_t*, uint32_t*, const uint8_t*,
                                                  const uint8_t*, const uint16_t*,
                                                  const NlmGeometry&, NlmOffset,
                                                  const WeightTables&);
template void AccumulateOffset<uint16_t, double>(double*, double*, const uint8_t*,
                                                 const uint16_t*, const uint16_t*,
                                                 const NlmGeometry&, NlmOffset,
                                                 const WeightTables&);
