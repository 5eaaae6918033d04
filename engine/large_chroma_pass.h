// The coarse-scale chroma pass: a chroma component denoised a second time at a quarter of its
// resolution through a four-level Laplacian pyramid.
#pragma once

#include <cstdint>
#include <vector>

#include "engine/footprint.h"
#include "engine/run_control.h"
#include "picture/pic_buf.h"

// One level of the pyramid: its size and its Gaussian and Laplacian planes, row-major floats.
struct PyramidLevel {
  int32_t width = 0;
  int32_t height = 0;
  std::vector<float> gauss;
  std::vector<float> laplace;
};

constexpr int kPyramidLevels = 4;

// The four levels of a W × H component, level k of W >> k by H >> k, their planes cleared. Throws
// std::bad_alloc when memory runs out; `LargeChromaPass` turns that into its failure result.
std::vector<PyramidLevel> AllocatePyramid(int32_t width, int32_t height);

// Builds the pyramid from level 0's Gaussian plane: the Gaussian planes of levels 1 … 3 and the
// Laplacian planes of levels 0 … 2. Reducing into, or expanding onto, a level with a side of 4 or
// less is skipped and leaves that level's plane as it was.
void DecomposePyramid(std::vector<PyramidLevel>& levels);

// The pass's footprint (engine/footprint.h) when level 2 is denoised by a filter of footprint
// `levelFilter`, counted in level-2 pixels: what the reductions, the filter and the expansions reach
// together in level-0 pixels, a grid on which level 3 and the filter's grid at level 2 fall, and
// sides that settle the filter at level 2 and give every level a 5 × 5 window.
Footprint LargeChromaPassFootprint(const Footprint& levelFilter);

// Denoises level 2 of the pyramid of `in` with `DenoiseComponent` and rebuilds the component into
// `out` (re-created like `in`; `out` may be `in`). True when the levels or the rasters of level 2
// cannot be allocated, in which case `out` is not written.
bool LargeChromaPass(SBxPicBuf& out, const SBxPicBuf& in, int32_t strength, int32_t quality,
                     double dynamics, const RunControl& run, bool useGpu, int32_t threadCount);
