#include "engine/nlm_offset_passes.h"

#include <algorithm>
#include <cstring>
#include <type_traits>

namespace {

size_t Index(int32_t row, int32_t width) { return static_cast<size_t>(row) * width; }

// Cell columns [lo, hi).
struct ColumnSpan {
  int32_t lo;
  int32_t hi;
};

// C(y, x) of the difference raster: |G(p + d) − G(p)|, or G(p) where p + d leaves the raster.
int32_t Difference(const uint8_t* guide, const NlmGeometry& g, NlmOffset d, int32_t y, int32_t x) {
  const int32_t here = guide[Index(y, g.paddedWidth) + x];
  const int32_t py = y + d.dy;
  const int32_t px = x + d.dx;
  if (py < 0 || py >= g.paddedHeight || px < 0 || px >= g.paddedWidth) return here;
  const int32_t partner = guide[Index(py, g.paddedWidth) + px];
  return partner > here ? partner - here : here - partner;
}

int32_t CellFromDifferences(const uint8_t* guide, const NlmGeometry& g, NlmOffset d, int32_t i,
                            int32_t j) {
  return Difference(guide, g, d, 2 * i, 2 * j) + Difference(guide, g, d, 2 * i, 2 * j + 1) +
         Difference(guide, g, d, 2 * i + 1, 2 * j) + Difference(guide, g, d, 2 * i + 1, 2 * j + 1);
}

// The cell sums of cell row i for the columns [from, to). The cells whose four pixels all have a
// partner inside the raster go through the kernel; those at the left and right ends of the raster
// (and whole rows near the top, for rasters whose border is narrower than the window) are summed
// one by one.
void CellRow(uint16_t* cells, const uint8_t* guide, const NlmGeometry& g, NlmOffset d, int32_t i,
             ColumnSpan columns, const NlmRowKernels& kernels) {
  const int32_t wp = g.paddedWidth;
  const int32_t r0 = 2 * i;
  int32_t first = columns.lo;
  int32_t end = columns.lo;
  if (r0 + d.dy >= 0 && r0 + 1 + d.dy < g.paddedHeight) {
    first = std::clamp((std::max(0, -d.dx) + 1) / 2, columns.lo, columns.hi);  // 2j + dx ≥ 0
    end = std::clamp((wp - d.dx) / 2, first, columns.hi);                      // 2j + 1 + dx < wp
  }
  for (int32_t j = columns.lo; j < first; ++j) {
    cells[j] = static_cast<uint16_t>(CellFromDifferences(guide, g, d, i, j));
  }
  if (end > first) {
    const size_t x = 2 * static_cast<size_t>(first);
    const uint8_t* g0 = guide + Index(r0, wp) + x;
    const uint8_t* p0 = guide + Index(r0 + d.dy, wp) + x + d.dx;
    kernels.cellSums(cells + first, g0, p0, g0 + wp, p0 + wp, end - first);
  }
  for (int32_t j = end; j < columns.hi; ++j) {
    cells[j] = static_cast<uint16_t>(CellFromDifferences(guide, g, d, i, j));
  }
}

// Horizontal 3-cell sums of a cell row for the interior columns among [from, to); reads the cells
// of [from − 1, to + 1).
void AcrossRow(uint16_t* across, const uint16_t* cells, const NlmGeometry& g, ColumnSpan columns,
               const NlmRowKernels& kernels) {
  const int32_t from = std::max(columns.lo, 1);
  const int32_t to = std::min(columns.hi, g.cellWidth - 1);
  if (to > from) kernels.horizontalSums(across + from, cells + from, to - from);
}

// Box row i for the columns [from, to), from the cell rows i − 1 … i + 1 and their horizontal
// sums (rows a cell raster width apart). The outermost ring of the cell raster (rows 0 and
// cellHeight − 1, columns 0 and cellWidth − 1) keeps its cell sums.
void BoxRow(uint16_t* box, const uint16_t* cells, const uint16_t* across, int32_t i,
            const NlmGeometry& g, ColumnSpan columns, const NlmRowKernels& kernels) {
  const int32_t wc = g.cellWidth;
  if (i == 0 || i == g.cellHeight - 1) {
    std::memcpy(box + columns.lo, cells + columns.lo, sizeof(uint16_t) * (columns.hi - columns.lo));
    return;
  }
  const int32_t from = std::max(columns.lo, 1);
  const int32_t to = std::min(columns.hi, wc - 1);
  if (to > from) {
    kernels.verticalSums(box + from, across - wc + from, across + from, across + wc + from,
                         to - from);
  }
  if (columns.lo == 0) box[0] = cells[0];
  if (columns.hi == wc) box[wc - 1] = cells[wc - 1];
}

// The cell rows [lo, hi] (inclusive) that the box rows of a band read.
struct RowSpan {
  int32_t lo;
  int32_t hi;
};

// The box columns [lo, hi) that the accumulation of offset d reads: those of the pixels x and
// x − d of the unpadded columns. Only these are summed and expanded; with the widest border
// (38 pixels) that skips some 4 % of the cells of an 1100-pixel-wide tile, and the cells at the
// raster's left and right ends, which lack partners, are never needed.
ColumnSpan BoxColumnsOfOffset(const NlmGeometry& g, NlmOffset d) {
  const int32_t first = g.border + std::min(0, -d.dx);
  const int32_t last = g.border + g.width - 1 + std::max(0, -d.dx);
  return {first >> 1, (last >> 1) + 1};
}

// Box rows read by band rows y0 … y1 − 1: those of the pixels themselves and of the pixels − d.
RowSpan BoxRowsOfBand(const NlmGeometry& g, NlmBand band, NlmOffset d) {
  const int32_t b = g.border;
  const int32_t nearLo = (band.y0 + b) >> 1;
  const int32_t nearHi = (band.y1 - 1 + b) >> 1;
  const int32_t farLo = (band.y0 + b - d.dy) >> 1;
  const int32_t farHi = (band.y1 - 1 + b - d.dy) >> 1;
  return {std::min(nearLo, farLo), std::max(nearHi, farHi)};
}

}  // namespace

template <typename Sum>
void NlmBandScratch<Sum>::Size(const NlmGeometry& g, int32_t bandRows, int32_t offsetsPerPass) {
  cellRowCapacity = (bandRows + g.searchRadius) / 2 + 4;
  expandedSize = Index(cellRowCapacity, g.paddedWidth);
  cells.resize(Index(cellRowCapacity, g.cellWidth));
  across.resize(cells.size());
  box.resize(g.cellWidth);
  expanded.resize(expandedSize * offsetsPerPass);
  nearWeights.resize(Index(offsetsPerPass, g.width));
  farWeights.resize(nearWeights.size());
  weightSum.resize(Index(bandRows, g.width));
  valueSum.resize(weightSum.size());
}

template <typename Sample, typename Sum>
void StartBandSums(NlmBandScratch<Sum>& scratch, const NlmPlanes<Sample>& planes,
                   const NlmGeometry& g, NlmBand band) {
  for (int32_t y = band.y0; y < band.y1; ++y) {
    const Sample* values = planes.values + Index(y + g.border, g.paddedWidth) + g.border;
    uint32_t* weights = scratch.weightSum.data() + Index(y - band.y0, g.width);
    Sum* sums = scratch.valueSum.data() + Index(y - band.y0, g.width);
    for (int32_t x = 0; x < g.width; ++x) {
      weights[x] = kCentreWeight;
      sums[x] = Sum{kCentreWeight} * values[x];
    }
  }
}

// Steps 1 to 3 for one offset: the box rows `boxRows` of a band, at pixel resolution, into
// `expanded` (row i − boxRows.lo at i's place, columns in padded coordinates).
template <typename Sum>
void ExpandBoxRows(uint16_t* expanded, NlmBandScratch<Sum>& scratch, const uint8_t* guide,
                   const NlmGeometry& g, NlmOffset d, RowSpan boxRows,
                   const CompactWeightTables& tables, const NlmRowKernels& kernels) {
  const int32_t wc = g.cellWidth;
  const RowSpan cellRows{std::max(boxRows.lo - 1, 0), std::min(boxRows.hi + 1, g.cellHeight - 1)};
  const ColumnSpan boxColumns = BoxColumnsOfOffset(g, d);
  const ColumnSpan cellColumns{std::max(boxColumns.lo - 1, 0), std::min(boxColumns.hi + 1, wc)};

  // 1, 2. Cell sums and their horizontal sums, then the box rows.
  for (int32_t i = cellRows.lo; i <= cellRows.hi; ++i) {
    uint16_t* cells = scratch.cells.data() + Index(i - cellRows.lo, wc);
    CellRow(cells, guide, g, d, i, cellColumns, kernels);
    AcrossRow(scratch.across.data() + Index(i - cellRows.lo, wc), cells, g, boxColumns, kernels);
  }
  uint16_t* box = scratch.box.data();
  const int32_t count = boxColumns.hi - boxColumns.lo;
  const NlmWeightTable weights{tables.Level(0), tables.pairs.data(), tables.span};
  for (int32_t i = boxRows.lo; i <= boxRows.hi; ++i) {
    BoxRow(box, scratch.cells.data() + Index(i - cellRows.lo, wc),
           scratch.across.data() + Index(i - cellRows.lo, wc), i, g, boxColumns, kernels);
    // 3. Weights per cell when one table serves all levels, else clamped distances.
    uint16_t* row = expanded + Index(i - boxRows.lo, g.paddedWidth) + 2 * boxColumns.lo;
    if (tables.uniform) {
      kernels.expandWeights(row, box + boxColumns.lo, count, weights);
    } else {
      kernels.expandDistances(row, box + boxColumns.lo, count, tables.span);
    }
  }
}

template <typename Sample, typename Sum>
void AccumulateBandOffsets(NlmBandScratch<Sum>& scratch, const NlmPlanes<Sample>& planes,
                           const NlmGeometry& g, NlmBand band, const NlmOffset* offsets,
                           int32_t count, const CompactWeightTables& tables,
                           const NlmRowKernels& kernels) {
  const int32_t wp = g.paddedWidth;
  const int32_t b = g.border;
  RowSpan boxRows[kOffsetsPerPass<Sample>];
  for (int32_t k = 0; k < count; ++k) {
    boxRows[k] = BoxRowsOfBand(g, band, offsets[k]);
    ExpandBoxRows(scratch.expanded.data() + k * scratch.expandedSize, scratch, planes.guide, g,
                  offsets[k], boxRows[k], tables, kernels);
  }

  // 4. Accumulation, row by row, all offsets of the pass at once.
  NlmOffsetRow<Sample> rows[kOffsetsPerPass<Sample>];
  for (int32_t y = band.y0; y < band.y1; ++y) {
    const int32_t qy = y + b;
    for (int32_t k = 0; k < count; ++k) {
      const NlmOffset d = offsets[k];
      const uint16_t* expanded = scratch.expanded.data() + k * scratch.expandedSize;
      NlmOffsetRow<Sample>& row = rows[k];
      row.w1 = expanded + Index((qy >> 1) - boxRows[k].lo, wp) + b;
      row.w2 = expanded + Index(((qy - d.dy) >> 1) - boxRows[k].lo, wp) + b - d.dx;
      row.plus = planes.values + Index(qy + d.dy, wp) + b + d.dx;
      row.minus = planes.values + Index(qy - d.dy, wp) + b - d.dx;
      if (!tables.uniform) {
        // The rows hold clamped distances: look the weights up by the guide value of x.
        uint16_t* nearWeights = scratch.nearWeights.data() + Index(k, g.width);
        uint16_t* farWeights = scratch.farWeights.data() + Index(k, g.width);
        kernels.lookUpWeights(nearWeights, farWeights, row.w1, row.w2,
                              planes.guide + Index(qy, wp) + b, tables.weights.data(),
                              tables.stride, g.width);
        row.w1 = nearWeights;
        row.w2 = farWeights;
      }
    }
    uint32_t* weights = scratch.weightSum.data() + Index(y - band.y0, g.width);
    Sum* sums = scratch.valueSum.data() + Index(y - band.y0, g.width);
    if constexpr (std::is_same_v<Sample, uint8_t>) {
      kernels.accumulate8(weights, sums, rows, count, g.width);
    } else {
      kernels.accumulate16(weights, sums, rows, count, g.width);
    }
  }
}

void BoxRowForOffset(uint16_t* out, const uint8_t* guide, const NlmGeometry& g, NlmOffset d,
                     int32_t cellRow, const NlmRowKernels& kernels) {
  const int32_t wc = g.cellWidth;
  std::vector<uint16_t> cells(Index(3, wc));
  std::vector<uint16_t> across(cells.size());
  const ColumnSpan all{0, wc};
  for (int32_t k = 0; k < 3; ++k) {
    const int32_t i = std::clamp(cellRow - 1 + k, 0, g.cellHeight - 1);
    CellRow(cells.data() + Index(k, wc), guide, g, d, i, all, kernels);
    AcrossRow(across.data() + Index(k, wc), cells.data() + Index(k, wc), g, all, kernels);
  }
  BoxRow(out, cells.data() + wc, across.data() + wc, cellRow, g, all, kernels);
}

template struct NlmBandScratch<uint32_t>;
template struct NlmBandScratch<uint64_t>;
template void StartBandSums<uint8_t, uint32_t>(NlmBandScratch<uint32_t>&, const NlmPlanes<uint8_t>&,
                                               const NlmGeometry&, NlmBand);
template void StartBandSums<uint16_t, uint64_t>(NlmBandScratch<uint64_t>&,
                                                const NlmPlanes<uint16_t>&, const NlmGeometry&,
                                                NlmBand);
template void AccumulateBandOffsets<uint8_t, uint32_t>(
    NlmBandScratch<uint32_t>&, const NlmPlanes<uint8_t>&, const NlmGeometry&, NlmBand,
    const NlmOffset*, int32_t, const CompactWeightTables&, const NlmRowKernels&);
template void AccumulateBandOffsets<uint16_t, uint64_t>(
    NlmBandScratch<uint64_t>&, const NlmPlanes<uint16_t>&, const NlmGeometry&, NlmBand,
    const NlmOffset*, int32_t, const CompactWeightTables&, const NlmRowKernels&);
