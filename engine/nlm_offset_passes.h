// The passes that add one search offset d to the non-local-means sums of one band of rows.
//
// For offset d the filter needs, for every pixel x of the band, the 6 × 6 patch distance of x to
// x + d (the box sum of the cell of x) and that of x − d to x (the box sum of the cell of x − d).
// Both are read from box rows at cell resolution, so the passes build only the cell rows a band
// reads, not whole rasters:
//   1. cell sums: 2 × 2 sums of |G(p + d) − G(p)| (G(p) itself where p + d leaves the padded
//      raster) for the cell rows the box rows need;
//   2. box sums: 3 × 3 sums of cells, a horizontal and a vertical pass; the outermost ring of the
//      cell raster keeps its 2 × 2 sums;
//   3. expansion: each box row widened to pixel resolution, both pixels of a cell getting the
//      cell's value — its weight when one table serves every intensity level, else its distance
//      clamped to the span of the compact tables (engine/weight_table_cache.h);
//   4. accumulation: for every pixel x with guide value I, weights u1 = T_I[dist(x)] and
//      u2 = T_I[dist(x − d)]; weightSum(x) += u1 + u2, valueSum(x) += u1 · V(x + d) + u2 · V(x −
//      d).
//
// Rows of the half window have dy ≤ 0, so x − d lies at most R rows below x: a band of h pixel rows
// reads h / 2 + R / 2 + 1 box rows, each 3 cell rows high. The band rows are chosen so that its
// sums, its expanded rows and the guide and value rows it reads stay in the level-2 cache while
// all offsets pass over them (see engine/non_local_means.cpp).
#pragma once

#include <cstdint>
#include <vector>

#include "engine/nlm_kernels.h"
#include "engine/non_local_means.h"
#include "engine/weight_table_cache.h"

// The padded rasters every thread of one call reads: the 8-bit guide and the values averaged
// (the guide itself for 8-bit input), both paddedWidth × paddedHeight, row-major, packed.
template <typename Sample>
struct NlmPlanes {
  const uint8_t* guide;
  const Sample* values;
};

// A band of pixel rows [y0, y1) of the unpadded raster; y0 is even.
struct NlmBand {
  int32_t y0;
  int32_t y1;
};

// The most offsets one accumulation pass adds for a depth (engine/nlm_kernels.h).
template <typename Sample>
constexpr int32_t kOffsetsPerPass = sizeof(Sample) == 1 ? kMaxOffsetsPerPass8
                                                        : kMaxOffsetsPerPass16;

// The scratch rows of one thread, sized once per call for bands of at most `bandRows` rows and
// reused for every band and offset. The expanded rows and per-pixel weights exist once per offset
// of a pass. Sizing again keeps the memory already held, so one scratch serves call after call;
// nothing in it needs clearing, every value is written before it is read.
template <typename Sum>
struct NlmBandScratch {
  void Size(const NlmGeometry& g, int32_t bandRows, int32_t offsetsPerPass);

  int32_t cellRowCapacity = 0;
  size_t expandedSize = 0;            // cellRowCapacity × paddedWidth: the rows of one offset
  std::vector<uint16_t> cells;        // cell sums, cellRowCapacity × cellWidth
  std::vector<uint16_t> across;       // horizontal 3-cell sums of the same rows
  std::vector<uint16_t> box;          // one box row, cellWidth
  std::vector<uint16_t> expanded;     // box rows at pixel resolution, one expandedSize per offset
  std::vector<uint16_t> nearWeights;  // per-pixel weights u1 and u2 of one row, one width per
  std::vector<uint16_t> farWeights;   // offset (tables by level only)
  std::vector<uint32_t> weightSum;    // bandRows × width
  std::vector<Sum> valueSum;          // uint32_t for 8-bit values, uint64_t for 16-bit
};

// Starts the sums of a band with the centre offset (0, 0), whose distance is 0 and weight 10000
// at every level: weightSum = 10000, valueSum = 10000 · V.
template <typename Sample, typename Sum>
void StartBandSums(NlmBandScratch<Sum>& scratch, const NlmPlanes<Sample>& planes,
                   const NlmGeometry& g, NlmBand band);

// Adds the contribution of `count` offsets d ≠ (0, 0) (at most kOffsetsPerPass<Sample>) and of
// their mirrors −d to the sums of a band, in one accumulation pass.
template <typename Sample, typename Sum>
void AccumulateBandOffsets(NlmBandScratch<Sum>& scratch, const NlmPlanes<Sample>& planes,
                           const NlmGeometry& g, NlmBand band, const NlmOffset* offsets,
                           int32_t count, const CompactWeightTables& tables,
                           const NlmRowKernels& kernels);

// The box sums of one cell row for offset d, as the passes above form them (cell rows i − 1 … i + 1
// through the kernels): `out` gets cellWidth values. For tests that compare the band passes with
// whole-raster passes.
void BoxRowForOffset(uint16_t* out, const uint8_t* guide, const NlmGeometry& g, NlmOffset d,
                     int32_t cellRow, const NlmRowKernels& kernels);
