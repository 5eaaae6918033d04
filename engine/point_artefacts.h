// Point-artefact reduction: median filters against isolated bright or dark points (hot pixels,
// impulse noise), run on a tile before it is denoised.
//
// The median of n gathered samples is the sample of rank ⌊n/2⌋ (0-based) in ascending order, so for
// even n it is the upper of the two middle values.
#pragma once

#include <cstdint>

#include "engine/footprint.h"
#include "picture/pic_buf.h"

// True for the modes that filter (1 "Common" and 2 "Strong"); every other mode leaves tiles alone.
bool IsPointArtefactModeActive(int32_t mode);

// The pre-pass's footprint for a mode (engine/footprint.h): the radius of its median window.
Footprint PointArtefactFootprint(int32_t mode);

// Writes the filtered tile into `filtered` (re-created with the tile's geometry). Mode 1 uses
// `MedianCross5` at 8 bits and `Median3x3` at 16 bits, mode 2 `Median7x7`; each component is
// filtered as its own plane. Any other mode copies the tile.
void ReducePointArtefacts(int32_t mode, const SBxPicBuf& tile, SBxPicBuf& filtered);

// The filters work on single-component planes of equal size; `dst` starts as a copy of `src`.
// Mode 1, 8 bits: median of the pixel and its four direct neighbours, interior pixels only.
void MedianCross5(SBxPicBuf& dst, const SBxPicBuf& src);
// Mode 1, 16 bits: median of the 3 × 3 neighbourhood, interior pixels only.
void Median3x3(SBxPicBuf& dst, const SBxPicBuf& src);
// Mode 2, 8 or 16 bits: median of the 7 × 7 window clipped at the plane's edge, every pixel.
void Median7x7(SBxPicBuf& dst, const SBxPicBuf& src);
