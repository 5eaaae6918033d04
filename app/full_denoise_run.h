// The full-size denoising run of the open photo, on a worker thread of its own.
//
// The parameters panel asks for a run with the slider positions packed into one message, so the run
// uses the values the sliders can show (strength steps of 0.05, dynamics steps of 0.02):
//   wParam = strength position | chroma position << 16
//   lParam = chroma-large position | dynamics position << 16
#pragma once

#include <cstdint>
#include <functional>

#include "picture/photo_document.h"
#include "engine/run_control.h"

struct FullDenoiseValues {
  double strength = 0;
  double strengthChroma = 0;
  double strengthChromaLarge = 0;
  double dynamics = 0;
};

// Strengths are position / 20, the dynamics position / 50 − 2.
FullDenoiseValues UnpackFullDenoiseMessage(uintptr_t wParam, intptr_t lParam);
// The packing the panel does (the inverse for positions within 0 … 65535).
void PackFullDenoiseMessage(uint32_t strength, uint32_t chroma, uint32_t chromaLarge,
                            uint32_t dynamics, uintptr_t& wParam, intptr_t& lParam);

struct FullDenoiseRequest {
  FullDenoiseValues values;
  int32_t quality = 3;
  int32_t medianMode = 0;
  bool useGpu = false;
  bool fusion = false;
  RunControl run;  // the panel's progress bar and the window's stop flag
};

// The job of one run: `document.sourcePicture` denoised into `document.denoisedPicture`. It calls
// `beforeRun` first and `afterRun` last (the graphics-context hand-over and the end report) on the
// worker thread; between them it holds the graphics context when the run uses the GPU.
std::function<void()> FullDenoiseJob(PhotoDocument& document, const FullDenoiseRequest& request,
                                     std::function<void()> beforeRun,
                                     std::function<void()> afterRun);
