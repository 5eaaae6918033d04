// The AVX-512 form of the row kernels of engine/nlm_kernels.h. Only the expansion of weights
// differs from the AVX2 form: it keeps the weight table in registers and looks up 32 cells with a
// few two-register permutes, where the AVX2 form gathers 8 cells at a time from memory (some 5
// cycles per gather here: a fifth of the whole filter went into them). The other kernels are the
// AVX2 ones.
//
// This file alone is compiled for AVX-512 (foundation, byte and word, vector length), and its code
// runs only after the run-time check in engine/nlm_kernels.cpp. As with the AVX2 file, it includes
// no library header whose inline functions could be emitted here with AVX-512 instructions and then
// shared with the rest of the program.
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

inline __m512i Load(const void* p) { return _mm512_loadu_si512(p); }

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
  const int32_t last = weights.span - 1;
  const __m512i lastDistance = _mm512_set1_epi16(static_cast<int16_t>(last));
  const __m512i firstHalf = Load(kFirstHalfTwice);
  const __m512i secondHalf = Load(kSecondHalfTwice);
  int32_t j = 0;
  for (; j + 32 <= count; j += 32) {
    const __m512i cells = LookUp<kPieces>(_mm512_min_epu16(Load(box + j), lastDistance), table);
    _mm512_storeu_si512(out + 2 * j, _mm512_permutexvar_epi16(firstHalf, cells));
    _mm512_storeu_si512(out + 2 * j + 32, _mm512_permutexvar_epi16(secondHalf, cells));
  }
  for (; j < count; ++j) {
    const uint16_t weight = weights.weights[box[j] < last ? box[j] : last];
    out[2 * j] = weight;
    out[2 * j + 1] = weight;
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

NlmRowKernels MakeKernels() {
  NlmRowKernels kernels = NlmKernelsAvx2Unchecked();
  kernels.name = "AVX-512";
  kernels.expandWeights = ExpandWeights;
  return kernels;
}

}  // namespace

// Defined here so that the table itself is built in this file; engine/nlm_kernels.cpp hands it out
// only when the processor has AVX-512.
const NlmRowKernels& NlmKernelsAvx512Unchecked() {
  static const NlmRowKernels kernels = MakeKernels();
  return kernels;
}
