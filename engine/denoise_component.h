// The entry through which one component (Y, U, V or a grey picture) is denoised.
#pragma once

#include <cstdint>

#include "engine/run_control.h"
#include "picture/pic_buf.h"

// Denoises a single-component 8- or 16-bit raster into `out` (which must have the input's geometry).
// The raster is padded to even sides with a black column and row, an 8-bit guide is built, and the
// work goes to the GPU filter or to the CPU non-local-means filter with `threadCount` threads (at
// most 16). `dynamics` is the user's value; the filters receive twice it. A cancelled run gives
// out = in, and so does working memory that cannot be had. Multi-component rasters are denoised
// component by component.
void DenoiseComponent(SBxPicBuf& out, const SBxPicBuf& in, double strength, int32_t quality,
                      double dynamics, const RunControl& run, double noiseLevel, bool useGpu,
                      int32_t threadCount);

// The three-component counterpart on the graphics card: a Y, U, V raster denoised with per-channel
// distances, the luma strength for Y and the chroma strength for U and V. Same padding, cropping,
// cancel and pass-through rules as DenoiseComponent. Runs on the thread that holds the GPU context.
void DenoiseYUVOnGPU(SBxPicBuf& out, const SBxPicBuf& in, double lumaStrength,
                     double chromaStrength, int32_t quality, double dynamics,
                     const RunControl& run, double lumaNoise, double chromaNoise);
