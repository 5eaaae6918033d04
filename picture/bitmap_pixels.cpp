#include "picture/bitmap_pixels.h"

namespace {

// Where picture component c (0 blue, 1 green, 2 red) sits among a stored pixel's channels: 8-bit
// bitmaps keep FreeImage's byte order (B, G, R on little-endian machines), the 16-bit types are
// R, G, B structures. Alpha is always the fourth channel.
uint32_t StoredChannel(const BitmapLayout& layout, uint32_t component) {
  if (layout.channels == 1) return 0;
  static constexpr uint32_t kBitmapOrder[3] = {FI_RGBA_BLUE, FI_RGBA_GREEN, FI_RGBA_RED};
  static constexpr uint32_t kRgb16Order[3] = {2, 1, 0};
  return layout.bitsPerChannel == 8 ? kBitmapOrder[component] : kRgb16Order[component];
}
constexpr uint32_t kStoredAlphaChannel = 3;

// Pairs every sample of one stored row with its place in the picture row or the alpha row and
// hands both to `assign`, which copies in one direction or the other.
template <typename Stored, typename Pictured, typename Assign>
void PairRowSamples(const BitmapLayout& layout, int32_t width, Stored* stored, Pictured* picture,
                    Pictured* alpha, Assign assign) {
  const uint32_t components = layout.PictureComponents();
  for (int32_t x = 0; x < width; ++x, stored += layout.channels, picture += components) {
    for (uint32_t c = 0; c < components; ++c) assign(stored[StoredChannel(layout, c)], picture[c]);
    if (alpha) assign(stored[kStoredAlphaChannel], alpha[x]);
  }
}

template <typename T>
T* ScanLineOfRow(FIBITMAP* bitmap, int32_t height, int32_t y) {
  return reinterpret_cast<T*>(FreeImage_GetScanLine(bitmap, height - 1 - y));
}

template <typename T>
void ReadPixels(FIBITMAP* bitmap, const BitmapLayout& layout, SBxPicBuf& picture,
                SBxPicBuf* alpha) {
  for (int32_t y = 0; y < picture.height; ++y) {
    PairRowSamples(layout, picture.width, ScanLineOfRow<const T>(bitmap, picture.height, y),
                   PicRow<T>(picture, y), alpha ? PicRow<T>(*alpha, y) : nullptr,
                   [](const T& stored, T& pictured) { pictured = stored; });
  }
}

template <typename T>
void WritePixels(FIBITMAP* bitmap, const BitmapLayout& layout, const SBxPicBuf& picture,
                 const SBxPicBuf* alpha) {
  for (int32_t y = 0; y < picture.height; ++y) {
    PairRowSamples(layout, picture.width, ScanLineOfRow<T>(bitmap, picture.height, y),
                   PicRow<T>(picture, y), alpha ? PicRow<T>(*alpha, y) : nullptr,
                   [](T& stored, const T& pictured) { stored = pictured; });
  }
}

}  // namespace

std::optional<BitmapLayout> LayoutOfBitmap(FIBITMAP* bitmap) {
  const FREE_IMAGE_COLOR_TYPE colour = FreeImage_GetColorType(bitmap);
  if (colour == FIC_PALETTE || colour == FIC_CMYK) return std::nullopt;
  const FREE_IMAGE_TYPE type = FreeImage_GetImageType(bitmap);
  switch (type) {
    case FIT_BITMAP: {
      const uint32_t bitsPerPixel = FreeImage_GetBPP(bitmap);
      if (bitsPerPixel != 8 && bitsPerPixel != 24 && bitsPerPixel != 32) return std::nullopt;
      return BitmapLayout{type, bitsPerPixel / 8, 8};
    }
    case FIT_UINT16:
      return BitmapLayout{type, 1, 16};
    case FIT_RGB16:
      return BitmapLayout{type, 3, 16};
    case FIT_RGBA16:
      return BitmapLayout{type, 4, 16};
    default:
      return std::nullopt;
  }
}

std::optional<BitmapLayout> LayoutForPicture(const SBxPicBuf& picture, bool withAlpha) {
  const uint32_t bits = picture.bitsPerComponent;
  if ((bits != 8 && bits != 16) || (picture.components != 1 && picture.components != 3)) {
    return std::nullopt;
  }
  if (picture.components == 1) return BitmapLayout{bits == 8 ? FIT_BITMAP : FIT_UINT16, 1, bits};
  const uint32_t channels = withAlpha ? 4 : 3;
  if (bits == 8) return BitmapLayout{FIT_BITMAP, channels, 8};
  return BitmapLayout{withAlpha ? FIT_RGBA16 : FIT_RGB16, channels, 16};
}

void ReadBitmapPixels(FIBITMAP* bitmap, const BitmapLayout& layout, SBxPicBuf& picture,
                      SBxPicBuf* alpha) {
  SBxPicBuf* usedAlpha = layout.HasAlpha() ? alpha : nullptr;
  if (layout.bitsPerChannel == 8) {
    ReadPixels<uint8_t>(bitmap, layout, picture, usedAlpha);
  } else {
    ReadPixels<uint16_t>(bitmap, layout, picture, usedAlpha);
  }
}

void WriteBitmapPixels(FIBITMAP* bitmap, const BitmapLayout& layout, const SBxPicBuf& picture,
                       const SBxPicBuf* alpha) {
  const SBxPicBuf* usedAlpha = layout.HasAlpha() ? alpha : nullptr;
  if (layout.bitsPerChannel == 8) {
    WritePixels<uint8_t>(bitmap, layout, picture, usedAlpha);
  } else {
    WritePixels<uint16_t>(bitmap, layout, picture, usedAlpha);
  }
}
