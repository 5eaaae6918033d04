#include "engine/large_chroma_pass.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <limits>
#include <new>

#include "engine/denoise_component.h"

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

// REDUCE: each coarse sample is the 5 × 5 weighted sum around twice its position in the fine level.
void Reduce(const PyramidLevel& fine, PyramidLevel& coarse) {
  for (int32_t v = 0; v < coarse.height; ++v) {
    const int32_t r0 = WindowStart(2 * v - 2, fine.height);
    for (int32_t x = 0; x < coarse.width; ++x) {
      const int32_t c0 = WindowStart(2 * x - 2, fine.width);
      float sum = 0.0f;
      for (int32_t i = 0; i < kSide; ++i) {
        for (int32_t j = 0; j < kSide; ++j) {
          sum += kKernel[i * kSide + j] * At(fine.gauss, fine.width, r0 + i, c0 + j);
        }
      }
      At(coarse.gauss, coarse.width, v, x) = sum;
    }
  }
}

// EXPAND: the coarse level upsampled onto the fine grid. Coarse sample (j / 2, u / 2) sits at even
// fine position (j, u), so only the even rows and columns of each window contribute. On an odd
// fine side the last position is even but lies at 2 · coarse side, past the coarse level: skipped.
void Expand(const PyramidLevel& coarse, const PyramidLevel& fine, std::vector<float>& expanded) {
  const int32_t rowLimit = 2 * coarse.height;
  const int32_t columnLimit = 2 * coarse.width;
  for (int32_t y = 0; y < fine.height; ++y) {
    const int32_t r0 = WindowStart(y - 2, fine.height);
    const int32_t rowEnd = std::min(r0 + kSide, rowLimit);
    for (int32_t x = 0; x < fine.width; ++x) {
      const int32_t c0 = WindowStart(x - 2, fine.width);
      const int32_t columnEnd = std::min(c0 + kSide, columnLimit);
      float sum = 0.0f;
      for (int32_t j = r0 + (r0 & 1); j < rowEnd; j += 2) {
        for (int32_t u = c0 + (c0 & 1); u < columnEnd; u += 2) {
          sum +=
              kKernel[(j - r0) * kSide + (u - c0)] * At(coarse.gauss, coarse.width, j / 2, u / 2);
        }
      }
      At(expanded, fine.width, y, x) = 4.0f * sum;
    }
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
  ProgressSink* progress;
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
                   settings.dynamics, settings.progress, -1.0, settings.useGpu,
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
    Expand(levels[k + 1], level, level.gauss);
    for (size_t i = 0; i < level.gauss.size(); ++i) level.gauss[i] += level.laplace[i];
  }
  return false;
}

}  // namespace

std::vector<PyramidLevel> AllocatePyramid(int32_t width, int32_t height) {
  std::vector<PyramidLevel> levels(kPyramidLevels);
  for (int32_t k = 0; k < kPyramidLevels; ++k) {
    PyramidLevel& level = levels[k];
    level.width = width >> k;
    level.height = height >> k;
    const size_t count = static_cast<size_t>(level.width) * level.height;
    level.gauss.assign(count, 0.0f);
    level.laplace.assign(count, 0.0f);
  }
  return levels;
}

void DecomposePyramid(std::vector<PyramidLevel>& levels) {
  for (int32_t k = 0; k < kPyramidLevels - 1; ++k) {
    PyramidLevel& level = levels[k];
    if (HoldsWindow(levels[k + 1])) Reduce(level, levels[k + 1]);
    if (!HoldsWindow(level)) continue;
    Expand(levels[k + 1], level, level.laplace);
    for (size_t i = 0; i < level.gauss.size(); ++i) {
      level.laplace[i] = level.gauss[i] - level.laplace[i];
    }
  }
}

bool LargeChromaPass(SBxPicBuf& out, const SBxPicBuf& in, int32_t strength, int32_t quality,
                     double dynamics, ProgressSink* progress, bool useGpu, int32_t threadCount) {
  std::vector<PyramidLevel> levels;
  try {
    levels = AllocatePyramid(in.width, in.height);
  } catch (const std::bad_alloc&) {
    return true;
  }
  RasterToPlane(in, levels[0].gauss);
  DecomposePyramid(levels);
  const FilterSettings settings{strength, quality, dynamics, progress, useGpu, threadCount};
  if (RebuildPyramid(levels, in.bitsPerComponent, settings)) return true;
  if (&out != &in && CBxPicBufAPI::ReinitHeap(out, in)) return true;
  PlaneToRaster(levels[0].gauss, out);
  return false;
}
