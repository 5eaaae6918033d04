// The inner loops of the non-local-means filter: one kernel per pass, each over one row.
//
// Every kernel exists in forms with the same results to the bit: an SSE2 form, which every x86-64
// processor runs, an AVX2 form (engine/nlm_kernels_avx2.cpp, compiled for AVX2 alone) and an
// AVX-512 form (engine/nlm_kernels_avx512.cpp), each chosen at run time when the processor has it.
// Sums are whole numbers throughout, so the forms cannot differ by rounding: they differ only in
// how many pixels one instruction handles and in how a weight is looked up.
//
// Ranges: a guide difference is at most 255, a cell sum (2 × 2 differences) at most 1020, a box sum
// (3 × 3 cells, the 6 × 6 patch distance) at most 9180 and a weight at most 10000, so all of them
// fit unsigned 16-bit lanes, and the 8-bit sums of 221 offsets fit unsigned 32 bits (see
// engine/non_local_means.h).
#pragma once

#include <cstdint>

// One offset's share of one row: the weights of the partners x + d and x − d of each pixel x and
// the values they weigh.
template <typename Sample>
struct NlmOffsetRow {
  const uint16_t* w1;   // weight of x + d
  const uint16_t* w2;   // weight of x − d
  const Sample* plus;   // V(x + d)
  const Sample* minus;  // V(x − d)
};

// An accumulation adds up to this many offsets in one pass over the sums, so the sums are read and
// written once for all of them. The 16-bit kernels hold the value increments of the pass in 32-bit
// lanes: one offset adds at most 2 · 10000 · 65535 < 2^31, three less than 2^32.
constexpr int32_t kMaxOffsetsPerPass8 = 4;
constexpr int32_t kMaxOffsetsPerPass16 = 3;

// The weights of one intensity level by clamped distance, for the expansion: weights[k] for
// k = 0 … span − 1, readable up to the next multiple of 64 entries, and pairs[k] = weights[k] in
// both 16-bit halves. Each form reads the layout that suits its look-ups.
struct NlmWeightTable {
  const uint16_t* weights;
  const uint32_t* pairs;
  int32_t span;
};

struct NlmRowKernels {
  const char* name;

  // cells[j] = |p0[2j] − g0[2j]| + |p0[2j+1] − g0[2j+1]| + |p1[2j] − g1[2j]| + |p1[2j+1] −
  // g1[2j+1]| for j in [0, count): two guide rows g0, g1 against their partner rows p0, p1.
  void (*cellSums)(uint16_t* cells, const uint8_t* g0, const uint8_t* p0, const uint8_t* g1,
                   const uint8_t* p1, int32_t count);

  // out[j] = in[j − 1] + in[j] + in[j + 1] for j in [0, count); reads in[−1] … in[count].
  void (*horizontalSums)(uint16_t* out, const uint16_t* in, int32_t count);

  // out[j] = a[j] + b[j] + c[j] for j in [0, count).
  void (*verticalSums)(uint16_t* out, const uint16_t* a, const uint16_t* b, const uint16_t* c,
                       int32_t count);

  // From cell values to pixel values, both pixels of a cell getting the cell's: for j in
  // [0, count), out[2j] = out[2j + 1] = table.weights[min(box[j], table.span − 1)]. Used when one
  // table serves every intensity level, so a weight is looked up once per cell.
  void (*expandWeights)(uint16_t* out, const uint16_t* box, int32_t count,
                        const NlmWeightTable& table);

  // out[2j] = out[2j + 1] = min(box[j], span − 1) for j in [0, count): clamped distances, for
  // the tables that differ by level and are looked up per pixel.
  void (*expandDistances)(uint16_t* out, const uint16_t* box, int32_t count, int32_t span);

  // Per-pixel look-up for x in [0, count): w1[x] = tables[levels[x] · stride + k1[x]] and
  // w2[x] = tables[levels[x] · stride + k2[x]]. The tables are padded for 32-bit reads at their
  // last entry.
  void (*lookUpWeights)(uint16_t* w1, uint16_t* w2, const uint16_t* k1, const uint16_t* k2,
                        const uint8_t* levels, const uint16_t* tables, int32_t stride,
                        int32_t count);

  // The contribution of `rowCount` offsets (1 … kMaxOffsetsPerPass8 or 16) to one row, x in
  // [0, count), for each offset row r:
  //   weightSum[x] += r.w1[x] + r.w2[x];  valueSum[x] += r.w1[x] · r.plus[x] + r.w2[x] ·
  //   r.minus[x].
  void (*accumulate8)(uint32_t* weightSum, uint32_t* valueSum, const NlmOffsetRow<uint8_t>* rows,
                      int32_t rowCount, int32_t count);
  void (*accumulate16)(uint32_t* weightSum, uint64_t* valueSum, const NlmOffsetRow<uint16_t>* rows,
                       int32_t rowCount, int32_t count);
};

// The SSE2 kernels; always available.
const NlmRowKernels& NlmKernelsSse2();

// The AVX2 kernels, or null when the processor lacks AVX2.
const NlmRowKernels* NlmKernelsAvx2();

// The AVX-512 kernels (foundation, byte and word, vector length, VNNI), or null when the processor
// or the system lacks them.
const NlmRowKernels* NlmKernelsAvx512();

// The kernels the filter uses: the widest form the processor has, unless `UseNlmKernels` chose
// others.
const NlmRowKernels& ActiveNlmKernels();

// Makes the filter use `kernels` (null: back to the automatic choice). For tests and benchmarks
// that compare the forms; not for use while a filter runs.
void UseNlmKernels(const NlmRowKernels* kernels);
