// Resampling of a raster through a CBxPicMap, for display. Every destination pixel centre is mapped
// back to the source; the kernel reads the source pixels around that point, repeating the edge
// pixels where its taps fall outside. Destination pixels whose source point is more than half a
// pixel outside the source are left as they are, so a caller can paint a background first.
// `dst` must not share storage with `src`.
#include <algorithm>
#include <cstdint>
#include <memory>
#include <new>

#include "picture/pic_buf.h"
#include "picture/pic_map.h"
#include "picture/pic_sample.h"

namespace {

// The source pixels one kernel reads along one axis, already clamped into the raster, and their
// weights. Along x the indices are element offsets within a row, along y row numbers.
template <int N>
struct Taps {
  size_t index[N];
  double weight[N];
};

// Each kernel names its tap count and, for a source coordinate s ≥ −0.5, its first tap and the
// weights of its taps. The first tap comes from truncating s plus a positive bias, which equals
// the floor there and is much cheaper than std::floor.
struct NearestKernel {
  static constexpr int kTaps = 1;
  static int32_t First(double s) { return static_cast<int32_t>(s + 1.5) - 1; }
  static void Weights(double /*s*/, int32_t /*first*/, double* w) { w[0] = 1.0; }
};

struct BilinearKernel {
  static constexpr int kTaps = 2;
  static int32_t First(double s) { return static_cast<int32_t>(s + 1.0) - 1; }
  static void Weights(double s, int32_t first, double* w) {
    const double t = s - first;
    w[0] = 1.0 - t;
    w[1] = t;
  }
};

// Catmull-Rom: the cubic convolution kernel of Keys with a = −0.5.
struct BicubicKernel {
  static constexpr int kTaps = 4;
  static int32_t First(double s) { return static_cast<int32_t>(s + 1.0) - 2; }
  static void Weights(double s, int32_t first, double* w) {
    const double t = s - (first + 1);
    const double t2 = t * t;
    const double t3 = t2 * t;
    w[0] = -0.5 * t3 + t2 - 0.5 * t;
    w[1] = 1.5 * t3 - 2.5 * t2 + 1.0;
    w[2] = -1.5 * t3 + 2.0 * t2 + 0.5 * t;
    w[3] = 0.5 * t3 - 0.5 * t2;
  }
};

// Whether a source coordinate lies on the raster, that is within half a pixel of a pixel centre.
// Written so that NaN counts as outside.
bool OnRaster(double s, int32_t size) { return s >= -0.5 && s < size - 0.5; }

// Taps of a coordinate that lies on the raster; `scale` turns pixel indices into offsets.
template <typename Kernel>
Taps<Kernel::kTaps> AxisTaps(double s, int32_t size, uint32_t scale) {
  Taps<Kernel::kTaps> taps;
  const int32_t first = Kernel::First(s);
  Kernel::Weights(s, first, taps.weight);
  for (int i = 0; i < Kernel::kTaps; ++i) {
    const int64_t index = std::clamp<int64_t>(int64_t{first} + i, 0, size - 1);
    taps.index[i] = static_cast<size_t>(index) * scale;
  }
  return taps;
}

template <typename T, int N>
void Interpolate(T* out, const SBxPicBuf& src, const Taps<N>& tx, const Taps<N>& ty) {
  const uint32_t components = src.components;
  if constexpr (N == 1) {
    const T* pixel = PicRow<T>(src, static_cast<int32_t>(ty.index[0])) + tx.index[0];
    std::copy(pixel, pixel + components, out);
  } else {
    const T* rows[N];
    for (int j = 0; j < N; ++j) rows[j] = PicRow<T>(src, static_cast<int32_t>(ty.index[j]));
    // Unrolled, the row sums are independent chains that run side by side; GCC at -O2 would keep
    // the loops rolled and add the taps one after the other, taking twice the time.
    for (uint32_t c = 0; c < components; ++c) {
      double sum = 0;
#pragma GCC unroll 4
      for (int j = 0; j < N; ++j) {
        double row = 0;
#pragma GCC unroll 4
        for (int i = 0; i < N; ++i) row += tx.weight[i] * rows[j][tx.index[i] + c];
        sum += ty.weight[j] * row;
      }
      out[c] = StoreSample<T>(sum);
    }
  }
}

// Any map, rotated ones included: both coordinates change along a destination row, so the taps
// are found per pixel.
template <typename T, typename Kernel>
void ResampleGeneral(SBxPicBuf& dst, const SBxPicBuf& src, const CBxPicMap::Affine& m) {
  for (int32_t y = 0; y < dst.height; ++y) {
    // Source point of the row's first pixel; each pixel to the right adds (xx, yx).
    double rowX = 0;
    double rowY = 0;
    m.Apply(rowX, rowY, 0, y);
    T* out = PicRow<T>(dst, y);
    for (int32_t x = 0; x < dst.width; ++x, out += dst.components) {
      const double sx = rowX + m.xx * x;
      const double sy = rowY + m.yx * x;
      if (!OnRaster(sx, src.width) || !OnRaster(sy, src.height)) continue;
      Interpolate<T>(out, src, AxisTaps<Kernel>(sx, src.width, src.components),
                     AxisTaps<Kernel>(sy, src.height, 1));
    }
  }
}

// A map without rotation, which is what the image view uses: the source x depends on the
// destination column only and the source y on the row only, so the taps of every column are found
// once per call and those of a row once per row, which halves the time of every kernel.
template <typename T, typename Kernel>
void ResampleAxisAligned(SBxPicBuf& dst, const SBxPicBuf& src, const CBxPicMap::Affine& m) {
  struct Column {
    bool onRaster;
    Taps<Kernel::kTaps> taps;
  };
  const std::unique_ptr<Column[]> columns(new (std::nothrow) Column[dst.width]);
  if (!columns) {
    ResampleGeneral<T, Kernel>(dst, src, m);
    return;
  }
  for (int32_t x = 0; x < dst.width; ++x) {
    const double sx = m.xx * x + m.tx;
    columns[x].onRaster = OnRaster(sx, src.width);
    if (columns[x].onRaster) columns[x].taps = AxisTaps<Kernel>(sx, src.width, src.components);
  }
  for (int32_t y = 0; y < dst.height; ++y) {
    const double sy = m.yy * y + m.ty;
    if (!OnRaster(sy, src.height)) continue;
    const Taps<Kernel::kTaps> ty = AxisTaps<Kernel>(sy, src.height, 1);
    T* out = PicRow<T>(dst, y);
    for (int32_t x = 0; x < dst.width; ++x, out += dst.components) {
      if (columns[x].onRaster) Interpolate<T>(out, src, columns[x].taps, ty);
    }
  }
}

template <typename T, typename Kernel>
void Resample(SBxPicBuf& dst, const SBxPicBuf& src, const CBxPicMap& map) {
  const CBxPicMap::Affine& m = map.DstToSrc();
  if (m.xy == 0 && m.yx == 0) {
    ResampleAxisAligned<T, Kernel>(dst, src, m);
  } else {
    ResampleGeneral<T, Kernel>(dst, src, m);
  }
}

template <typename Kernel>
void Transform(SBxPicBuf& dst, const SBxPicBuf& src, const CBxPicMap& map) {
  if (dst.components != src.components || dst.bitsPerComponent != src.bitsPerComponent ||
      src.components < 1 || src.components > 4 || dst.data == nullptr || src.data == nullptr ||
      dst.size == 0 || src.size == 0) {
    return;
  }
  if (src.bitsPerComponent == 8) {
    Resample<uint8_t, Kernel>(dst, src, map);
  } else if (src.bitsPerComponent == 16) {
    Resample<uint16_t, Kernel>(dst, src, map);
  }
}

}  // namespace

void CBxPicBufAPI::TransformConstantFast(SBxPicBuf& dst, const SBxPicBuf& src,
                                         const CBxPicMap& map) {
  Transform<NearestKernel>(dst, src, map);
}

void CBxPicBufAPI::TransformBilinearFast(SBxPicBuf& dst, const SBxPicBuf& src,
                                         const CBxPicMap& map) {
  Transform<BilinearKernel>(dst, src, map);
}

void CBxPicBufAPI::TransformBicubicFast(SBxPicBuf& dst, const SBxPicBuf& src,
                                        const CBxPicMap& map) {
  Transform<BicubicKernel>(dst, src, map);
}
