// The picture buffer: the raster record that every stage of Stillgrain passes around, and the
// static operations over it.
//
// Conventions shared by every operation below:
// - A plain record is owned by whoever called `Init` on it; the owner releases it with `DoneHeap`.
//   `Init` is called once before any other use; `ReinitHeap` may be called any number of times.
//   `PicBuf` (below) is a record that owns its storage and releases it itself.
// - Rows are packed: stride = width × components × bytes per sample. 16-bit rasters are addressed
//   as stride / 2 elements per row, 32-bit float rasters as stride / 4.
// - Depths: 8 (unsigned byte), 16 (unsigned 16-bit) and 32 (single-precision float). Float samples
//   hold the position of a value relative to full scale, so 0.0 is black and 1.0 is white.
// - Colour pictures are stored in the component order B, G, R. After `ConvertRGBtoYUV` component 0
//   is Y and components 1 and 2 are U and V.
// - No operation keeps shared state: distinct buffers may be used from distinct threads at once.
// - No operation throws or aborts. An allocation that fails (or a geometry whose row does not fit
//   the 32-bit `stride` field) leaves `data` empty and `ReinitHeap` returns true. The size of a
//   whole raster is not limited: `size` has 64 bits.
//
// Choices of this implementation:
// - YUV is full-range BT.601 (the JPEG matrix): Y = 0.299 R + 0.587 G + 0.114 B,
//   U = 0.5 (B − Y) / 0.886 + offset, V = 0.5 (R − Y) / 0.701 + offset, computed in double and
//   rounded half up, clamped to the depth's range. The offset of U and V is half scale: 128 at
//   8 bits, 32768 at 16 bits, 0.5 in float. An RGB → YUV → RGB round trip at 8 or 16 bits restores
//   every value within ±1.
// - Depth conversions keep the position relative to full scale and round half up:
//   8 → 16 is v · 257 (exact), 16 → 8 is ⌊(v · 255 + 32767) / 65535⌋, integer → float is v / max,
//   float → integer is ⌊clamp(f, 0, 1) · max + 0.5⌋. So integer → float → integer is lossless.
// - Component conversions: 1 → 3 or 4 replicates the grey value; a fourth component added to a
//   colour picture is opaque (full scale); 4 → 3 drops the fourth; 3 or 4 → 1 gives the BT.601
//   luminance of the B, G, R components, rounded half up.
// - Interpolation: nearest neighbour takes the source pixel whose centre is nearest; bilinear
//   weighs the four surrounding pixels; bicubic uses the Catmull-Rom kernel (Keys, a = −0.5) over
//   4 × 4 pixels. Source pixels beyond the edge are clamped to the edge; destination pixels whose
//   source point lies outside the source raster (by more than half a pixel) are left unchanged.
#pragma once

#include <cstdint>

struct SBxPicBuf {
  uint8_t* data;              // row 0, component 0 of pixel 0; null when the buffer has no storage
  int64_t size;               // total bytes of the raster
  int32_t stride;             // bytes from one row to the next
  int32_t width;              // pixels
  int32_t height;             // pixels
  uint32_t components;        // interleaved components per pixel: 1, 3 or 4 (2 is accepted too)
  uint32_t bitsPerComponent;  // 8, 16 or 32 (float)
};

template <typename T>
struct CBxPoint {
  T x;
  T y;
};

template <typename T>
struct CBxSize {
  T width;
  T height;
};

template <typename T>
struct CBxRect {
  T left;
  T top;
  T right;   // exclusive
  T bottom;  // exclusive
};

class CBxPicMap;

class CBxPicBufAPI {
 public:
  CBxPicBufAPI() = delete;

  // Puts the record into the empty state (no storage).
  static void Init(SBxPicBuf& buf);
  // (Re)allocates storage for the geometry; contents undefined. True on failure (data empty).
  [[nodiscard]] static bool ReinitHeap(SBxPicBuf& buf, int32_t width, int32_t height, uint32_t components,
                         uint32_t bits);
  // Allocates the geometry of `like` without copying pixels. True on failure.
  [[nodiscard]] static bool ReinitHeap(SBxPicBuf& buf, const SBxPicBuf& like);
  // Releases the storage; the record is empty afterwards.
  static void DoneHeap(SBxPicBuf& buf);

  // Copies all pixels; `dst` has the geometry of `src`.
  static void Copy(SBxPicBuf& dst, const SBxPicBuf& src);
  // Copies the `size` rectangle at `srcPoint` of `src` to `dstPoint` of `dst` (equal components and
  // depth). The rectangle is clipped to both rasters.
  static void CopyRect(SBxPicBuf& dst, const SBxPicBuf& src, CBxPoint<int> dstPoint,
                       CBxPoint<int> srcPoint, CBxSize<int> size);
  // Copies component `index` of `src` into the single-component `dst` of the same size and depth.
  static void ExtractComponent(SBxPicBuf& dst, uint32_t index, const SBxPicBuf& src);
  // Copies the single-component `src` into component `index` of `dst` (same size and depth).
  static void InsertComponent(SBxPicBuf& dst, uint32_t index, const SBxPicBuf& src);
  // Converts in place to the given depth and component count. True on allocation failure, in which
  // case the buffer is unchanged.
  [[nodiscard]] static bool ConvertBpcComp(SBxPicBuf& buf, uint32_t bits, uint32_t components);

  // Colour-space conversions between 3-component buffers of equal geometry and depth. `dst` may be
  // `src` itself.
  static void ConvertRGBtoYUV(SBxPicBuf& dst, const SBxPicBuf& src);
  static void ConvertYUVtoRGB(SBxPicBuf& dst, const SBxPicBuf& src);

  // Fill every byte, or every byte of the rectangle, with an 8-bit value.
  static void SetConst(SBxPicBuf& buf, uint8_t value);
  static void SetConst(SBxPicBuf& buf, CBxRect<int> rect, uint8_t value);

  // Resample `src` into `dst` (equal components and depth, 8 or 16 bits) through `map`, which maps
  // source points to destination points.
  static void TransformConstantFast(SBxPicBuf& dst, const SBxPicBuf& src, const CBxPicMap& map);
  static void TransformBilinearFast(SBxPicBuf& dst, const SBxPicBuf& src, const CBxPicMap& map);
  static void TransformBicubicFast(SBxPicBuf& dst, const SBxPicBuf& src, const CBxPicMap& map);
};

// Typed access to one row of a raster.
template <typename T>
inline T* PicRow(SBxPicBuf& buf, int32_t y) {
  return reinterpret_cast<T*>(buf.data + static_cast<int64_t>(y) * buf.stride);
}
template <typename T>
inline const T* PicRow(const SBxPicBuf& buf, int32_t y) {
  return reinterpret_cast<const T*>(buf.data + static_cast<int64_t>(y) * buf.stride);
}

// A picture buffer that owns its storage: the record itself (every operation and every function that
// takes an SBxPicBuf takes it), empty when made, released when it goes. It moves and does not copy;
// a moved-from buffer is empty.
class PicBuf : public SBxPicBuf {
 public:
  PicBuf() : SBxPicBuf{} {}
  ~PicBuf() { CBxPicBufAPI::DoneHeap(*this); }
  PicBuf(PicBuf&& other) noexcept : SBxPicBuf(other) { CBxPicBufAPI::Init(other); }
  PicBuf& operator=(PicBuf&& other) noexcept {
    if (this != &other) {
      CBxPicBufAPI::DoneHeap(*this);
      static_cast<SBxPicBuf&>(*this) = other;
      CBxPicBufAPI::Init(other);
    }
    return *this;
  }
  PicBuf(const PicBuf&) = delete;
  PicBuf& operator=(const PicBuf&) = delete;
};

// A picture buffer owned by a scope: `Init` on construction, `DoneHeap` on destruction. The engine
// uses it for its temporaries.
class ScopedPicBuf {
 public:
  ScopedPicBuf() { CBxPicBufAPI::Init(buf_); }
  ~ScopedPicBuf() { CBxPicBufAPI::DoneHeap(buf_); }
  ScopedPicBuf(const ScopedPicBuf&) = delete;
  ScopedPicBuf& operator=(const ScopedPicBuf&) = delete;

  SBxPicBuf& operator*() { return buf_; }
  const SBxPicBuf& operator*() const { return buf_; }
  SBxPicBuf* operator->() { return &buf_; }
  const SBxPicBuf* operator->() const { return &buf_; }

 private:
  SBxPicBuf buf_;
};
