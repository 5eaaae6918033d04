// Everything that happens to one tile, or to a whole picture small enough to need no tiling.
#pragma once

#include <cstdint>

#include "engine/denoise.h"
#include "engine/footprint.h"
#include "picture/pic_buf.h"

// Denoises `in` (1 or 3 components, 8 or 16 bits) into `out` (same geometry): the point-artefact
// pre-pass, then either Y, U and V denoised with their own strengths (pre-blurred above strength
// 25, U and V given the coarse-scale chroma pass when strengthChromaLarge > 1) or, for a single
// component or with processInYUV clear, the picture denoised as one component. Working memory that
// cannot be had leaves the samples concerned as they were (engine/denoise.h). With `needed`, the
// part of `out` the caller uses, the result is exact inside it only: the CPU filter leaves out Y,
// U and V where `needed` does not depend on them.
void DenoiseTile(SBxPicBuf& out, const SBxPicBuf& in, const DenoiseRequest& params,
                 const RunControl& run, int32_t threadCount, const TileRect* needed = nullptr);

// What DenoiseTile with `params` depends on (engine/footprint.h): the footprints of the stages it
// runs, one after the other. The CPU filter's stands for the graphics card's, which has the same.
Footprint DenoiseFootprint(const DenoiseRequest& params);
