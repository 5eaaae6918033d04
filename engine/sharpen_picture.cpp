#include "engine/sharpen_picture.h"

#include <cmath>

#include "engine/detail_sharpening_bands.h"
#include "engine/split_rows.h"
#include "platform/cpu_affinity.h"

namespace {

// Gains this close to 1 rebuild the picture unchanged, so the pyramid is not built for them at all.
bool IsIdentity(double gain) { return std::abs(gain - 1.0) < 0.00001; }

bool AreIdentity(const DetailGains& gains) {
  return IsIdentity(gains.tiny) && IsIdentity(gains.medium) && IsIdentity(gains.rough);
}

bool IsSharpenable(const SBxPicBuf& picture) {
  return picture.data != nullptr &&
         (picture.bitsPerComponent == 8 || picture.bitsPerComponent == 16);
}

}  // namespace

// The pyramid works on three components at the picture's depth: a colour picture is read where it
// is, any other goes through a three-component copy as the pyramid's definition has it (grey
// replicated, a fourth component dropped) and back. The result is formed in a raster of its own,
// since each band reads rows of the picture beyond its own, and copied in at the end. A picture
// with a side below 5 has no detail levels and stays as it is.
bool SharpenPicture(SBxPicBuf& picture, double gainTiny, double gainMedium, double gainRough) {
  if (AreIdentity({gainTiny, gainMedium, gainRough})) return false;
  if (!IsSharpenable(picture)) return true;
  if (ShapeOfPyramid(static_cast<uint32_t>(picture.width), static_cast<uint32_t>(picture.height))
          .levels == 0) {
    return false;
  }
  const int32_t threads = static_cast<int32_t>(AffinityCpuBitLength());
  ScopedPicBuf converted;
  const SBxPicBuf* source = &picture;
  if (picture.components != 3) {
    if (CBxPicBufAPI::ReinitHeap(*converted, picture)) return true;
    CBxPicBufAPI::Copy(*converted, picture);
    if (CBxPicBufAPI::ConvertBpcComp(*converted, picture.bitsPerComponent, 3)) return true;
    source = &*converted;
  }
  ScopedPicBuf result;
  const std::array<float, 3> gains = {static_cast<float>(gainTiny), static_cast<float>(gainMedium),
                                      static_cast<float>(gainRough)};
  if (CBxPicBufAPI::ReinitHeap(*result, *source) ||
      SharpenInBands(*result, *source, gains, threads)) {
    return true;
  }
  CBxPicBufAPI::DoneHeap(*converted);
  if (CBxPicBufAPI::ConvertBpcComp(*result, picture.bitsPerComponent, picture.components)) {
    return true;
  }
  CopyRectInBands(picture, *result, {0, 0}, {0, 0}, {picture.width, picture.height}, threads);
  return false;
}

bool SharpenPicture(SBxPicBuf& picture, const DetailGains& gains) {
  return SharpenPicture(picture, gains.tiny, gains.medium, gains.rough);
}

Footprint SharpeningFootprint(const DetailGains& gains) {
  return AreIdentity(gains) ? Footprint{} : DetailPyramidFootprint();
}
