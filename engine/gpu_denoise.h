// Non-local-means denoising of one tile on the graphics card, through the run's CGPGPU
// (gpu/gpgpu.h). The engine calls these instead of its CPU filter when it runs with the GPU.
//
// Both functions:
// - run on the thread on which the GPU context is current (gpu/gl_context.h), and only while
//   the run's `gpu` exists and is `usable`; without it the destination receives a copy of the
//   source;
// - take the tile size from the destination (before re-creating it), pad the picture by R + 3 with
//   mirrored borders and visit ⌊N²/2⌋ + 1 offsets of the N × N search window (N = 7, 13 or 21 for
//   quality 1, 2 or anything else), one progress step and one cancel check each;
// - release the source's raster while they work and re-create it with the same content, and
//   re-create the destination with the source's geometry: filled with the result, or unfilled when
//   the run was cancelled (the caller then copies the source into it);
// - accept tiles of 8- or 16-bit samples with sides up to `maxTileEdge`;
// - ignore the noise levels.
#pragma once

#include <cstdint>

#include "engine/run_control.h"
#include "picture/pic_buf.h"

// The run's graphics card when it has one that is usable, else null.
CGPGPU* UsableGpu(const RunControl& run);

// The pad radius R for a destination of width × height: (min(2⌊min/2⌋ − 1, 71)) / 2, toward zero.
int32_t GpuPadRadius(int32_t width, int32_t height);

// A tile of 1 or 3 components with distances from its last component; every component is averaged
// with the same weights. `guide` is the engine's 8-bit copy and is released unread. variance =
// strength^3.5; `dynamics` is the value the engine hands its filters (twice the user's).
void GpuDenoiseSingleGuide(SBxPicBuf& destination, SBxPicBuf& source, SBxPicBuf& guide,
                           double strength, int32_t quality, double dynamics,
                           const RunControl& run, double noiseLevel);

// A three-component YUV tile with distances per channel from `guide` (same geometry as the source,
// released after use): luma strength for Y, chroma strength for U and V.
void GpuDenoiseYuv(SBxPicBuf& destination, SBxPicBuf& source, SBxPicBuf& guide, double lumaStrength,
                   double chromaStrength, int32_t quality, double dynamics, const RunControl& run,
                   double noiseLevelY, double noiseLevelUV);
