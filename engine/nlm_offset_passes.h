// The passes that add one search offset d to the non-local-means sums.
//
// All rasters are packed, row-major, in the padded geometry of `NlmGeometry`: the difference raster
// and the guide have paddedWidth × paddedHeight bytes, the cell rasters cellWidth × cellHeight
// 16-bit sums, the sums one entry per pixel of the unpadded W × H raster.
#pragma once

#include <cstdint>

#include "engine/non_local_means.h"
#include "engine/weight_table_cache.h"

// C := G, then C(p) := |G(p + d) − G(p)| wherever p + d lies inside the padded raster.
void DifferencePass(uint8_t* diff, const uint8_t* guide, const NlmGeometry& g, NlmOffset d);

// cells(i, j) := sum of the 2 × 2 differences C(2i … 2i+1, 2j … 2j+1).
void CellSumPass(uint16_t* cells, const uint8_t* diff, const NlmGeometry& g);

// cells(i, j) := sum of the 3 × 3 cells centred on (i, j) for the interior cells, a horizontal
// pass into `scratch` and a vertical pass back. The outermost ring keeps its 2 × 2 sums. An
// interior value is the distance between the 6 × 6 patches at p and p + d (at most 9180) for the
// four pixels p of cell (i, j).
void BoxSumPass(uint16_t* cells, uint16_t* scratch, const NlmGeometry& g);

// Adds the contribution of offset d (and of −d, unless d is the centre) to every pixel x:
//   u1 = T[dist(x)], u2 = T[dist(x − d)], T the table of the guide value at x;
//   weightSum(x) += u1 + u2; valueSum(x) += u1 · V(x + d) + u2 · V(x − d).
// For the centre, weightSum(x) += T[0] and valueSum(x) += T[0] · V(x).
template <typename Sample, typename Sum>
void AccumulateOffset(Sum* weightSum, Sum* valueSum, const uint8_t* guide, const Sample* values,
                      const uint16_t* cells, const NlmGeometry& g, NlmOffset d,
                      const WeightTables& tables);
