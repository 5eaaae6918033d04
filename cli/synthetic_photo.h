// Synthetic photographs made in code: the pictures that the demo and the benchmark denoise. They
// need no files, and the same arguments always give the same bytes.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

#include "picture/pic_buf.h"

namespace synthetic {

// The seed of the noise that the demo and the benchmark add.
inline constexpr uint32_t kNoiseSeed = 20161;

struct PictureSize {
  int32_t width;
  int32_t height;
};

// Parses "WxH" (for example "1200x800"; 'X' works too) with both sides from 1 to 20000.
std::optional<PictureSize> ParsePictureSize(std::string_view text);

// Re-creates `picture` as a width × height, 8-bit, 3-component (B, G, R) raster holding a smooth
// landscape: a sky gradient, a soft-edged sun disc with a glow, rolling hills with soft field bands
// and a light vignette. No sample is below 5 or above 250, so noise is not clipped much. True on
// allocation failure (the picture is then empty).
bool MakeSmoothScene(SBxPicBuf& picture, int32_t width, int32_t height);

// Adds Gaussian noise of standard deviation `sigma` (in 8-bit levels) to every sample of an 8-bit
// raster, rounded to the nearest level and clamped to 0..255. The seed fixes the noise.
void AddGaussianNoise(SBxPicBuf& picture, double sigma, uint32_t seed);

// Peak signal-to-noise ratio in dB of `test` against `reference`, two 8-bit rasters of equal
// geometry, over every sample. Infinite when they are identical.
double Psnr(const SBxPicBuf& reference, const SBxPicBuf& test);

}  // namespace synthetic
