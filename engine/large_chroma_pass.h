// The coarse-scale chroma pass: a chroma component denoised a second time at a quarter of its
// resolution through a four-level Laplacian pyramid.
#pragma once

#include <cstdint>
#include <vector>

#include "picture/pic_buf.h"
#include "platform/progress_sink.h"

// One level of the pyramid: its size and its Gaussian and Laplacian planes, row-major floats.
struct PyramidLevel {
  int32_t width = 0;
  int32_t height = 0;
  std::vector<float> gauss;
  std::vector<float> laplace;
};

constexpr int kPyramidLevels = 4;

// The sizes of the four levels of a W × H component: W >> k by H >> k.
std::vector<PyramidLevel> AllocatePyramid(int32_t width, int32_t height);

// Denoises level 2 of the pyramid of `in` with `DenoiseComponent` and rebuilds the component into
// `out` (re-created like `in`; `out` may be `in`). True when a level cannot be allocated, in which
// case `out` is not written.
bool LargeChromaPass(SBxPicBuf& out, const SBxPicBuf& in, int32_t strength, int32_t quality,
                     double dynamics, ProgressSink* progress, bool useGpu, int32_t threadCount);
