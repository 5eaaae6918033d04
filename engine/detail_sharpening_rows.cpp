#include "engine/detail_sharpening_rows.h"

#include <emmintrin.h>

#include <algorithm>

namespace {

constexpr std::array<float, kPyramidWindow> kWeights = {0.05f, 0.25f, 0.4f, 0.25f, 0.05f};

PyramidKernel MakeKernel() {
  PyramidKernel kernel{};
  for (uint32_t r = 0; r < kPyramidWindow; ++r) {
    for (uint32_t c = 0; c < kPyramidWindow; ++c) kernel[r][c] = kWeights[r] * kWeights[c];
  }
  return kernel;
}

inline __m128 Load(const float* p) { return _mm_loadu_ps(p); }

// Samples p[0], p[2], p[4] and p[6]; reads p[0 … 7].
inline __m128 EverySecond(const float* p) {
  return _mm_shuffle_ps(Load(p), Load(p + 4), _MM_SHUFFLE(2, 0, 2, 0));
}

// The five source rows of one reduced row.
using ReduceRows = std::array<const float*, kPyramidWindow>;

float ReduceAt(const ReduceRows& rows, const PyramidKernel& kernel, uint32_t s) {
  float sum = 0.0f;
  for (uint32_t u = 0; u < kPyramidWindow; ++u) {
    for (uint32_t v = 0; v < kPyramidWindow; ++v) sum += kernel[u][v] * rows[u][s + v];
  }
  return sum;
}

// Target columns j … j + 3, whose windows start at 2j − 2 and read up to 2j + 13.
__m128 ReduceFour(const ReduceRows& rows, const PyramidKernel& kernel, uint32_t j) {
  __m128 sum = _mm_setzero_ps();
  for (uint32_t u = 0; u < kPyramidWindow; ++u) {
    const float* row = rows[u] + 2 * j - 2;
    for (uint32_t v = 0; v < kPyramidWindow; ++v) {
      sum = _mm_add_ps(sum, _mm_mul_ps(_mm_set1_ps(kernel[u][v]), EverySecond(row + v)));
    }
  }
  return sum;
}

// The even rows of one target row's expansion window: their coarse rows and kernel rows, top down.
struct ExpandRows {
  uint32_t count = 0;
  std::array<const float*, 3> coarse{};
  std::array<const float*, 3> kernel{};
};

ExpandRows EvenRowsOfWindow(const LevelRows& coarse, LevelSize coarseSize, LevelSize fineSize,
                            uint32_t i) {
  const PyramidKernel& kernel = DetailKernel();
  const uint32_t rs = ExpandWindowStart(i, fineSize.height);
  const uint32_t rowEnd = std::min(rs + kPyramidWindow, 2 * coarseSize.height);
  ExpandRows rows;
  for (uint32_t y = rs + (rs & 1); y < rowEnd; y += 2, ++rows.count) {
    rows.coarse[rows.count] = coarse.Row(y / 2);
    rows.kernel[rows.count] = kernel[y - rs].data();
  }
  return rows;
}

// Target column j in general form: the window's columns are worked out for j, which the first two
// and the last columns need.
float ExpandAtBorder(const ExpandRows& rows, uint32_t j, uint32_t width, uint32_t coarseWidth) {
  const uint32_t cs = ExpandWindowStart(j, width);
  const uint32_t columnEnd = std::min(cs + kPyramidWindow, 2 * coarseWidth);
  float sum = 0.0f;
  for (uint32_t r = 0; r < rows.count; ++r) {
    for (uint32_t x = cs + (cs & 1); x < columnEnd; x += 2) {
      sum += rows.kernel[r][x - cs] * rows.coarse[r][x / 2];
    }
  }
  return 4.0f * sum;
}

// Target columns inside the border, where the window starts at j − 2 and every even column of it
// has a coarse sample: an even j takes kernel columns 0, 2, 4 over coarse columns j / 2 − 1 …
// j / 2 + 1 (kFirstTap 0), an odd j kernel columns 1, 3 over (j − 1) / 2 and (j + 1) / 2
// (kFirstTap 1). The additions keep the order of the general form, so the values are the same to
// the bit. `Value` is float, or four lanes of consecutive coarse columns.
template <uint32_t kFirstTap, typename Value, typename LoadAt>
Value ExpandInterior(const ExpandRows& rows, uint32_t firstCoarse, Value zero,
                     const LoadAt& loadAt) {
  Value sum = zero;
  for (uint32_t r = 0; r < rows.count; ++r) {
    for (uint32_t t = kFirstTap; t < kPyramidWindow; t += 2) {
      sum = sum + loadAt(rows.kernel[r][t]) * loadAt(rows.coarse[r] + firstCoarse + t / 2);
    }
  }
  return loadAt(4.0f) * sum;
}

// Scalar and four-lane access for ExpandInterior: a kernel weight (broadcast) or the samples at a
// coarse position.
struct OneLane {
  float operator()(float weight) const { return weight; }
  float operator()(const float* p) const { return *p; }
};

struct FourLanes {
  __m128 operator()(float weight) const { return _mm_set1_ps(weight); }
  __m128 operator()(const float* p) const { return Load(p); }
};

// max(v, 0) gives 0 for NaN (maxps returns its second operand when either is NaN) and for v ≤ 0;
// min(·, maximum) then limits: the scalar v > 0 ? (v < maximum ? v : maximum) : 0, four at once.
template <typename Sample>
void LimitAndStore(Sample* out, uint32_t step, const float* in, uint32_t count, float maximum) {
  const __m128 zero = _mm_setzero_ps();
  const __m128 top = _mm_set1_ps(maximum);
  uint32_t k = 0;
  for (; k + 4 <= count; k += 4) {
    alignas(16) int32_t values[4];
    _mm_store_si128(reinterpret_cast<__m128i*>(values),
                    _mm_cvttps_epi32(_mm_min_ps(_mm_max_ps(Load(in + k), zero), top)));
    for (uint32_t i = 0; i < 4; ++i) out[(k + i) * size_t{step}] = static_cast<Sample>(values[i]);
  }
  for (; k < count; ++k) {
    const float limited = in[k] > 0.0f ? (in[k] < maximum ? in[k] : maximum) : 0.0f;
    out[k * size_t{step}] = static_cast<Sample>(limited);
  }
}

}  // namespace

const PyramidKernel& DetailKernel() {
  static const PyramidKernel kernel = MakeKernel();
  return kernel;
}

PyramidShape ShapeOfPyramid(uint32_t width, uint32_t height) {
  PyramidShape shape;
  shape.size[0] = {width, height};
  while (shape.levels < kMaxDetailLevels &&
         std::min(shape.size[shape.levels].width, shape.size[shape.levels].height) >=
             kPyramidWindow) {
    const LevelSize finer = shape.size[shape.levels];
    shape.size[++shape.levels] = {finer.width / 2, finer.height / 2};
  }
  return shape;
}

Footprint DetailPyramidFootprint() {
  constexpr auto kWindow = static_cast<int32_t>(kPyramidWindow);
  // Gaussian levels, then each rebuilt level: the expansion of the one below plus the detail, which
  // is the Gaussian level minus the expansion of the next.
  std::array<int32_t, kMaxDetailLevels + 1> gauss{};
  for (uint32_t l = 0; l < kMaxDetailLevels; ++l) gauss[l + 1] = ReducedReach(gauss[l], kWindow);
  int32_t rebuilt = gauss[kMaxDetailLevels];
  for (uint32_t l = kMaxDetailLevels; l-- > 0;) {
    const int32_t detail = std::max(gauss[l], ExpandedReach(gauss[l + 1], kWindow));
    rebuilt = std::max(ExpandedReach(rebuilt, kWindow), detail);
  }
  constexpr int32_t kCoarsestScale = 1 << kMaxDetailLevels;
  return {rebuilt, kCoarsestScale, kWindow * kCoarsestScale};
}

uint32_t ReduceWindowStart(uint32_t i, uint32_t n) {
  const uint32_t start = i <= 1 ? 0 : 2 * i - 2;
  return start + kPyramidWindow > n ? n - kPyramidWindow : start;
}

uint32_t ExpandWindowStart(uint32_t i, uint32_t n) {
  return i < 2 ? 0 : std::min(i - 2, n - kPyramidWindow);
}

RowSpan RowsReducedFrom(RowSpan coarse, uint32_t fineHeight) {
  return {ReduceWindowStart(coarse.first, fineHeight),
          ReduceWindowStart(coarse.end - 1, fineHeight) + kPyramidWindow};
}

RowSpan RowsExpandedFrom(RowSpan fine, uint32_t fineHeight, uint32_t coarseHeight) {
  const uint32_t first = ExpandWindowStart(fine.first, fineHeight);
  const uint32_t last = ExpandWindowStart(fine.end - 1, fineHeight);
  const uint32_t rowEnd = std::min(last + kPyramidWindow, 2 * coarseHeight);
  return {(first + 1) / 2, (rowEnd - 1) / 2 + 1};
}

void FloatsToSamples(uint8_t* out, uint32_t step, const float* in, uint32_t count, float maximum) {
  LimitAndStore(out, step, in, count, maximum);
}

void FloatsToSamples(uint16_t* out, uint32_t step, const float* in, uint32_t count, float maximum) {
  LimitAndStore(out, step, in, count, maximum);
}

void RebuildRow(float* rebuilt, const float* gaussian, const float* expanded,
                const float* expandedRebuilt, float gain, uint32_t count) {
  const __m128 gains = _mm_set1_ps(gain);
  uint32_t k = 0;
  for (; k + 4 <= count; k += 4) {
    const __m128 detail = _mm_sub_ps(Load(gaussian + k), Load(expanded + k));
    _mm_storeu_ps(rebuilt + k, _mm_add_ps(Load(expandedRebuilt + k), _mm_mul_ps(gains, detail)));
  }
  for (; k < count; ++k) {
    const float detail = gaussian[k] - expanded[k];
    const float scaled = gain * detail;
    rebuilt[k] = expandedRebuilt[k] + scaled;
  }
}

void ReduceRow(float* out, const LevelRows& fine, LevelSize fineSize, uint32_t coarseWidth,
               uint32_t i) {
  const PyramidKernel& kernel = DetailKernel();
  const uint32_t r = ReduceWindowStart(i, fineSize.height);
  ReduceRows rows;
  for (uint32_t u = 0; u < kPyramidWindow; ++u) rows[u] = fine.Row(r + u);
  // Four columns at a time where every window starts at 2j − 2 and the loads stay inside the row:
  // the last column j of a group reads up to 2j + 3, which must be below the width.
  const uint32_t fourEnd = std::min(coarseWidth, fineSize.width / 2 - 1);
  uint32_t j = 0;
  for (; j < std::min(2u, coarseWidth); ++j) {
    out[j] = ReduceAt(rows, kernel, ReduceWindowStart(j, fineSize.width));
  }
  for (; j + 4 <= fourEnd; j += 4) _mm_storeu_ps(out + j, ReduceFour(rows, kernel, j));
  for (; j < coarseWidth; ++j) {
    out[j] = ReduceAt(rows, kernel, ReduceWindowStart(j, fineSize.width));
  }
}

void ExpandRow(float* out, const LevelRows& coarse, LevelSize coarseSize, LevelSize fineSize,
               uint32_t i) {
  const ExpandRows rows = EvenRowsOfWindow(coarse, coarseSize, fineSize, i);
  const uint32_t width = fineSize.width;
  const uint32_t coarseWidth = coarseSize.width;
  // Columns 2 … 2w − 3 have the whole window inside the coarse level (w = coarseWidth ≥ 2): pairs
  // of an even column 2m and an odd one 2m + 1 for m = 1 … w − 2. Four pairs at a time read the
  // coarse columns m − 1 … m + 4.
  const uint32_t interiorEnd = 2 * coarseWidth - 2;
  uint32_t j = 0;
  for (; j < 2; ++j) out[j] = ExpandAtBorder(rows, j, width, coarseWidth);
  for (; j + 7 < interiorEnd; j += 8) {
    const uint32_t m = j / 2;
    const __m128 even = ExpandInterior<0>(rows, m - 1, _mm_setzero_ps(), FourLanes{});
    const __m128 odd = ExpandInterior<1>(rows, m, _mm_setzero_ps(), FourLanes{});
    _mm_storeu_ps(out + j, _mm_unpacklo_ps(even, odd));
    _mm_storeu_ps(out + j + 4, _mm_unpackhi_ps(even, odd));
  }
  for (; j + 1 < interiorEnd; j += 2) {
    out[j] = ExpandInterior<0>(rows, j / 2 - 1, 0.0f, OneLane{});
    out[j + 1] = ExpandInterior<1>(rows, j / 2, 0.0f, OneLane{});
  }
  for (; j < width; ++j) out[j] = ExpandAtBorder(rows, j, width, coarseWidth);
}
