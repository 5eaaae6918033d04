// Storage, copies and per-pixel conversions of picture buffers.
//
// A record is in one of two states: empty (data null, size 0) or holding `size` bytes. A geometry
// with no pixels (width or height 0) is valid and empty; `ReinitHeap` accepts it and returns false.
// Operations given buffers whose geometry does not fit their contract do nothing, since no
// operation may abort. Float results of the colour conversions are neither rounded nor clamped:
// float rasters hold intermediates, and a value pushed out of range must survive the way back.
#include "picture/pic_buf.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <type_traits>

#include "picture/allocation_failures.h"
#include "picture/pic_sample.h"

namespace {

// Every raster starts on a cache line, which suits the widest vector loads of the filters.
constexpr size_t kAlignment = 64;

constexpr double kLumaR = 0.299;
constexpr double kLumaG = 0.587;
constexpr double kLumaB = 0.114;

bool ValidFormat(uint32_t components, uint32_t bits) {
  return components >= 1 && components <= 4 && (bits == 8 || bits == 16 || bits == 32);
}

int64_t PixelBytes(const SBxPicBuf& buf) {
  return int64_t{buf.components} * (buf.bitsPerComponent / 8);
}

bool HasStorage(const SBxPicBuf& buf) { return buf.data != nullptr && buf.size > 0; }

bool SameGeometry(const SBxPicBuf& a, const SBxPicBuf& b) {
  return a.width == b.width && a.height == b.height && a.components == b.components &&
         a.bitsPerComponent == b.bitsPerComponent && a.size == b.size;
}

bool SameSizeAndDepth(const SBxPicBuf& a, const SBxPicBuf& b) {
  return a.width == b.width && a.height == b.height && a.bitsPerComponent == b.bitsPerComponent &&
         HasStorage(a) && HasStorage(b);
}

// The part of one axis of a rectangle copy that lies inside both rasters.
struct Span {
  int64_t src;
  int64_t dst;
  int64_t length;
};

Span ClipSpan(int64_t src, int64_t dst, int64_t length, int64_t srcSize, int64_t dstSize) {
  const int64_t shift = std::max({int64_t{0}, -src, -dst});
  src += shift;
  dst += shift;
  length = std::min({length - shift, srcSize - src, dstSize - dst});
  return {src, dst, std::max<int64_t>(length, 0)};
}

template <typename T>
void CopyComponent(SBxPicBuf& dst, uint32_t dstIndex, const SBxPicBuf& src, uint32_t srcIndex) {
  for (int32_t y = 0; y < src.height; ++y) {
    const T* in = PicRow<T>(src, y) + srcIndex;
    T* out = PicRow<T>(dst, y) + dstIndex;
    for (int32_t x = 0; x < src.width; ++x) {
      out[static_cast<size_t>(x) * dst.components] = in[static_cast<size_t>(x) * src.components];
    }
  }
}

void CopyComponentChecked(SBxPicBuf& dst, uint32_t dstIndex, const SBxPicBuf& src,
                          uint32_t srcIndex) {
  if (!SameSizeAndDepth(dst, src) || dstIndex >= dst.components || srcIndex >= src.components) {
    return;
  }
  VisitSampleType(src.bitsPerComponent, [&](auto sample) {
    CopyComponent<decltype(sample)>(dst, dstIndex, src, srcIndex);
  });
}

// One sample to another depth, keeping its position relative to full scale. The integer pairs use
// exact integer arithmetic so that 8 → 16 → 8 and integer → float → integer are lossless.
template <typename D, typename S>
D ConvertSample(S v) {
  if constexpr (std::is_same_v<S, D>) {
    return v;
  } else if constexpr (std::is_same_v<S, uint8_t> && std::is_same_v<D, uint16_t>) {
    return static_cast<uint16_t>(v * 257u);
  } else if constexpr (std::is_same_v<S, uint16_t> && std::is_same_v<D, uint8_t>) {
    return static_cast<uint8_t>((uint32_t{v} * 255u + 32767u) / 65535u);
  } else if constexpr (std::is_same_v<D, float>) {
    return static_cast<float>(v / SampleTraits<S>::kFullScale);
  } else {
    return StoreSample<D>(v * SampleTraits<D>::kFullScale);
  }
}

template <typename D, typename S>
D Luminance(const S* bgr) {
  const double luma = kLumaB * bgr[0] + kLumaG * bgr[1] + kLumaR * bgr[2];
  return StoreSample<D>(luma * (SampleTraits<D>::kFullScale / SampleTraits<S>::kFullScale));
}

// Which of the component counts carry colour (B, G, R) rather than grey, and which end in alpha.
struct Layout {
  bool colour;
  bool alpha;
};

Layout LayoutOf(uint32_t components) {
  return {components >= 3, components == 2 || components == 4};
}

template <typename S, typename D>
void ConvertPixels(SBxPicBuf& dst, const SBxPicBuf& src) {
  const Layout in = LayoutOf(src.components);
  const Layout out = LayoutOf(dst.components);
  const D opaque = static_cast<D>(SampleTraits<D>::kFullScale);
  for (int32_t y = 0; y < src.height; ++y) {
    const S* p = PicRow<S>(src, y);
    D* q = PicRow<D>(dst, y);
    for (int32_t x = 0; x < src.width; ++x, p += src.components, q += dst.components) {
      if (out.colour) {
        for (int c = 0; c < 3; ++c) q[c] = ConvertSample<D>(p[in.colour ? c : 0]);
      } else {
        q[0] = in.colour ? Luminance<D>(p) : ConvertSample<D>(p[0]);
      }
      if (out.alpha) {
        q[dst.components - 1] = in.alpha ? ConvertSample<D>(p[src.components - 1]) : opaque;
      }
    }
  }
}

// Applies `f(c0, c1, c2, out)` to every pixel of a 3-component raster. All three inputs are read
// before `f` writes, so `dst` may be `src`.
template <typename T, typename F>
void MapTriples(SBxPicBuf& dst, const SBxPicBuf& src, F f) {
  const int64_t count = int64_t{src.width} * 3;
  for (int32_t y = 0; y < src.height; ++y) {
    const T* in = PicRow<T>(src, y);
    T* out = PicRow<T>(dst, y);
    for (int64_t i = 0; i < count; i += 3) f(in[i], in[i + 1], in[i + 2], out + i);
  }
}

template <typename T>
constexpr double ChromaOffset() {
  if constexpr (std::is_floating_point_v<T>) {
    return 0.5;
  } else {
    return (SampleTraits<T>::kFullScale + 1.0) / 2.0;
  }
}

template <typename T>
void RgbToYuv(SBxPicBuf& dst, const SBxPicBuf& src) {
  constexpr double kOffset = ChromaOffset<T>();
  MapTriples<T>(dst, src, [](double b, double g, double r, T* out) {
    const double y = kLumaR * r + kLumaG * g + kLumaB * b;
    out[0] = StoreSample<T>(y);
    out[1] = StoreSample<T>(0.5 * (b - y) / 0.886 + kOffset);
    out[2] = StoreSample<T>(0.5 * (r - y) / 0.701 + kOffset);
  });
}

template <typename T>
void YuvToRgb(SBxPicBuf& dst, const SBxPicBuf& src) {
  constexpr double kOffset = ChromaOffset<T>();
  MapTriples<T>(dst, src, [](double y, double u, double v, T* out) {
    u -= kOffset;
    v -= kOffset;
    out[0] = StoreSample<T>(y + 1.772 * u);
    out[1] = StoreSample<T>(y - 0.344136286 * u - 0.714136286 * v);
    out[2] = StoreSample<T>(y + 1.402 * v);
  });
}

bool ColourConversionValid(const SBxPicBuf& dst, const SBxPicBuf& src) {
  return SameSizeAndDepth(dst, src) && dst.components == 3 && src.components == 3;
}

}  // namespace

void CBxPicBufAPI::Init(SBxPicBuf& buf) { buf = SBxPicBuf{}; }

bool CBxPicBufAPI::ReinitHeap(SBxPicBuf& buf, int32_t width, int32_t height, uint32_t components,
                              uint32_t bits) {
  constexpr int64_t kMaxStride = std::numeric_limits<int32_t>::max();
  // With a valid format the stride stays below 2^35, and a stride below 2^31 times a height below
  // 2^31 cannot overflow 64 bits.
  const bool valid = width >= 0 && height >= 0 && ValidFormat(components, bits);
  const int64_t stride = valid ? int64_t{width} * components * (bits / 8) : 0;
  if (!valid || stride > kMaxStride) {
    DoneHeap(buf);
    if (valid) NoteAllocationFailure();
    return true;
  }
  const int64_t bytes = stride * height;
  if (bytes != buf.size) {
    DoneHeap(buf);
    if (bytes > 0) {
      const size_t rounded =
          (static_cast<size_t>(bytes) + kAlignment - 1) / kAlignment * kAlignment;
      buf.data = static_cast<uint8_t*>(std::aligned_alloc(kAlignment, rounded));
      if (buf.data == nullptr) {
        NoteAllocationFailure();
        return true;
      }
    }
  }
  buf.size = bytes;
  buf.stride = static_cast<int32_t>(stride);
  buf.width = width;
  buf.height = height;
  buf.components = components;
  buf.bitsPerComponent = bits;
  return false;
}

bool CBxPicBufAPI::ReinitHeap(SBxPicBuf& buf, const SBxPicBuf& like) {
  return ReinitHeap(buf, like.width, like.height, like.components, like.bitsPerComponent);
}

void CBxPicBufAPI::DoneHeap(SBxPicBuf& buf) {
  std::free(buf.data);
  Init(buf);
}

// A `dst` of another geometry is re-created first; if that fails it stays empty.
void CBxPicBufAPI::Copy(SBxPicBuf& dst, const SBxPicBuf& src) {
  if (&dst == &src) return;
  if (!SameGeometry(dst, src) && ReinitHeap(dst, src)) return;
  if (HasStorage(src)) std::memcpy(dst.data, src.data, static_cast<size_t>(src.size));
}

void CBxPicBufAPI::CopyRect(SBxPicBuf& dst, const SBxPicBuf& src, CBxPoint<int> dstPoint,
                            CBxPoint<int> srcPoint, CBxSize<int> size) {
  if (dst.components != src.components || dst.bitsPerComponent != src.bitsPerComponent ||
      !HasStorage(dst) || !HasStorage(src)) {
    return;
  }
  const Span xs = ClipSpan(srcPoint.x, dstPoint.x, size.width, src.width, dst.width);
  const Span ys = ClipSpan(srcPoint.y, dstPoint.y, size.height, src.height, dst.height);
  if (xs.length == 0 || ys.length == 0) return;
  const int64_t pixel = PixelBytes(src);
  const size_t rowBytes = static_cast<size_t>(xs.length * pixel);
  // Within one raster a copy downwards must start at the bottom so that no source row is
  // overwritten before it is read; memmove handles overlap inside a row.
  const bool upwards = dst.data == src.data && ys.dst > ys.src;
  for (int64_t i = 0; i < ys.length; ++i) {
    const int64_t row = upwards ? ys.length - 1 - i : i;
    std::memmove(PicRow<uint8_t>(dst, static_cast<int32_t>(ys.dst + row)) + xs.dst * pixel,
                 PicRow<uint8_t>(src, static_cast<int32_t>(ys.src + row)) + xs.src * pixel,
                 rowBytes);
  }
}

void CBxPicBufAPI::ExtractComponent(SBxPicBuf& dst, uint32_t index, const SBxPicBuf& src) {
  if (dst.components == 1) CopyComponentChecked(dst, 0, src, index);
}

void CBxPicBufAPI::InsertComponent(SBxPicBuf& dst, uint32_t index, const SBxPicBuf& src) {
  if (src.components == 1) CopyComponentChecked(dst, index, src, 0);
}

bool CBxPicBufAPI::ConvertBpcComp(SBxPicBuf& buf, uint32_t bits, uint32_t components) {
  if (bits == buf.bitsPerComponent && components == buf.components) return false;
  if (!ValidFormat(buf.components, buf.bitsPerComponent)) return true;
  ScopedPicBuf converted;
  if (ReinitHeap(*converted, buf.width, buf.height, components, bits)) return true;
  VisitSampleType(buf.bitsPerComponent, [&](auto in) {
    VisitSampleType(bits,
                    [&](auto out) { ConvertPixels<decltype(in), decltype(out)>(*converted, buf); });
  });
  std::swap(buf, *converted);
  return false;
}

void CBxPicBufAPI::ConvertRGBtoYUV(SBxPicBuf& dst, const SBxPicBuf& src) {
  if (!ColourConversionValid(dst, src)) return;
  VisitSampleType(src.bitsPerComponent, [&](auto sample) { RgbToYuv<decltype(sample)>(dst, src); });
}

void CBxPicBufAPI::ConvertYUVtoRGB(SBxPicBuf& dst, const SBxPicBuf& src) {
  if (!ColourConversionValid(dst, src)) return;
  VisitSampleType(src.bitsPerComponent, [&](auto sample) { YuvToRgb<decltype(sample)>(dst, src); });
}

void CBxPicBufAPI::SetConst(SBxPicBuf& buf, uint8_t value) {
  if (HasStorage(buf)) std::memset(buf.data, value, static_cast<size_t>(buf.size));
}

void CBxPicBufAPI::SetConst(SBxPicBuf& buf, CBxRect<int> rect, uint8_t value) {
  if (!HasStorage(buf)) return;
  const int64_t left = std::max(rect.left, 0);
  const int64_t right = std::min(rect.right, buf.width);
  const int32_t top = std::max(rect.top, 0);
  const int32_t bottom = std::min(rect.bottom, buf.height);
  if (left >= right) return;
  const int64_t pixel = PixelBytes(buf);
  for (int32_t y = top; y < bottom; ++y) {
    std::memset(PicRow<uint8_t>(buf, y) + left * pixel, value,
                static_cast<size_t>((right - left) * pixel));
  }
}
