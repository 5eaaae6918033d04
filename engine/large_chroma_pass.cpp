#include "engine/large_chroma_pass.h"

#include <emmintrin.h>

#include <algorithm>
#include <array>
#include <cstddef>
#include <limits>
#include <new>

#include "engine/denoise_component.h"
#include "engine/split_rows.h"
#include "picture/allocation_failures.h"

namespace {

// The pyramid's generating kernel: five binomial-like taps whose even and odd taps each sum to 0.5,
// so an expansion (which reads only every other sample, scaled by 4) reproduces flat areas.
constexpr std::array<float, 5> kTaps = {0.05f, 0.25f, 0.4f, 0.25f, 0.05f};
constexpr int32_t kSide = 5;
constexpr size_t kKernelSize = kSide * kSide;

constexpr std::array<float, kKernelSize> MakeKernel() {
  std::array<float, kKernelSize> kernel{};
  for (int32_t i = 0; i < kSide; ++i) {
    for (int32_t j = 0; j < kSide; ++j) kernel[i * kSide + j] = kTaps[i] * kTaps[j];
  }
  return kernel;
}

constexpr std::array<float, kKernelSize> kKernel = MakeKernel();

// Reductions into a level and expansions onto it place a 5 × 5 window inside it, so both are
// skipped for a level with a side of 4 or less.
bool HoldsWindow(const PyramidLevel& level) { return level.width > 4 && level.height > 4; }

// First row or column of a window that would start at `start`, shifted inward so that all five
// samples lie inside a span of `size` (at least 5): windows are moved at the borders, never cut.
int32_t WindowStart(int32_t start, int32_t size) {
  return std::min(std::max(start, 0), size - kSide);
}

float& At(std::vector<float>& plane, int32_t width, int32_t y, int32_t x) {
  return plane[static_cast<size_t>(y) * width + x];
}
float At(const std::vector<float>& plane, int32_t width, int32_t y, int32_t x) {
  return plane[static_cast<size_t>(y) * width + x];
}

// Both passes below keep, for every output sample, the order of the float operations of the plain
// definition (sum := 0; for each window row, for each window column: sum += kernel · sample; for
// EXPAND the result is 4 · sum), and compute four output samples at a time in the lanes of SSE2
// registers. Lanes are independent and SSE2 has no fused multiply-add, so each lane rounds exactly
// as the scalar loop does, and the borders, where the windows move inward or lose columns, keep
// the scalar loop.

// REDUCE, one coarse sample by the plain definition: the 5 × 5 weighted sum around twice its
// position in the fine level.
float ReduceSample(const PyramidLevel& fine, int32_t r0, int32_t c0) {
  float sum = 0.0f;
  for (int32_t i = 0; i < kSide; ++i) {
    for (int32_t j = 0; j < kSide; ++j) {
      sum += kKernel[i * kSide + j] * At(fine.gauss, fine.width, r0 + i, c0 + j);
    }
  }
  return sum;
}

// REDUCE: each coarse sample is the 5 × 5 weighted sum around twice its position in the fine level.
// Interior samples x (window columns 2x − 2 … 2x + 2 inside the level) read the fine rows split
// into even and odd columns, so that the five columns of four neighbouring windows are five
// contiguous loads: 2x − 2 + j is even[x − 1], odd[x − 1], even[x], odd[x], even[x + 1].
void Reduce(const PyramidLevel& fine, PyramidLevel& coarse, RowRange rows) {
  const int32_t half = (fine.width + 1) / 2;
  std::vector<float> even(static_cast<size_t>(kSide) * (half + 1));
  std::vector<float> odd(even.size());
  // Interior x: 1 ≤ x and 2x + 2 ≤ fine.width − 1.
  const int32_t first = 1;
  const int32_t end = std::max(first, (fine.width - 3) / 2 + 1);
  for (int32_t v = rows.first; v < rows.end; ++v) {
    const int32_t r0 = WindowStart(2 * v - 2, fine.height);
    for (int32_t i = 0; i < kSide; ++i) {
      const float* row = &fine.gauss[static_cast<size_t>(r0 + i) * fine.width];
      float* e = &even[static_cast<size_t>(i) * (half + 1)];
      float* o = &odd[static_cast<size_t>(i) * (half + 1)];
      for (int32_t m = 0; 2 * m < fine.width; ++m) e[m] = row[2 * m];
      for (int32_t m = 0; 2 * m + 1 < fine.width; ++m) o[m] = row[2 * m + 1];
    }
    float* out = &coarse.gauss[static_cast<size_t>(v) * coarse.width];
    int32_t x = 0;
    for (; x < std::min(first, coarse.width); ++x) {
      out[x] = ReduceSample(fine, r0, WindowStart(2 * x - 2, fine.width));
    }
    for (; x + 4 <= std::min(end, coarse.width); x += 4) {
      __m128 sum = _mm_setzero_ps();
      for (int32_t i = 0; i < kSide; ++i) {
        const float* e = &even[static_cast<size_t>(i) * (half + 1) + x];
        const float* o = &odd[static_cast<size_t>(i) * (half + 1) + x];
        const float* k = &kKernel[i * kSide];
        sum = _mm_add_ps(sum, _mm_mul_ps(_mm_set1_ps(k[0]), _mm_loadu_ps(e - 1)));
        sum = _mm_add_ps(sum, _mm_mul_ps(_mm_set1_ps(k[1]), _mm_loadu_ps(o - 1)));
        sum = _mm_add_ps(sum, _mm_mul_ps(_mm_set1_ps(k[2]), _mm_loadu_ps(e)));
        sum = _mm_add_ps(sum, _mm_mul_ps(_mm_set1_ps(k[3]), _mm_loadu_ps(o)));
        sum = _mm_add_ps(sum, _mm_mul_ps(_mm_set1_ps(k[4]), _mm_loadu_ps(e + 1)));
      }
      _mm_storeu_ps(out + x, sum);
    }
    for (; x < coarse.width; ++x) {
      out[x] = ReduceSample(fine, r0, WindowStart(2 * x - 2, fine.width));
    }
  }
}

// EXPAND, one fine sample by the plain definition. Coarse sample (j / 2, u / 2) sits at even fine
// position (j, u), so only the even rows and columns of each window contribute. On an odd fine side
// the last position is even but lies at 2 · coarse side, past the coarse level: skipped.
float ExpandSample(const PyramidLevel& coarse, int32_t r0, int32_t rowEnd, int32_t c0,
                   int32_t columnEnd) {
  float sum = 0.0f;
  for (int32_t j = r0 + (r0 & 1); j < rowEnd; j += 2) {
    for (int32_t u = c0 + (c0 & 1); u < columnEnd; u += 2) {
      sum += kKernel[(j - r0) * kSide + (u - c0)] * At(coarse.gauss, coarse.width, j / 2, u / 2);
    }
  }
  return 4.0f * sum;
}

// EXPAND: the coarse level upsampled onto the fine grid. An interior fine column x (window
// x − 2 … x + 2 inside the fine level and below 2 · coarse width) reads, for even x = 2m, kernel
// columns 0, 2, 4 at coarse columns m − 1, m, m + 1, and for odd x = 2m + 1 kernel columns 1 and 3
// at coarse columns m and m + 1. Four even and four odd samples are formed at once and interleaved.
void Expand(const PyramidLevel& coarse, const PyramidLevel& fine, std::vector<float>& expanded,
            RowRange rows) {
  const int32_t rowLimit = 2 * coarse.height;
  const int32_t columnLimit = 2 * coarse.width;
  // Interior pairs (2m, 2m + 1): 2m − 2 ≥ 0, 2m + 1 + 2 ≤ fine.width − 1 and < columnLimit.
  const int32_t lastInterior = std::min(fine.width - 3, columnLimit - 3);
  const int32_t firstPair = 1;
  const int32_t endPair = std::max(firstPair, (lastInterior - 1) / 2 + 1);
  const __m128 four = _mm_set1_ps(4.0f);
  for (int32_t y = rows.first; y < rows.end; ++y) {
    const int32_t r0 = WindowStart(y - 2, fine.height);
    const int32_t rowEnd = std::min(r0 + kSide, rowLimit);
    float* out = &expanded[static_cast<size_t>(y) * fine.width];
    auto scalar = [&](int32_t x) {
      const int32_t c0 = WindowStart(x - 2, fine.width);
      out[x] = ExpandSample(coarse, r0, rowEnd, c0, std::min(c0 + kSide, columnLimit));
    };
    int32_t x = 0;
    int32_t m = firstPair;
    if (fine.width > 4 && endPair - firstPair >= 4) {
      for (; x < 2 * firstPair; ++x) scalar(x);
      for (; m + 4 <= endPair; m += 4) {
        __m128 even = _mm_setzero_ps();
        __m128 odd = _mm_setzero_ps();
        for (int32_t j = r0 + (r0 & 1); j < rowEnd; j += 2) {
          const float* k = &kKernel[(j - r0) * kSide];
          const float* c = &coarse.gauss[static_cast<size_t>(j / 2) * coarse.width + m];
          even = _mm_add_ps(even, _mm_mul_ps(_mm_set1_ps(k[0]), _mm_loadu_ps(c - 1)));
          even = _mm_add_ps(even, _mm_mul_ps(_mm_set1_ps(k[2]), _mm_loadu_ps(c)));
          even = _mm_add_ps(even, _mm_mul_ps(_mm_set1_ps(k[4]), _mm_loadu_ps(c + 1)));
          odd = _mm_add_ps(odd, _mm_mul_ps(_mm_set1_ps(k[1]), _mm_loadu_ps(c)));
          odd = _mm_add_ps(odd, _mm_mul_ps(_mm_set1_ps(k[3]), _mm_loadu_ps(c + 1)));
        }
        even = _mm_mul_ps(four, even);
        odd = _mm_mul_ps(four, odd);
        _mm_storeu_ps(out + 2 * m, _mm_unpacklo_ps(even, odd));
        _mm_storeu_ps(out + 2 * m + 4, _mm_unpackhi_ps(even, odd));
      }
      x = 2 * m;
    }
    for (; x < fine.width; ++x) scalar(x);
  }
}

template <typename Sample>
void LoadSamples(const SBxPicBuf& raster, std::vector<float>& plane) {
  for (int32_t y = 0; y < raster.height; ++y) {
    const Sample* row = PicRow<Sample>(raster, y);
    for (int32_t x = 0; x < raster.width; ++x) At(plane, raster.width, y, x) = row[x];
  }
}

// Rounds half up and clamps to the sample range; clamping before the truncation gives the same
// result as after it and keeps the conversion defined for any float.
template <typename Sample>
void StoreSamples(const std::vector<float>& plane, SBxPicBuf& raster) {
  constexpr double kMax = std::numeric_limits<Sample>::max();
  for (int32_t y = 0; y < raster.height; ++y) {
    Sample* row = PicRow<Sample>(raster, y);
    for (int32_t x = 0; x < raster.width; ++x) {
      const double rounded = static_cast<double>(At(plane, raster.width, y, x)) + 0.5;
      row[x] = static_cast<Sample>(std::clamp(rounded, 0.0, kMax));
    }
  }
}

void RasterToPlane(const SBxPicBuf& raster, std::vector<float>& plane) {
  if (raster.bitsPerComponent == 8) {
    LoadSamples<uint8_t>(raster, plane);
  } else {
    LoadSamples<uint16_t>(raster, plane);
  }
}

void PlaneToRaster(const std::vector<float>& plane, SBxPicBuf& raster) {
  if (raster.bitsPerComponent == 8) {
    StoreSamples<uint8_t>(plane, raster);
  } else {
    StoreSamples<uint16_t>(plane, raster);
  }
}

struct FilterSettings {
  int32_t strength;
  int32_t quality;
  double dynamics;
  const RunControl& run;
  bool useGpu;
  int32_t threadCount;
};

// Denoises the quarter-resolution Gaussian level through whole-number samples of the component's
// depth, as the filter expects. True when its rasters cannot be allocated.
bool DenoiseLevel(PyramidLevel& level, uint32_t bits, const FilterSettings& settings) {
  if (level.width == 0 || level.height == 0) return false;
  ScopedPicBuf noisy;
  ScopedPicBuf denoised;
  if (CBxPicBufAPI::ReinitHeap(*noisy, level.width, level.height, 1, bits) ||
      CBxPicBufAPI::ReinitHeap(*denoised, *noisy)) {
    return true;
  }
  PlaneToRaster(level.gauss, *noisy);
  // The noise level is not read by the filters; −1 marks it as unmeasured.
  DenoiseComponent(*denoised, *noisy, static_cast<double>(settings.strength), settings.quality,
                   settings.dynamics, settings.run, -1.0, settings.useGpu,
                   settings.threadCount);
  RasterToPlane(*denoised, level.gauss);
  return false;
}

// Rebuilds each level from the expansion of the next coarser one and its own Laplacian plane.
// Level 2 is denoised after it has been rebuilt from level 3, so the pass changes the component by
// exactly what the denoising changes there.
bool RebuildPyramid(std::vector<PyramidLevel>& levels, uint32_t bits,
                    const FilterSettings& settings) {
  for (int32_t k = 2; k >= 0; --k) {
    if (k == 1 && DenoiseLevel(levels[2], bits, settings)) return true;
    PyramidLevel& level = levels[k];
    if (!HoldsWindow(level)) continue;
    SplitRows(level.height, settings.threadCount, [&](RowRange rows) {
      Expand(levels[k + 1], level, level.gauss, rows);
      const size_t end = static_cast<size_t>(rows.end) * level.width;
      for (size_t i = static_cast<size_t>(rows.first) * level.width; i < end; ++i) {
        level.gauss[i] += level.laplace[i];
      }
    });
  }
  return false;
}

// Builds the pyramid from level 0's Gaussian plane with `threads` threads per pass.
void Decompose(std::vector<PyramidLevel>& levels, int32_t threads) {
  for (int32_t k = 0; k < kPyramidLevels - 1; ++k) {
    PyramidLevel& level = levels[k];
    PyramidLevel& coarse = levels[k + 1];
    if (HoldsWindow(coarse)) {
      SplitRows(coarse.height, threads, [&](RowRange rows) { Reduce(level, coarse, rows); });
    }
    if (!HoldsWindow(level)) continue;
    SplitRows(level.height, threads, [&](RowRange rows) {
      Expand(coarse, level, level.laplace, rows);
      const size_t end = static_cast<size_t>(rows.end) * level.width;
      for (size_t i = static_cast<size_t>(rows.first) * level.width; i < end; ++i) {
        level.laplace[i] = level.gauss[i] - level.laplace[i];
      }
    });
  }
}

// Gives `levels` the four levels of a W × H component with cleared planes, keeping the memory the
// planes already hold. Throws std::bad_alloc when memory runs out.
void SizeLevels(std::vector<PyramidLevel>& levels, int32_t width, int32_t height) {
  levels.resize(kPyramidLevels);
  for (int32_t k = 0; k < kPyramidLevels; ++k) {
    PyramidLevel& level = levels[k];
    level.width = width >> k;
    level.height = height >> k;
    const size_t count = static_cast<size_t>(level.width) * level.height;
    level.gauss.assign(count, 0.0f);
    level.laplace.assign(count, 0.0f);
  }
}

}  // namespace

Footprint LargeChromaPassFootprint(const Footprint& levelFilter) {
  const auto reduced = [](int32_t fine) { return ReducedReach(fine, kSide); };
  const auto expanded = [](int32_t coarse) { return ExpandedReach(coarse, kSide); };
  // Decomposition: Gaussian levels 1 … 3, and the Laplacian levels from them.
  const int32_t gauss1 = reduced(0);
  const int32_t gauss2 = reduced(gauss1);
  const int32_t gauss3 = reduced(gauss2);
  const int32_t laplace1 = std::max(gauss1, expanded(gauss2));
  const int32_t laplace0 = expanded(gauss1);
  // Level 2 rebuilt from level 3 and its Laplacian level, denoised, and carried up to level 0.
  const int32_t denoised2 = std::max(gauss2, expanded(gauss3)) + levelFilter.reach;
  const int32_t rebuilt1 = std::max(expanded(denoised2), laplace1);
  const int32_t rebuilt0 = std::max(expanded(rebuilt1), laplace0);
  constexpr int32_t kLevel2Scale = 1 << 2;
  constexpr int32_t kLevel3Scale = 1 << (kPyramidLevels - 1);
  return {rebuilt0, std::max(kLevel3Scale, levelFilter.grid * kLevel2Scale),
          std::max(kSide * kLevel3Scale, levelFilter.settledSide * kLevel2Scale)};
}

std::vector<PyramidLevel> AllocatePyramid(int32_t width, int32_t height) {
  std::vector<PyramidLevel> levels;
  SizeLevels(levels, width, height);
  return levels;
}

void DecomposePyramid(std::vector<PyramidLevel>& levels) { Decompose(levels, 1); }

bool LargeChromaPass(SBxPicBuf& out, const SBxPicBuf& in, int32_t strength, int32_t quality,
                     double dynamics, const RunControl& run, bool useGpu, int32_t threadCount) {
  // The levels of the calls of this thread are kept from call to call: the tiles of a picture
  // need the same 12 MB or so each (two float planes per level), and clearing memory already held
  // is cheaper than touching fresh pages. assign() keeps the capacity a plane already has.
  thread_local std::vector<PyramidLevel> levels;
  try {
    SizeLevels(levels, in.width, in.height);
  } catch (const std::bad_alloc&) {
    NoteAllocationFailure();
    return true;
  }
  RasterToPlane(in, levels[0].gauss);
  Decompose(levels, threadCount);
  const FilterSettings settings{strength, quality, dynamics, run, useGpu, threadCount};
  if (RebuildPyramid(levels, in.bitsPerComponent, settings)) return true;
  if (&out != &in && CBxPicBufAPI::ReinitHeap(out, in)) return true;
  PlaneToRaster(levels[0].gauss, out);
  return false;
}
