// Noise level from the response of a Laplacian-difference mask
//    1 −2  1
//   −2  4 −2
//    1 −2  1
// which cancels every linear ramp, so what remains on a smooth picture is mostly noise. The level
// is sqrt(π · mean |response| / 12), the scale on which the camera profiles store noise levels.
#include <cmath>
#include <cstdint>

#include "engine/denoise.h"

namespace {

constexpr double kPi = 3.14159265359;

// Mask response at interior pixel (x, y) of component c of an interleaved 8-bit raster.
inline int32_t MaskResponse(const SBxPicBuf& r, int32_t x, int32_t y, uint32_t c) {
  const uint32_t n = r.components;
  const uint8_t* above = PicRow<uint8_t>(r, y - 1) + c;
  const uint8_t* here = PicRow<uint8_t>(r, y) + c;
  const uint8_t* below = PicRow<uint8_t>(r, y + 1) + c;
  const size_t l = static_cast<size_t>(x - 1) * n;
  const size_t m = static_cast<size_t>(x) * n;
  const size_t rr = static_cast<size_t>(x + 1) * n;
  return above[l] - 2 * above[m] + above[rr] - 2 * here[l] + 4 * here[m] - 2 * here[rr] +
         below[l] - 2 * below[m] + below[rr];
}

bool HasInterior(const SBxPicBuf& r) { return r.width > 3 && r.height > 3; }

double InteriorCount(const SBxPicBuf& r) {
  return 12.0 * (r.width - 2) * static_cast<double>(r.height - 2);
}

// The level of component 0 over the interior positions (x, y) that `counted` accepts; 0 where it
// accepts none.
template <typename Counted>
double LevelWhere(const SBxPicBuf& r, Counted counted) {
  double sum = 0;
  double count = 0;
  for (int32_t y = 1; y < r.height - 1; ++y) {
    for (int32_t x = 1; x < r.width - 1; ++x) {
      if (!counted(x, y)) continue;
      sum += std::abs(MaskResponse(r, x, y, 0));
      count += 12.0;
    }
  }
  return count > 0 ? std::sqrt(sum * kPi / count) : 0.0;
}

}  // namespace

double EstimateNoise(const SBxPicBuf& raster) {
  if (!HasInterior(raster)) return 0.0;
  return LevelWhere(raster, [](int32_t, int32_t) { return true; });
}

double EstimateNoiseAcrossGrid(const SBxPicBuf& raster, int32_t grid) {
  if (!HasInterior(raster) || grid < 2) return 0.0;
  const auto onLine = [grid](int32_t position) {
    const int32_t phase = position % grid;
    return phase == grid - 1 || phase == 0;
  };
  return LevelWhere(raster, [&](int32_t x, int32_t y) { return onLine(x) || onLine(y); });
}

double EstimateNoiseYUV(const SBxPicBuf& raster, NoiseLevels& levels) {
  if (!HasInterior(raster)) {
    levels.luma = levels.chroma = 0.0;
    return 0.0;
  }
  double sumY = 0;
  double sumUV = 0;
  for (int32_t y = 1; y < raster.height - 1; ++y) {
    for (int32_t x = 1; x < raster.width - 1; ++x) {
      sumY += std::abs(MaskResponse(raster, x, y, 0));
      sumUV += std::abs(MaskResponse(raster, x, y, 1) + MaskResponse(raster, x, y, 2));
    }
  }
  const double n = InteriorCount(raster);
  levels.luma = std::sqrt(sumY * kPi / n);
  levels.chroma = std::sqrt(0.5 * sumUV / n * kPi);
  return levels.luma;
}
