#include "profiles/photo_noise.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

#include "engine/denoise.h"

namespace {

constexpr int32_t kBlockSide = 16;
// The share of the readable blocks that are smoother than the level taken. Lower reads less
// texture, but also less of the noise where it is weakest (dark parts under signal-dependent
// noise); a tenth keeps the level of evenly noisy photos within a few hundredths of the whole
// photo's.
constexpr double kSmoothShare = 0.1;
// Samples this close to black or white may have been clipped, which hides noise.
constexpr uint8_t kClipMargin = 1;
// JPEG's blocks: 8 × 8 pixels from the photo's origin, so every block of kBlockSide holds whole
// JPEG blocks and the grid's lines fall at the same places within each.
constexpr int32_t kJpegGrid = 8;

bool CopyConverted(SBxPicBuf& copy, const SBxPicBuf& picture, uint32_t components) {
  if (CBxPicBufAPI::ReinitHeap(copy, picture)) return true;
  CBxPicBufAPI::Copy(copy, picture);
  return CBxPicBufAPI::ConvertBpcComp(copy, 8, components);
}

// A block of `raster` as a raster of its own, sharing the storage (rows keep the whole raster's
// stride): the estimator reads it in place.
SBxPicBuf BlockOf(const SBxPicBuf& raster, int32_t column, int32_t row) {
  SBxPicBuf block = raster;
  block.data += static_cast<int64_t>(row) * kBlockSide * raster.stride +
                static_cast<int64_t>(column) * kBlockSide * raster.components;
  block.width = kBlockSide;
  block.height = kBlockSide;
  block.size = kBlockSide * raster.stride;
  return block;
}

bool TouchesBlackOrWhite(const SBxPicBuf& block) {
  const size_t samples = static_cast<size_t>(block.width) * block.components;
  for (int32_t y = 0; y < block.height; ++y) {
    const uint8_t* row = PicRow<uint8_t>(block, y);
    for (size_t i = 0; i < samples; ++i) {
      if (row[i] <= kClipMargin || row[i] >= 255 - kClipMargin) return true;
    }
  }
  return false;
}

// `raster` (8 bits) at half its width and height, each pixel the rounded mean of four.
bool Halved(SBxPicBuf& half, const SBxPicBuf& raster) {
  if (CBxPicBufAPI::ReinitHeap(half, raster.width / 2, raster.height / 2, raster.components, 8)) {
    return true;
  }
  const size_t n = raster.components;
  for (int32_t y = 0; y < half.height; ++y) {
    const uint8_t* top = PicRow<uint8_t>(raster, 2 * y);
    const uint8_t* bottom = PicRow<uint8_t>(raster, 2 * y + 1);
    uint8_t* out = PicRow<uint8_t>(half, y);
    for (size_t i = 0; i < static_cast<size_t>(half.width) * n; ++i) {
      const size_t left = (i / n) * 2 * n + i % n;
      out[i] = static_cast<uint8_t>(
          (top[left] + top[left + n] + bottom[left] + bottom[left + n] + 2) / 4);
    }
  }
  return false;
}

// Which blocks of the 8-bit `raster` show no clipped sample, in raster order of the blocks.
std::vector<bool> ReadableBlocks(const SBxPicBuf& raster) {
  std::vector<bool> readable;
  for (int32_t row = 0; row < raster.height / kBlockSide; ++row) {
    for (int32_t column = 0; column < raster.width / kBlockSide; ++column) {
      readable.push_back(!TouchesBlackOrWhite(BlockOf(raster, column, row)));
    }
  }
  return readable;
}

// The level at the smooth share of `levels`; `fallback` when there are none.
double SmoothLevel(std::vector<double>& levels, double fallback) {
  if (levels.empty()) return fallback;
  const auto at = levels.begin() + static_cast<std::ptrdiff_t>(kSmoothShare * levels.size());
  std::nth_element(levels.begin(), at, levels.end());
  return *at;
}

// The luma (or grey) level read across the JPEG grid over the blocks whose luma level is at most
// `smoothLuma`: the blocks' levels are squares of mean responses, so their mean square pools the
// responses of all those blocks.
double GridLevel(const std::vector<double>& luma, const std::vector<double>& grid,
                 double smoothLuma) {
  double squares = 0;
  int32_t count = 0;
  for (size_t i = 0; i < luma.size(); ++i) {
    if (luma[i] > smoothLuma) continue;
    squares += grid[i] * grid[i];
    ++count;
  }
  return count > 0 ? std::sqrt(squares / count) : smoothLuma;
}

struct SmoothReading {
  NoiseLevels levels;
  double grid;  // the luma level across the JPEG grid in the same blocks, when asked for
};

// The estimator over each readable block of the 8-bit `raster` (grey, or Y, U, V), then the level
// of the smooth share, and with `acrossGrid` the level across the JPEG grid where the luma is that
// smooth (only the full-size photo keeps JPEG's grid).
SmoothReading SmoothLevels(const SBxPicBuf& raster, const std::vector<bool>& readable,
                           const NoiseLevels& whole, bool acrossGrid) {
  std::vector<double> luma;
  std::vector<double> chroma;
  std::vector<double> grid;
  const int32_t columns = raster.width / kBlockSide;
  for (size_t i = 0; i < readable.size(); ++i) {
    if (!readable[i]) continue;
    const SBxPicBuf block =
        BlockOf(raster, static_cast<int32_t>(i) % columns, static_cast<int32_t>(i) / columns);
    NoiseLevels levels{0, 0, 0};
    if (raster.components == 3) {
      EstimateNoiseYUV(block, levels);
      chroma.push_back(levels.chroma);
    } else {
      levels.luma = EstimateNoise(block);
    }
    luma.push_back(levels.luma);
    if (acrossGrid) grid.push_back(EstimateNoiseAcrossGrid(block, kJpegGrid));
  }
  std::vector<double> lumaOrdered = luma;
  const double smoothLuma = SmoothLevel(lumaOrdered, whole.luma);
  return {{smoothLuma, SmoothLevel(chroma, whole.chroma), 0},
          acrossGrid ? GridLevel(luma, grid, smoothLuma) : smoothLuma};
}

}  // namespace

NoiseLevels MeasurePhotoNoise(const SBxPicBuf& picture) {
  return MeasurePhotoNoiseInDetail(picture).whole;
}

PhotoNoise MeasurePhotoNoiseInDetail(const SBxPicBuf& picture) {
  PhotoNoise noise;
  noise.colour = picture.components == 3;
  ScopedPicBuf copy;
  ScopedPicBuf half;
  if (CopyConverted(*copy, picture, noise.colour ? 3 : 1) || Halved(*half, *copy)) return noise;
  const std::vector<bool> readable = ReadableBlocks(*copy);
  const std::vector<bool> readableHalf = ReadableBlocks(*half);
  if (noise.colour) {
    CBxPicBufAPI::ConvertRGBtoYUV(*copy, *copy);
    CBxPicBufAPI::ConvertRGBtoYUV(*half, *half);
    EstimateNoiseYUV(*copy, noise.whole);
  } else {
    noise.whole.luma = EstimateNoise(*copy);
  }
  const SmoothReading smooth = SmoothLevels(*copy, readable, noise.whole, true);
  noise.smooth = smooth.levels;
  noise.gridLuma = smooth.grid;
  noise.coarse = SmoothLevels(*half, readableHalf, noise.smooth, false).levels;
  return noise;
}
