#include "engine/gaussian_blur.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace {

constexpr int32_t kRadius = 5;

// One separable pass over the rows of `src`, written transposed into `dst` (src.height wide,
// src.width high). Writing transposed lets the second pass read rows too, so both passes read
// memory in order. Near the row ends the window is cut off and the remaining taps are renormalised,
// which keeps flat areas flat up to the edge.
void BlurRowsTransposed(SBxPicBuf& dst, const SBxPicBuf& src, const std::array<float, 11>& taps) {
  const int32_t width = src.width;
  for (int32_t r = 0; r < src.height; ++r) {
    const float* row = PicRow<float>(src, r);
    for (int32_t n = 0; n < width; ++n) {
      const int32_t first = std::max(n - kRadius, 0);
      const int32_t last = std::min(n + kRadius, width - 1);
      float weighted = 0.0f;
      float weights = 0.0f;
      for (int32_t k = first; k <= last; ++k) {
        const float g = taps[k - n + kRadius];
        weighted += g * row[k];
        weights += g;
      }
      PicRow<float>(dst, n)[r] = weighted / weights;
    }
  }
}

}  // namespace

double PreBlurSigma(double strength) {
  if (strength <= 25.0) return -1.0;
  return 0.5 * std::log(strength - 25.0 + 1.0) + 0.2;
}

std::array<float, 11> GaussianTaps11(float sigma) {
  // Beyond an exponent of 20 the tap is below 2e-9 of the centre; it is cut to an exact zero.
  constexpr float kMaxExponent = 20.0f;
  std::array<float, 11> taps;
  float sum = 0.0f;
  for (int32_t i = -kRadius; i <= kRadius; ++i) {
    const float exponent = static_cast<float>(i * i) / (2.0f * sigma * sigma);
    const float tap = exponent > kMaxExponent ? 0.0f : std::exp(-exponent);
    taps[i + kRadius] = tap;
    sum += tap;
  }
  for (float& tap : taps) tap /= sum;
  return taps;
}

Footprint GaussianBlurFootprint() { return {kRadius}; }

void GaussianBlur11(SBxPicBuf& raster, float sigma) {
  const std::array<float, 11> taps = GaussianTaps11(sigma);
  ScopedPicBuf along;
  ScopedPicBuf across;
  if (CBxPicBufAPI::ReinitHeap(*along, raster)) return;
  CBxPicBufAPI::Copy(*along, raster);
  if (CBxPicBufAPI::ConvertBpcComp(*along, 32, 1) ||
      CBxPicBufAPI::ReinitHeap(*across, raster.height, raster.width, 1, 32)) {
    return;
  }
  BlurRowsTransposed(*across, *along, taps);
  BlurRowsTransposed(*along, *across, taps);
  if (CBxPicBufAPI::ConvertBpcComp(*along, raster.bitsPerComponent, 1)) return;
  CBxPicBufAPI::Copy(raster, *along);
}

void BlurYUVComponents(SBxPicBuf& raster, double sigmaY, double sigmaUV) {
  ScopedPicBuf plane;
  if (CBxPicBufAPI::ReinitHeap(*plane, raster.width, raster.height, 1, raster.bitsPerComponent)) {
    return;
  }
  const double sigmas[3] = {sigmaY, sigmaUV, sigmaUV};
  for (uint32_t c = 0; c < 3; ++c) {
    if (sigmas[c] <= 0.0) continue;
    CBxPicBufAPI::ExtractComponent(*plane, c, raster);
    GaussianBlur11(*plane, static_cast<float>(sigmas[c]));
    CBxPicBufAPI::InsertComponent(raster, c, *plane);
  }
}
