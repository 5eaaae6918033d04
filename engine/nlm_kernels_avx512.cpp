// The AVX-512 form of the row kernels of engine/nlm_kernels.h: 64 guide bytes or 32 16-bit lanes
// at a time, the end of a row in one masked block. Beyond the width, two kernels work differently
// from the AVX2 form: the expansion of weights keeps the weight table in registers and looks up 32
// cells with a few two-register permutes, where the AVX2 form gathers 8 cells at a time from memory
// (some 5 cycles a gather here: a fifth of the whole filter went into them); and the 8-bit
// accumulation adds each multiply-add into the pass sums in the same instruction (VNNI). The
// per-pixel look-ups (dynamics other than 0) and the 16-bit accumulation are the AVX2 ones.
//
// This file alone is compiled for AVX-512 (foundation, byte and word, vector length, VNNI), and its
// code runs only after the run-time check in engine/nlm_kernels.cpp. As with the AVX2 file, it
// includes no library header whose inline functions could be emitted here with AVX-512
// instructions and then shared with the rest of the program.
#include <immintrin.h>

#include "engine/nlm_kernels.h"

const NlmRowKernels& NlmKernelsAvx2Unchecked();

namespace {

// One permute picks from 64 weights (two registers) by the low six bits of each distance. Tables
// of up to 8 such pieces (16 registers) stay in registers; a longer span (strengths above about 21)
// falls back to the gathers of the AVX2 form.
constexpr int32_t kPiece = 64;
constexpr int32_t kMostPieces = 8;

// vpermw indices that repeat each of the first 16 words, or of the last 16, twice.
alignas(64) constexpr uint16_t kFirstHalfTwice[32] = {0,  0,  1,  1,  2,  2,  3,  3,  4,  4,  5,
                                                      5,  6,  6,  7,  7,  8,  8,  9,  9,  10, 10,
                                                      11, 11, 12, 12, 13, 13, 14, 14, 15, 15};
alignas(64) constexpr uint16_t kSecondHalfTwice[32] = {16, 16, 17, 17, 18, 18, 19, 19, 20, 20, 21,
                                                       21, 22, 22, 23, 23, 24, 24, 25, 25, 26, 26,
                                                       27, 27, 28, 28, 29, 29, 30, 30, 31, 31};

// vpermt2d indices that put the 32-bit sums of 32 pixels back in order: the in-lane unpacks leave
// pixels 0–3, 8–11, 16–19, 24–27 in the "low" register and 4–7, 12–15, 20–23, 28–31 in the "high"
// one (indices 16 and up).
alignas(64) constexpr uint32_t kFirstSixteen[16] = {0, 1, 2, 3, 16, 17, 18, 19,
                                                    4, 5, 6, 7, 20, 21, 22, 23};
alignas(64) constexpr uint32_t kLastSixteen[16] = {8,  9,  10, 11, 24, 25, 26, 27,
                                                   12, 13, 14, 15, 28, 29, 30, 31};

inline __m512i Load(const void* p) { return _mm512_loadu_si512(p); }

// The first n of 32 word lanes, or of 64 byte lanes (none for n ≤ 0). Every kernel below runs its
// last, shorter block with such masks instead of a scalar end: masked loads and stores touch only
// the lanes they name.
inline __mmask32 FirstWords(int32_t n) {
  return n >= 32 ? ~__mmask32{0} : n <= 0 ? 0 : (__mmask32{1} << n) - 1;
}
inline __mmask64 FirstBytes(int32_t n) {
  return n >= 64 ? ~__mmask64{0} : n <= 0 ? 0 : (__mmask64{1} << n) - 1;
}

inline __m512i LoadWords(__mmask32 lanes, const uint16_t* p) {
  return _mm512_maskz_loadu_epi16(lanes, p);
}
inline void StoreWords(uint16_t* p, __mmask32 lanes, __m512i v) {
  _mm512_mask_storeu_epi16(p, lanes, v);
}

inline __m512i AbsDiff(__m512i a, __m512i b) {
  return _mm512_max_epu8(_mm512_subs_epu8(a, b), _mm512_subs_epu8(b, a));
}

inline __m512i PairSums(__m512i bytes) {
  const __m512i low = _mm512_and_si512(bytes, _mm512_set1_epi16(0x00FF));
  return _mm512_add_epi16(low, _mm512_srli_epi16(bytes, 8));
}

void CellSums(uint16_t* cells, const uint8_t* g0, const uint8_t* p0, const uint8_t* g1,
              const uint8_t* p1, int32_t count) {
  for (int32_t j = 0; j < count; j += 32) {
    const int32_t x = 2 * j;
    const __mmask64 bytes = FirstBytes(2 * (count - j));
    auto load = [bytes, x](const uint8_t* p) { return _mm512_maskz_loadu_epi8(bytes, p + x); };
    const __m512i top = PairSums(AbsDiff(load(p0), load(g0)));
    const __m512i bottom = PairSums(AbsDiff(load(p1), load(g1)));
    StoreWords(cells + j, FirstWords(count - j), _mm512_add_epi16(top, bottom));
  }
}

void HorizontalSums(uint16_t* out, const uint16_t* in, int32_t count) {
  for (int32_t j = 0; j < count; j += 32) {
    const __mmask32 lanes = FirstWords(count - j);
    const __m512i sum =
        _mm512_add_epi16(_mm512_add_epi16(LoadWords(lanes, in + j - 1), LoadWords(lanes, in + j)),
                         LoadWords(lanes, in + j + 1));
    StoreWords(out + j, lanes, sum);
  }
}

void VerticalSums(uint16_t* out, const uint16_t* a, const uint16_t* b, const uint16_t* c,
                  int32_t count) {
  for (int32_t j = 0; j < count; j += 32) {
    const __mmask32 lanes = FirstWords(count - j);
    const __m512i sum =
        _mm512_add_epi16(_mm512_add_epi16(LoadWords(lanes, a + j), LoadWords(lanes, b + j)),
                         LoadWords(lanes, c + j));
    StoreWords(out + j, lanes, sum);
  }
}

// The weights of 32 distances below kPieces · 64: each piece's permute, kept for the lanes whose
// distance reaches that piece.
template <int32_t kPieces>
inline __m512i LookUp(__m512i distances, const __m512i (&table)[2 * kPieces]) {
  __m512i weights = _mm512_permutex2var_epi16(table[0], distances, table[1]);
  for (int32_t p = 1; p < kPieces; ++p) {
    const __mmask32 reached =
        _mm512_cmpge_epu16_mask(distances, _mm512_set1_epi16(static_cast<int16_t>(p * kPiece)));
    weights = _mm512_mask_mov_epi16(
        weights, reached, _mm512_permutex2var_epi16(table[2 * p], distances, table[2 * p + 1]));
  }
  return weights;
}

template <int32_t kPieces>
void ExpandInRegisters(uint16_t* out, const uint16_t* box, int32_t count,
                       const NlmWeightTable& weights) {
  __m512i table[2 * kPieces];
  for (int32_t i = 0; i < 2 * kPieces; ++i) table[i] = Load(weights.weights + 32 * i);
  const __m512i lastDistance = _mm512_set1_epi16(static_cast<int16_t>(weights.span - 1));
  const __m512i firstHalf = Load(kFirstHalfTwice);
  const __m512i secondHalf = Load(kSecondHalfTwice);
  for (int32_t j = 0; j < count; j += 32) {
    const int32_t left = count - j;
    const __m512i distances = _mm512_min_epu16(LoadWords(FirstWords(left), box + j), lastDistance);
    const __m512i cells = LookUp<kPieces>(distances, table);
    StoreWords(out + 2 * j, FirstWords(2 * left), _mm512_permutexvar_epi16(firstHalf, cells));
    StoreWords(out + 2 * j + 32, FirstWords(2 * left - 32),
               _mm512_permutexvar_epi16(secondHalf, cells));
  }
}

void ExpandWeights(uint16_t* out, const uint16_t* box, int32_t count,
                   const NlmWeightTable& weights) {
  switch ((weights.span + kPiece - 1) / kPiece) {
    case 1:
      return ExpandInRegisters<1>(out, box, count, weights);
    case 2:
      return ExpandInRegisters<2>(out, box, count, weights);
    case 3:
      return ExpandInRegisters<3>(out, box, count, weights);
    case 4:
      return ExpandInRegisters<4>(out, box, count, weights);
    case 5:
      return ExpandInRegisters<5>(out, box, count, weights);
    case 6:
      return ExpandInRegisters<6>(out, box, count, weights);
    case 7:
      return ExpandInRegisters<7>(out, box, count, weights);
    case kMostPieces:
      return ExpandInRegisters<kMostPieces>(out, box, count, weights);
    default:
      return NlmKernelsAvx2Unchecked().expandWeights(out, box, count, weights);
  }
}

// Adds the sums of the pixels `lanes` of 32, held as "low" and "high" (above), to sums[0 … 31].
inline void AddInOrder(uint32_t* sums, __mmask32 lanes, __m512i low, __m512i high) {
  const __m512i first = _mm512_permutex2var_epi32(low, Load(kFirstSixteen), high);
  const __m512i last = _mm512_permutex2var_epi32(low, Load(kLastSixteen), high);
  const auto firstLanes = static_cast<__mmask16>(lanes);
  const auto lastLanes = static_cast<__mmask16>(lanes >> 16);
  _mm512_mask_storeu_epi32(sums, firstLanes,
                           _mm512_add_epi32(_mm512_maskz_loadu_epi32(firstLanes, sums), first));
  _mm512_mask_storeu_epi32(sums + 16, lastLanes,
                           _mm512_add_epi32(_mm512_maskz_loadu_epi32(lastLanes, sums + 16), last));
}

// As the AVX2 form, 32 pixels at a time, with each multiply-add and its addition to the pass sums
// one instruction (vpdpwssd). Weights and 8-bit values fit signed 16-bit lanes, and the pass sums
// (at most 4 · 2 · 10000 · 255) signed 32-bit ones, so the signed multiply-add is exact.
void Accumulate8(uint32_t* weightSum, uint32_t* valueSum, const NlmOffsetRow<uint8_t>* rows,
                 int32_t rowCount, int32_t count) {
  const __m512i ones = _mm512_set1_epi16(1);
  for (int32_t x = 0; x < count; x += 32) {
    const __mmask32 lanes = FirstWords(count - x);
    auto values = [lanes, x](const uint8_t* p) {
      return _mm512_cvtepu8_epi16(_mm256_maskz_loadu_epi8(lanes, p + x));
    };
    __m512i weightsLow = _mm512_setzero_si512(), weightsHigh = weightsLow;
    __m512i valuesLow = weightsLow, valuesHigh = weightsLow;
    for (int32_t r = 0; r < rowCount; ++r) {
      const NlmOffsetRow<uint8_t>& row = rows[r];
      const __m512i a = LoadWords(lanes, row.w1 + x);
      const __m512i b = LoadWords(lanes, row.w2 + x);
      const __m512i p = values(row.plus);
      const __m512i m = values(row.minus);
      const __m512i pairsLow = _mm512_unpacklo_epi16(a, b);
      const __m512i pairsHigh = _mm512_unpackhi_epi16(a, b);
      valuesLow = _mm512_dpwssd_epi32(valuesLow, pairsLow, _mm512_unpacklo_epi16(p, m));
      valuesHigh = _mm512_dpwssd_epi32(valuesHigh, pairsHigh, _mm512_unpackhi_epi16(p, m));
      weightsLow = _mm512_dpwssd_epi32(weightsLow, pairsLow, ones);
      weightsHigh = _mm512_dpwssd_epi32(weightsHigh, pairsHigh, ones);
    }
    AddInOrder(valueSum + x, lanes, valuesLow, valuesHigh);
    AddInOrder(weightSum + x, lanes, weightsLow, weightsHigh);
  }
}

NlmRowKernels MakeKernels() {
  NlmRowKernels kernels = NlmKernelsAvx2Unchecked();
  kernels.name = "AVX-512";
  kernels.cellSums = CellSums;
  kernels.horizontalSums = HorizontalSums;
  kernels.verticalSums = VerticalSums;
  kernels.expandWeights = ExpandWeights;
  kernels.accumulate8 = Accumulate8;
  return kernels;
}

}  // namespace

// Defined here so that the table itself is built in this file; engine/nlm_kernels.cpp hands it out
// only when the processor has AVX-512.
const NlmRowKernels& NlmKernelsAvx512Unchecked() {
  static const NlmRowKernels kernels = MakeKernels();
  return kernels;
}
