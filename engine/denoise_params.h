// The parameters of one `DenoisePicture` call, as the tile driver and the per-tile pipeline pass
// them on.
#pragma once

#include <cstdint>

#include "engine/denoise.h"

struct DenoiseParams {
  double strength = 0;
  double strengthChroma = 0;
  double strengthChromaLarge = 0;
  int32_t quality = 3;
  double dynamics = 0;
  NoiseLevels noiseLevels{};
  bool processInYUV = false;
  bool useGpu = false;
  bool fusion = false;
  int32_t medianMode = kMedianNone;
};
