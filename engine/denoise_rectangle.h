// One rectangle of a picture exactly as the whole picture's run gives it there — `DenoisePicture`
// followed by `SharpenPicture` — computed from the region around the rectangle alone: the region
// that the footprints of denoising and sharpening ask for (engine/footprint.h), whose result inside
// the rectangle is the whole picture's to the bit. The live preview shows its rectangle through
// this, and `stillgrain-cli preview` writes it.
#pragma once

#include <cstdint>

#include "engine/denoise.h"
#include "engine/footprint.h"
#include "engine/sharpen_picture.h"
#include "picture/pic_buf.h"

// Regions reach at least this far beyond their rectangle whatever the footprint: the margin the
// live preview has always processed around its rectangle.
inline constexpr int32_t kLeastRectangleMargin = 41;

// The region of a width × height picture that the result inside `rect` (non-empty, inside the
// picture) depends on under `request` and `gains`.
TileRect RectangleRegion(const TileRect& rect, const DenoiseRequest& request,
                         const DetailGains& gains, int32_t width, int32_t height);

// Writes into `out` (re-created at the rectangle's size with the region's components and depth)
// the whole picture's result inside `rect`, from `region`: the pixels of `regionRect`, which is
// RectangleRegion of `rect`, cut out of the picture. True when the run was stopped or memory ran
// out; `out` then holds no result. A region that cannot be sharpened (out of memory) is shown
// unsharpened, as the whole picture's run keeps its result unsharpened then.
bool DenoiseRectangleOfRegion(SBxPicBuf& out, const SBxPicBuf& region, const TileRect& regionRect,
                              const TileRect& rect, const DenoiseRequest& request,
                              const DetailGains& gains, const RunControl& run);

// The same with the region cut out of `picture` here.
bool DenoiseRectangle(SBxPicBuf& out, const SBxPicBuf& picture, const TileRect& rect,
                      const DenoiseRequest& request, const DetailGains& gains,
                      const RunControl& run);
