// The Gaussian pre-blur applied to a tile before very strong denoising.
#pragma once

#include <array>

#include "engine/footprint.h"
#include "picture/pic_buf.h"

// Pre-blur sigma for a strength x: 0.5 · ln(x − 25 + 1) + 0.2 above 25, otherwise −1 (no blur).
double PreBlurSigma(double strength);

// The 11 normalised taps g(−5) … g(5) of the kernel; a tap whose exponent i² / (2 sigma²) exceeds
// 20 is exactly zero.
std::array<float, 11> GaussianTaps11(float sigma);

// The blur's footprint (engine/footprint.h): the kernel reaches 5 pixels along each axis.
Footprint GaussianBlurFootprint();

// Blurs a single-component raster in place with the 11-tap kernel, separably in float, the kernel
// renormalised where it reaches past the raster's edge.
void GaussianBlur11(SBxPicBuf& raster, float sigma);

// Blurs component 0 of a three-component YUV raster with sigmaY when sigmaY > 0, and components 1
// and 2 with sigmaUV when sigmaUV > 0.
void BlurYUVComponents(SBxPicBuf& raster, double sigmaY, double sigmaUV);
