// Mirror padding of a single-component raster around its centre image.
#pragma once

#include <cstdint>

#include "picture/pic_buf.h"

// The image coordinate that padded coordinate k reads, for an image span [border, size − border):
// itself inside the span, and its reflection about the outermost image row or column (without
// repeating it) outside. Spans narrower than the border are folded again, so any k lands inside.
int32_t MirrorCoordinate(int32_t k, int32_t border, int32_t size);

// Fills the border of width `border` of an 8- or 16-bit single-component raster in place from its
// centre (border, border) … (width − border − 1, height − border − 1). Corners become point
// reflections of the image.
void MirrorPad(SBxPicBuf& raster, int32_t border);
