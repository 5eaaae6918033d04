// The noise of a photo, measured on an 8-bit copy with the engine's estimator (EstimateNoise,
// EstimateNoiseYUV): over the whole photo, the levels the camera profiles store and the panel
// shows, and over the photo's smoothest parts, the levels the automatic profile reads.
//
// The estimator cannot tell fine texture (foliage, fabric, hair) from noise: over a whole clean,
// detailed photo it reads as much "noise" as a smooth photo with real noise of σ 3 to 5. Noise
// covers a photo evenly, texture does not, so the automatic profile reads the level where the
// photo is smoothest: the estimator runs on every block of 16 × 16 pixels and the level at the
// tenth percentile of the blocks is taken. Blocks that touch black or white are left out, because
// clipping hides noise there.
//
// JPEG compression takes the finest part of the noise away where a photo is smooth, and leaves
// coarser blotches that the filter still removes but the estimator's 3 × 3 mask hardly sees. Two
// more readings look for that noise:
// - across the JPEG grid: in the smoothest blocks, the estimator only where its mask straddles a
//   line of the 8 × 8 grid. JPEG quantises each block apart, so the noise it flattens inside a
//   block shows as steps between blocks; texture and white noise read there as anywhere else, so
//   this reading lifts JPEG noise alone;
// - coarse: the smooth parts read again on a copy of half the width and height (each pixel the
//   mean of four), where the blotches are fine again; white noise reads lower there, JPEG noise
//   higher, but so does texture that is coarser than the mask.
#pragma once

#include "engine/denoise_request.h"
#include "picture/pic_buf.h"

struct PhotoNoise {
  NoiseLevels whole{0, 0, 0};   // over the whole photo
  NoiseLevels smooth{0, 0, 0};  // over its smoothest blocks
  NoiseLevels coarse{0, 0, 0};  // over the smoothest blocks of the half-size copy
  double gridLuma = 0;          // luma (grey) level across the JPEG grid in the smoothest blocks
  bool colour = false;          // chroma levels were measured (a photo of 3 components)
};

// The noise levels of a photo as the profiles store them: luma and chroma from the Y, U, V of an
// 8-bit copy for a colour photo; the grey level and 0 for a grey one. A 16-bit photo is measured
// on its 8-bit copy, so its levels are on the same 8-bit scale as those of an 8-bit photo.
NoiseLevels MeasurePhotoNoise(const SBxPicBuf& picture);

// All the measurements of a photo. A photo without a block that can be read gives the whole photo's
// levels for the smooth ones, and the smooth levels for the coarse and grid ones.
PhotoNoise MeasurePhotoNoiseInDetail(const SBxPicBuf& picture);
