// The row operations of the detail pyramid (engine/detail_sharpening.h): one row of a reduction or
// of an expansion, computed from rows of the neighbouring level, and which rows of that level it
// reads. The whole-plane pyramid and the banded sharpening (engine/detail_sharpening_bands.h) both
// build on them, so that a row has the same value to the bit whoever computes it.
//
// Every value is a sum of kernel weight times sample, added term by term in a fixed order in single
// precision; the SSE2 forms compute four columns at once with the same order in each lane. The
// multiplications and additions stay separate roundings: no engine file is compiled with fused
// multiply-add contraction.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "engine/footprint.h"

inline constexpr uint32_t kPyramidWindow = 5;
inline constexpr uint32_t kMaxDetailLevels = 3;

// K[r][c] = w[r] · w[c] with w = (0.05, 0.25, 0.4, 0.25, 0.05), each product rounded to float.
using PyramidKernel = std::array<std::array<float, kPyramidWindow>, kPyramidWindow>;
const PyramidKernel& DetailKernel();

struct LevelSize {
  uint32_t width;
  uint32_t height;
};

// The levels of a pyramid over a width × height picture: level 0 is the picture's size and each
// further level halves the previous one, truncating. A level is reduced while its smaller side is
// at least 5 (the window) and fewer than three reductions were made, so every level below `levels`
// is at least 5 × 5; the coarsest may be smaller.
struct PyramidShape {
  uint32_t levels = 0;
  std::array<LevelSize, kMaxDetailLevels + 1> size{};

  // A level smaller than 5 × 5 is not reduced into: it stays all zeros.
  bool Reducible(uint32_t level) const {
    return size[level].width >= kPyramidWindow && size[level].height >= kPyramidWindow;
  }
};
PyramidShape ShapeOfPyramid(uint32_t width, uint32_t height);

// The footprint of rebuilding a picture from its detail pyramid (engine/footprint.h): the reach of
// three reductions and the expansions back, a grid on which the coarsest level falls, and sides
// from which every picture has three levels, each reduced into.
Footprint DetailPyramidFootprint();

// Rows [first, end) of one level in memory, packed: row y at data + (y − first) · width.
struct LevelRows {
  const float* data;
  uint32_t first;
  uint32_t width;

  const float* Row(uint32_t y) const { return data + static_cast<size_t>(y - first) * width; }
};

// Rows [first, end).
struct RowSpan {
  uint32_t first;
  uint32_t end;
};

// First source index of the reduction window for target index i over n ≥ 5 source samples:
// centred on 2i and shifted inward at both borders, never mirrored or padded.
uint32_t ReduceWindowStart(uint32_t i, uint32_t n);

// First target index of the expansion window for target index i over n ≥ 5 target samples.
uint32_t ExpandWindowStart(uint32_t i, uint32_t n);

// The rows of a level of height `fineHeight` that the reduction of the coarser rows `coarse` reads.
RowSpan RowsReducedFrom(RowSpan coarse, uint32_t fineHeight);

// The rows of the coarser level (height `coarseHeight`) that the expansion of the rows `fine` of a
// level of height `fineHeight` reads.
RowSpan RowsExpandedFrom(RowSpan fine, uint32_t fineHeight, uint32_t coarseHeight);

// Calls op with a sample of the pyramid's depth: uint8_t at 8 bits, uint16_t at 16, the only two
// it takes.
template <typename Op>
void VisitPyramidSample(uint32_t bits, const Op& op) {
  if (bits == 8) {
    op(uint8_t{});
  } else {
    op(uint16_t{});
  }
}

// One row of `count` samples of one component as floats: in[k · step] becomes out[k].
template <typename Sample>
void SamplesToFloats(float* out, const Sample* in, uint32_t count, uint32_t step) {
  for (uint32_t k = 0; k < count; ++k) out[k] = in[static_cast<size_t>(k) * step];
}

// The reverse, each value limited to 0 … `maximum` (at most 65535) and truncated toward zero; NaN
// becomes 0.
void FloatsToSamples(uint8_t* out, uint32_t step, const float* in, uint32_t count, float maximum);
void FloatsToSamples(uint16_t* out, uint32_t step, const float* in, uint32_t count, float maximum);

// One row of a rebuilt level: rebuilt[k] = expandedRebuilt[k] + gain · (gaussian[k] − expanded[k]),
// the detail (the Gaussian row minus the expansion of the next Gaussian level) scaled by its gain
// and added to the expansion of the next rebuilt level, each step rounded to float.
void RebuildRow(float* rebuilt, const float* gaussian, const float* expanded,
                const float* expandedRebuilt, float gain, uint32_t count);

// Row i of the reduction of `fine` (a level of `fineSize`, at least 5 × 5) to a level of width
// `coarseWidth` (at least 5): the 5 × 5 kernel at every second sample, into out[0, coarseWidth).
void ReduceRow(float* out, const LevelRows& fine, LevelSize fineSize, uint32_t coarseWidth,
               uint32_t i);

// Row i of the expansion of `coarse` (a level of `coarseSize`) to a level of `fineSize` (at least
// 5 × 5), into out[0, fineSize.width): 4 · Σ K · coarse over the even rows and columns of the
// window. In the interior the even taps' weights sum to one half in each direction, which the
// factor 4 restores to unit gain; at the far border of an odd-sized level the last even position
// has no coarse sample and the gain falls below one.
void ExpandRow(float* out, const LevelRows& coarse, LevelSize coarseSize, LevelSize fineSize,
               uint32_t i);
