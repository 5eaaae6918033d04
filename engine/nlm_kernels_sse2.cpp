// The SSE2 forms of the row kernels of engine/nlm_kernels.h: 16 guide bytes or 8 16-bit lanes at
// a time, with scalar loops for the ends of rows and for the per-pixel table look-ups (SSE2 has no
// gather).
#include <emmintrin.h>

#include <cstring>

#include "engine/nlm_kernels.h"

namespace {

inline __m128i Load(const void* p) { return _mm_loadu_si128(static_cast<const __m128i*>(p)); }
inline __m128i Load64(const void* p) { return _mm_loadl_epi64(static_cast<const __m128i*>(p)); }
inline void Store(void* p, __m128i v) { _mm_storeu_si128(static_cast<__m128i*>(p), v); }

// |a − b| of 16 bytes: the larger of the two saturated differences.
inline __m128i AbsDiff(__m128i a, __m128i b) {
  return _mm_max_epu8(_mm_subs_epu8(a, b), _mm_subs_epu8(b, a));
}

// Sums of adjacent byte pairs as 8 16-bit lanes.
inline __m128i PairSums(__m128i bytes) {
  const __m128i low = _mm_and_si128(bytes, _mm_set1_epi16(0x00FF));
  return _mm_add_epi16(low, _mm_srli_epi16(bytes, 8));
}

// min(a, b) of unsigned 16-bit lanes without SSE4.1: a − max(a − b, 0).
inline __m128i MinU16(__m128i a, __m128i b) { return _mm_sub_epi16(a, _mm_subs_epu16(a, b)); }

inline int32_t AbsDiff(uint8_t a, uint8_t b) { return a > b ? a - b : b - a; }

void CellSums(uint16_t* cells, const uint8_t* g0, const uint8_t* p0, const uint8_t* g1,
              const uint8_t* p1, int32_t count) {
  int32_t j = 0;
  for (; j + 8 <= count; j += 8) {
    const int32_t x = 2 * j;
    const __m128i top = PairSums(AbsDiff(Load(p0 + x), Load(g0 + x)));
    const __m128i bottom = PairSums(AbsDiff(Load(p1 + x), Load(g1 + x)));
    Store(cells + j, _mm_add_epi16(top, bottom));
  }
  for (; j < count; ++j) {
    const int32_t x = 2 * j;
    cells[j] = static_cast<uint16_t>(AbsDiff(p0[x], g0[x]) + AbsDiff(p0[x + 1], g0[x + 1]) +
                                     AbsDiff(p1[x], g1[x]) + AbsDiff(p1[x + 1], g1[x + 1]));
  }
}

void HorizontalSums(uint16_t* out, const uint16_t* in, int32_t count) {
  int32_t j = 0;
  for (; j + 8 <= count; j += 8) {
    const __m128i sum =
        _mm_add_epi16(_mm_add_epi16(Load(in + j - 1), Load(in + j)), Load(in + j + 1));
    Store(out + j, sum);
  }
  for (; j < count; ++j) out[j] = static_cast<uint16_t>(in[j - 1] + in[j] + in[j + 1]);
}

void VerticalSums(uint16_t* out, const uint16_t* a, const uint16_t* b, const uint16_t* c,
                  int32_t count) {
  int32_t j = 0;
  for (; j + 8 <= count; j += 8) {
    Store(out + j, _mm_add_epi16(_mm_add_epi16(Load(a + j), Load(b + j)), Load(c + j)));
  }
  for (; j < count; ++j) out[j] = static_cast<uint16_t>(a[j] + b[j] + c[j]);
}

// One look-up of a pair stores the weight for both pixels of a cell.
void ExpandWeights(uint16_t* out, const uint16_t* box, int32_t count, const NlmWeightTable& table) {
  const int32_t last = table.span - 1;
  for (int32_t j = 0; j < count; ++j) {
    const uint32_t pair = table.pairs[box[j] < last ? box[j] : last];
    std::memcpy(out + 2 * j, &pair, sizeof(pair));
  }
}

void ExpandDistances(uint16_t* out, const uint16_t* box, int32_t count, int32_t span) {
  const __m128i last = _mm_set1_epi16(static_cast<int16_t>(span - 1));
  int32_t j = 0;
  for (; j + 8 <= count; j += 8) {
    const __m128i clamped = MinU16(Load(box + j), last);
    Store(out + 2 * j, _mm_unpacklo_epi16(clamped, clamped));
    Store(out + 2 * j + 8, _mm_unpackhi_epi16(clamped, clamped));
  }
  for (; j < count; ++j) {
    const uint16_t clamped = static_cast<uint16_t>(box[j] < span - 1 ? box[j] : span - 1);
    out[2 * j] = clamped;
    out[2 * j + 1] = clamped;
  }
}

void LookUpWeights(uint16_t* w1, uint16_t* w2, const uint16_t* k1, const uint16_t* k2,
                   const uint8_t* levels, const uint16_t* tables, int32_t stride, int32_t count) {
  for (int32_t x = 0; x < count; ++x) {
    const uint16_t* table = tables + static_cast<int32_t>(levels[x]) * stride;
    w1[x] = table[k1[x]];
    w2[x] = table[k2[x]];
  }
}

// 8 pixels at a time. The weights (at most 10000) and the 8-bit values fit signed 16-bit lanes,
// so madd of the pairs (w1, w2) and (plus, minus) gives w1 · plus + w2 · minus in 32-bit lanes,
// and madd of (w1, w2) with (1, 1) gives w1 + w2. The sums of all rows of the pass stay in
// registers until they are added to memory.
void Accumulate8(uint32_t* weightSum, uint32_t* valueSum, const NlmOffsetRow<uint8_t>* rows,
                 int32_t rowCount, int32_t count) {
  const __m128i zero = _mm_setzero_si128();
  const __m128i ones = _mm_set1_epi16(1);
  int32_t x = 0;
  for (; x + 8 <= count; x += 8) {
    __m128i weightsLow = zero, weightsHigh = zero, valuesLow = zero, valuesHigh = zero;
    for (int32_t r = 0; r < rowCount; ++r) {
      const NlmOffsetRow<uint8_t>& row = rows[r];
      const __m128i a = Load(row.w1 + x);
      const __m128i b = Load(row.w2 + x);
      const __m128i p = _mm_unpacklo_epi8(Load64(row.plus + x), zero);
      const __m128i m = _mm_unpacklo_epi8(Load64(row.minus + x), zero);
      const __m128i pairsLow = _mm_unpacklo_epi16(a, b);   // pixels 0–3
      const __m128i pairsHigh = _mm_unpackhi_epi16(a, b);  // pixels 4–7
      valuesLow = _mm_add_epi32(valuesLow, _mm_madd_epi16(pairsLow, _mm_unpacklo_epi16(p, m)));
      valuesHigh = _mm_add_epi32(valuesHigh, _mm_madd_epi16(pairsHigh, _mm_unpackhi_epi16(p, m)));
      weightsLow = _mm_add_epi32(weightsLow, _mm_madd_epi16(pairsLow, ones));
      weightsHigh = _mm_add_epi32(weightsHigh, _mm_madd_epi16(pairsHigh, ones));
    }
    Store(valueSum + x, _mm_add_epi32(Load(valueSum + x), valuesLow));
    Store(valueSum + x + 4, _mm_add_epi32(Load(valueSum + x + 4), valuesHigh));
    Store(weightSum + x, _mm_add_epi32(Load(weightSum + x), weightsLow));
    Store(weightSum + x + 4, _mm_add_epi32(Load(weightSum + x + 4), weightsHigh));
  }
  for (; x < count; ++x) {
    for (int32_t r = 0; r < rowCount; ++r) {
      const NlmOffsetRow<uint8_t>& row = rows[r];
      weightSum[x] += uint32_t{row.w1[x]} + row.w2[x];
      valueSum[x] += uint32_t{row.w1[x]} * row.plus[x] + uint32_t{row.w2[x]} * row.minus[x];
    }
  }
}

// 16-bit values do not fit signed 16-bit lanes, so madd works on v − 32768 and the pass adds
// 32768 · (w1 + w2) back once: w1 · p + w2 · m = madd((w1, w2), (p − 32768, m − 32768)) +
// 32768 · (w1 + w2). Over at most three offsets the madd sums stay within ±2^31 and the weight
// sums below 60001; the corrected value increment is below 3 · 2 · 10000 · 65535 < 2^32, so it is
// exact in unsigned 32-bit lanes (the signed madd part wraps and comes back) before it is widened
// into the 64-bit sums.
void Accumulate16(uint32_t* weightSum, uint64_t* valueSum, const NlmOffsetRow<uint16_t>* rows,
                  int32_t rowCount, int32_t count) {
  const __m128i zero = _mm_setzero_si128();
  const __m128i ones = _mm_set1_epi16(1);
  const __m128i bias = _mm_set1_epi16(static_cast<int16_t>(0x8000));
  int32_t x = 0;
  for (; x + 8 <= count; x += 8) {
    __m128i weightsLow = zero, weightsHigh = zero, valuesLow = zero, valuesHigh = zero;
    for (int32_t r = 0; r < rowCount; ++r) {
      const NlmOffsetRow<uint16_t>& row = rows[r];
      const __m128i a = Load(row.w1 + x);
      const __m128i b = Load(row.w2 + x);
      const __m128i p = _mm_xor_si128(Load(row.plus + x), bias);
      const __m128i m = _mm_xor_si128(Load(row.minus + x), bias);
      const __m128i pairsLow = _mm_unpacklo_epi16(a, b);
      const __m128i pairsHigh = _mm_unpackhi_epi16(a, b);
      valuesLow = _mm_add_epi32(valuesLow, _mm_madd_epi16(pairsLow, _mm_unpacklo_epi16(p, m)));
      valuesHigh = _mm_add_epi32(valuesHigh, _mm_madd_epi16(pairsHigh, _mm_unpackhi_epi16(p, m)));
      weightsLow = _mm_add_epi32(weightsLow, _mm_madd_epi16(pairsLow, ones));
      weightsHigh = _mm_add_epi32(weightsHigh, _mm_madd_epi16(pairsHigh, ones));
    }
    valuesLow = _mm_add_epi32(valuesLow, _mm_slli_epi32(weightsLow, 15));
    valuesHigh = _mm_add_epi32(valuesHigh, _mm_slli_epi32(weightsHigh, 15));
    Store(weightSum + x, _mm_add_epi32(Load(weightSum + x), weightsLow));
    Store(weightSum + x + 4, _mm_add_epi32(Load(weightSum + x + 4), weightsHigh));
    Store(valueSum + x, _mm_add_epi64(Load(valueSum + x), _mm_unpacklo_epi32(valuesLow, zero)));
    Store(valueSum + x + 2,
          _mm_add_epi64(Load(valueSum + x + 2), _mm_unpackhi_epi32(valuesLow, zero)));
    Store(valueSum + x + 4,
          _mm_add_epi64(Load(valueSum + x + 4), _mm_unpacklo_epi32(valuesHigh, zero)));
    Store(valueSum + x + 6,
          _mm_add_epi64(Load(valueSum + x + 6), _mm_unpackhi_epi32(valuesHigh, zero)));
  }
  for (; x < count; ++x) {
    for (int32_t r = 0; r < rowCount; ++r) {
      const NlmOffsetRow<uint16_t>& row = rows[r];
      weightSum[x] += uint32_t{row.w1[x]} + row.w2[x];
      valueSum[x] += uint64_t{row.w1[x]} * row.plus[x] + uint64_t{row.w2[x]} * row.minus[x];
    }
  }
}

}  // namespace

const NlmRowKernels& NlmKernelsSse2() {
  static const NlmRowKernels kernels{"SSE2",        CellSums,      HorizontalSums,
                                     VerticalSums,  ExpandWeights, ExpandDistances,
                                     LookUpWeights, Accumulate8,   Accumulate16};
  return kernels;
}
