// The pixel layouts that pass between FreeImage bitmaps and picture buffers, and the copy of the
// pixels in either direction:
//
//   bitmap                                  picture                    alpha plane
//   8 bits per pixel, grey (as stored)      1 × 8                      –
//   24 bits per pixel                       3 × 8, B G R               –
//   32 bits per pixel                       3 × 8, B G R               1 × 8, the fourth byte
//   FIT_UINT16 (16-bit grey)                1 × 16                     –
//   FIT_RGB16 (stored R G B)                3 × 16, B G R              –
//   FIT_RGBA16 (stored R G B A)             3 × 16, B G R              1 × 16, the fourth value
//
// Pictures hold their top row first; FreeImage's scan lines run bottom-up, so picture row y is scan
// line height − 1 − y. 8-bit grey pictures are saved as 8-bit bitmaps with a grey palette.
#pragma once

#include <FreeImage.h>

#include <cstdint>
#include <optional>

#include "picture/pic_buf.h"

struct BitmapLayout {
  FREE_IMAGE_TYPE type;
  uint32_t channels;        // stored per pixel: 1 grey, 3 colour, 4 colour and alpha
  uint32_t bitsPerChannel;  // 8 or 16

  uint32_t BitsPerPixel() const { return channels * bitsPerChannel; }
  uint32_t PictureComponents() const { return channels == 4 ? 3 : channels; }
  bool HasAlpha() const { return channels == 4; }
};

// The layout of a bitmap that a picture can take, or none. Refused: palette and CMYK bitmaps,
// bitmaps of 1, 4 and 16 (RGB555/565) bits per pixel, and every other FreeImage type (signed and
// 32-bit integers, floats, doubles, complex, float RGB and RGBA), which have no picture depth.
std::optional<BitmapLayout> LayoutOfBitmap(FIBITMAP* bitmap);

// The layout of a bitmap that holds a picture of 1 or 3 components of 8 or 16 bits, with an alpha
// channel when `withAlpha` and the picture has colour (a grey picture is saved without one); none
// for any other picture.
std::optional<BitmapLayout> LayoutForPicture(const SBxPicBuf& picture, bool withAlpha);

// Copies the pixels of a bitmap of `layout` into `picture` (the bitmap's size, the layout's
// components and depth) and, for a layout with alpha, its fourth channel into `alpha` (one
// component of the same size and depth; unused otherwise).
void ReadBitmapPixels(FIBITMAP* bitmap, const BitmapLayout& layout, SBxPicBuf& picture,
                      SBxPicBuf* alpha);

// The inverse: fills a bitmap of `layout` and the picture's size from `picture` and, for a layout
// with alpha, `alpha`.
void WriteBitmapPixels(FIBITMAP* bitmap, const BitmapLayout& layout, const SBxPicBuf& picture,
                       const SBxPicBuf* alpha);
