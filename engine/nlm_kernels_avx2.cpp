// The AVX2 forms of the row kernels of engine/nlm_kernels.h: 32 guide bytes or 16 16-bit lanes at
// a time, and gathers for the table look-ups.
//
// This file alone is compiled with -mavx2, and its code runs only after the run-time check in
// engine/nlm_kernels.cpp. It therefore includes no library header whose inline functions could be
// emitted here with AVX2 instructions and then shared with the rest of the program: everything
// below is intrinsics and functions of this file.
#include <immintrin.h>

#include "engine/nlm_kernels.h"

namespace {

inline __m256i Load(const void* p) { return _mm256_loadu_si256(static_cast<const __m256i*>(p)); }
inline __m128i Load128(const void* p) { return _mm_loadu_si128(static_cast<const __m128i*>(p)); }
inline void Store(void* p, __m256i v) { _mm256_storeu_si256(static_cast<__m256i*>(p), v); }

inline __m256i AbsDiff(__m256i a, __m256i b) {
  return _mm256_max_epu8(_mm256_subs_epu8(a, b), _mm256_subs_epu8(b, a));
}

inline __m256i PairSums(__m256i bytes) {
  const __m256i low = _mm256_and_si256(bytes, _mm256_set1_epi16(0x00FF));
  return _mm256_add_epi16(low, _mm256_srli_epi16(bytes, 8));
}

inline int32_t AbsDiff(uint8_t a, uint8_t b) { return a > b ? a - b : b - a; }
inline int32_t Min(int32_t a, int32_t b) { return a < b ? a : b; }

// 16 pixel values of a 16-bit lane vector, each repeated: lanes 0–7 give out[0 … 15], lanes
// 8–15 give out[16 … 31].
inline void StoreDoubled(uint16_t* out, __m256i v) {
  const __m256i low = _mm256_unpacklo_epi16(v, v);   // cells 0–3 | 8–11, doubled
  const __m256i high = _mm256_unpackhi_epi16(v, v);  // cells 4–7 | 12–15, doubled
  Store(out, _mm256_permute2x128_si256(low, high, 0x20));
  Store(out + 16, _mm256_permute2x128_si256(low, high, 0x31));
}

// Adds 16 32-bit sums held as pixels 0–3 | 8–11 and 4–7 | 12–15 to sums[0 … 15].
inline void AddInOrder(uint32_t* sums, __m256i low, __m256i high) {
  Store(sums, _mm256_add_epi32(Load(sums), _mm256_permute2x128_si256(low, high, 0x20)));
  Store(sums + 8, _mm256_add_epi32(Load(sums + 8), _mm256_permute2x128_si256(low, high, 0x31)));
}

void CellSums(uint16_t* cells, const uint8_t* g0, const uint8_t* p0, const uint8_t* g1,
              const uint8_t* p1, int32_t count) {
  int32_t j = 0;
  for (; j + 16 <= count; j += 16) {
    const int32_t x = 2 * j;
    const __m256i top = PairSums(AbsDiff(Load(p0 + x), Load(g0 + x)));
    const __m256i bottom = PairSums(AbsDiff(Load(p1 + x), Load(g1 + x)));
    Store(cells + j, _mm256_add_epi16(top, bottom));
  }
  for (; j < count; ++j) {
    const int32_t x = 2 * j;
    cells[j] = static_cast<uint16_t>(AbsDiff(p0[x], g0[x]) + AbsDiff(p0[x + 1], g0[x + 1]) +
                                     AbsDiff(p1[x], g1[x]) + AbsDiff(p1[x + 1], g1[x + 1]));
  }
}

void HorizontalSums(uint16_t* out, const uint16_t* in, int32_t count) {
  int32_t j = 0;
  for (; j + 16 <= count; j += 16) {
    Store(out + j,
          _mm256_add_epi16(_mm256_add_epi16(Load(in + j - 1), Load(in + j)), Load(in + j + 1)));
  }
  for (; j < count; ++j) out[j] = static_cast<uint16_t>(in[j - 1] + in[j] + in[j + 1]);
}

void VerticalSums(uint16_t* out, const uint16_t* a, const uint16_t* b, const uint16_t* c,
                  int32_t count) {
  int32_t j = 0;
  for (; j + 16 <= count; j += 16) {
    Store(out + j, _mm256_add_epi16(_mm256_add_epi16(Load(a + j), Load(b + j)), Load(c + j)));
  }
  for (; j < count; ++j) out[j] = static_cast<uint16_t>(a[j] + b[j] + c[j]);
}

// Gathers the 16-bit entries table[index] of 8 32-bit indices into the low halves of 8 lanes.
inline __m256i Gather16(const uint16_t* table, __m256i index) {
  const __m256i words = _mm256_i32gather_epi32(reinterpret_cast<const int*>(table), index, 2);
  return _mm256_and_si256(words, _mm256_set1_epi32(0xFFFF));
}

// Packs two vectors of 8 32-bit lanes (values below 2^16) into 16 16-bit lanes in order.
inline __m256i PackInOrder(__m256i first, __m256i second) {
  return _mm256_permute4x64_epi64(_mm256_packus_epi32(first, second), 0xD8);
}

// Each gathered 32-bit pair is already the two pixels of its cell, in order.
void ExpandWeights(uint16_t* out, const uint16_t* box, int32_t count,
                   const NlmWeightTable& weights) {
  const uint32_t* pairs = weights.pairs;
  const int32_t span = weights.span;
  const __m256i last = _mm256_set1_epi16(static_cast<int16_t>(span - 1));
  const int* table = reinterpret_cast<const int*>(pairs);
  int32_t j = 0;
  for (; j + 16 <= count; j += 16) {
    const __m256i clamped = _mm256_min_epu16(Load(box + j), last);
    const __m256i first = _mm256_cvtepu16_epi32(_mm256_castsi256_si128(clamped));
    const __m256i second = _mm256_cvtepu16_epi32(_mm256_extracti128_si256(clamped, 1));
    Store(out + 2 * j, _mm256_i32gather_epi32(table, first, 4));
    Store(out + 2 * j + 16, _mm256_i32gather_epi32(table, second, 4));
  }
  for (; j < count; ++j) {
    const uint16_t weight = static_cast<uint16_t>(pairs[Min(box[j], span - 1)]);
    out[2 * j] = weight;
    out[2 * j + 1] = weight;
  }
}

void ExpandDistances(uint16_t* out, const uint16_t* box, int32_t count, int32_t span) {
  const __m256i last = _mm256_set1_epi16(static_cast<int16_t>(span - 1));
  int32_t j = 0;
  for (; j + 16 <= count; j += 16) StoreDoubled(out + 2 * j, _mm256_min_epu16(Load(box + j), last));
  for (; j < count; ++j) {
    const auto clamped = static_cast<uint16_t>(Min(box[j], span - 1));
    out[2 * j] = clamped;
    out[2 * j + 1] = clamped;
  }
}

void LookUpWeights(uint16_t* w1, uint16_t* w2, const uint16_t* k1, const uint16_t* k2,
                   const uint8_t* levels, const uint16_t* tables, int32_t stride, int32_t count) {
  const __m256i strides = _mm256_set1_epi32(stride);
  int32_t x = 0;
  for (; x + 16 <= count; x += 16) {
    const __m128i levelBytes = Load128(levels + x);
    const __m256i baseLow = _mm256_mullo_epi32(_mm256_cvtepu8_epi32(levelBytes), strides);
    const __m256i baseHigh =
        _mm256_mullo_epi32(_mm256_cvtepu8_epi32(_mm_srli_si128(levelBytes, 8)), strides);
    const __m256i near = Load(k1 + x);
    const __m256i far = Load(k2 + x);
    const __m256i nearLow = _mm256_cvtepu16_epi32(_mm256_castsi256_si128(near));
    const __m256i nearHigh = _mm256_cvtepu16_epi32(_mm256_extracti128_si256(near, 1));
    const __m256i farLow = _mm256_cvtepu16_epi32(_mm256_castsi256_si128(far));
    const __m256i farHigh = _mm256_cvtepu16_epi32(_mm256_extracti128_si256(far, 1));
    Store(w1 + x, PackInOrder(Gather16(tables, _mm256_add_epi32(baseLow, nearLow)),
                              Gather16(tables, _mm256_add_epi32(baseHigh, nearHigh))));
    Store(w2 + x, PackInOrder(Gather16(tables, _mm256_add_epi32(baseLow, farLow)),
                              Gather16(tables, _mm256_add_epi32(baseHigh, farHigh))));
  }
  for (; x < count; ++x) {
    const uint16_t* table = tables + static_cast<int32_t>(levels[x]) * stride;
    w1[x] = table[k1[x]];
    w2[x] = table[k2[x]];
  }
}

// As the SSE2 form, 16 pixels at a time. The in-lane unpacks give pixels 0–3 | 8–11 ("low")
// and 4–7 | 12–15 ("high"); the pass sums are put back in pixel order once, before they are added
// to memory.
void Accumulate8(uint32_t* weightSum, uint32_t* valueSum, const NlmOffsetRow<uint8_t>* rows,
                 int32_t rowCount, int32_t count) {
  const __m256i ones = _mm256_set1_epi16(1);
  int32_t x = 0;
  for (; x + 16 <= count; x += 16) {
    __m256i weightsLow = _mm256_setzero_si256(), weightsHigh = weightsLow;
    __m256i valuesLow = weightsLow, valuesHigh = weightsLow;
    for (int32_t r = 0; r < rowCount; ++r) {
      const NlmOffsetRow<uint8_t>& row = rows[r];
      const __m256i a = Load(row.w1 + x);
      const __m256i b = Load(row.w2 + x);
      const __m256i p = _mm256_cvtepu8_epi16(Load128(row.plus + x));
      const __m256i m = _mm256_cvtepu8_epi16(Load128(row.minus + x));
      const __m256i pairsLow = _mm256_unpacklo_epi16(a, b);
      const __m256i pairsHigh = _mm256_unpackhi_epi16(a, b);
      valuesLow =
          _mm256_add_epi32(valuesLow, _mm256_madd_epi16(pairsLow, _mm256_unpacklo_epi16(p, m)));
      valuesHigh =
          _mm256_add_epi32(valuesHigh, _mm256_madd_epi16(pairsHigh, _mm256_unpackhi_epi16(p, m)));
      weightsLow = _mm256_add_epi32(weightsLow, _mm256_madd_epi16(pairsLow, ones));
      weightsHigh = _mm256_add_epi32(weightsHigh, _mm256_madd_epi16(pairsHigh, ones));
    }
    AddInOrder(valueSum + x, valuesLow, valuesHigh);
    AddInOrder(weightSum + x, weightsLow, weightsHigh);
  }
  for (; x < count; ++x) {
    for (int32_t r = 0; r < rowCount; ++r) {
      const NlmOffsetRow<uint8_t>& row = rows[r];
      weightSum[x] += uint32_t{row.w1[x]} + row.w2[x];
      valueSum[x] += uint32_t{row.w1[x]} * row.plus[x] + uint32_t{row.w2[x]} * row.minus[x];
    }
  }
}

// The biased madd of the SSE2 form (v − 32768, then 32768 · (w1 + w2) added back once per pass),
// 16 pixels at a time; the 32-bit increments are widened to 64 bits in pixel order.
void Accumulate16(uint32_t* weightSum, uint64_t* valueSum, const NlmOffsetRow<uint16_t>* rows,
                  int32_t rowCount, int32_t count) {
  const __m256i ones = _mm256_set1_epi16(1);
  const __m256i bias = _mm256_set1_epi16(static_cast<int16_t>(0x8000));
  int32_t x = 0;
  for (; x + 16 <= count; x += 16) {
    __m256i weightsLow = _mm256_setzero_si256(), weightsHigh = weightsLow;
    __m256i valuesLow = weightsLow, valuesHigh = weightsLow;
    for (int32_t r = 0; r < rowCount; ++r) {
      const NlmOffsetRow<uint16_t>& row = rows[r];
      const __m256i a = Load(row.w1 + x);
      const __m256i b = Load(row.w2 + x);
      const __m256i p = _mm256_xor_si256(Load(row.plus + x), bias);
      const __m256i m = _mm256_xor_si256(Load(row.minus + x), bias);
      const __m256i pairsLow = _mm256_unpacklo_epi16(a, b);
      const __m256i pairsHigh = _mm256_unpackhi_epi16(a, b);
      valuesLow =
          _mm256_add_epi32(valuesLow, _mm256_madd_epi16(pairsLow, _mm256_unpacklo_epi16(p, m)));
      valuesHigh =
          _mm256_add_epi32(valuesHigh, _mm256_madd_epi16(pairsHigh, _mm256_unpackhi_epi16(p, m)));
      weightsLow = _mm256_add_epi32(weightsLow, _mm256_madd_epi16(pairsLow, ones));
      weightsHigh = _mm256_add_epi32(weightsHigh, _mm256_madd_epi16(pairsHigh, ones));
    }
    valuesLow = _mm256_add_epi32(valuesLow, _mm256_slli_epi32(weightsLow, 15));
    valuesHigh = _mm256_add_epi32(valuesHigh, _mm256_slli_epi32(weightsHigh, 15));
    AddInOrder(weightSum + x, weightsLow, weightsHigh);
    const __m256i increments[4] = {
        _mm256_cvtepu32_epi64(_mm256_castsi256_si128(valuesLow)),        // pixels 0–3
        _mm256_cvtepu32_epi64(_mm256_castsi256_si128(valuesHigh)),       // pixels 4–7
        _mm256_cvtepu32_epi64(_mm256_extracti128_si256(valuesLow, 1)),   // pixels 8–11
        _mm256_cvtepu32_epi64(_mm256_extracti128_si256(valuesHigh, 1)),  // pixels 12–15
    };
    for (int32_t k = 0; k < 4; ++k) {
      uint64_t* sums = valueSum + x + 4 * k;
      Store(sums, _mm256_add_epi64(Load(sums), increments[k]));
    }
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

// Defined here so that the table itself is built in this file; engine/nlm_kernels.cpp hands it out
// only when the processor has AVX2.
const NlmRowKernels& NlmKernelsAvx2Unchecked() {
  static const NlmRowKernels kernels{"AVX2",        CellSums,      HorizontalSums,
                                     VerticalSums,  ExpandWeights, ExpandDistances,
                                     LookUpWeights, Accumulate8,   Accumulate16};
  return kernels;
}
