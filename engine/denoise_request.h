// The values of one denoising run, as every caller builds them and the engine passes them down to
// its tiles. Each field says its range and default here, once.
#pragma once

#include <cstdint>

// Noise levels measured on a picture. They are handed down to the filters, which do not read them:
// they never influence the result.
struct NoiseLevels {
  double luma;
  double chroma;
  double reserved;
};

// Point-artefact pre-pass modes.
enum MedianMode : int32_t {
  kMedianNone = 0,    // "None (Recommended)"
  kMedianCommon = 1,  // "Common"
  kMedianStrong = 2,  // "Strong"
};

struct DenoiseRequest {
  double strength = 0;             // luma strength, also for one-component pictures (0 to 50)
  double strengthChroma = 0;       // strength for U and V (0 to 50)
  double strengthChromaLarge = 0;  // the coarse-scale chroma pass runs with its whole-number part
                                   // when > 1 (0 to 50)
  int32_t quality = 3;             // search window: 1 → 7 × 7, 2 → 13 × 13, anything else → 21 × 21
  double dynamics = 0;             // dark/light dependence, −2 to 2; positive smooths light areas
                                   // more, negative dark ones
  int32_t medianMode = kMedianNone;  // point-artefact pre-pass (`MedianMode`)
  bool processInYUV = true;          // a colour picture is denoised as Y, U, V
  bool useGpu = false;               // on the graphics card (the CPU when none is usable)
  bool fusion = false;               // with useGpu: tiles shared between the card and the CPU
  NoiseLevels noiseLevels{-1, -1, -1};
};
