#include "engine/denoise_tile.h"

#include "engine/denoise_component.h"
#include "engine/gaussian_blur.h"
#include "engine/large_chroma_pass.h"
#include "engine/non_local_means.h"
#include "engine/point_artefacts.h"
#include "engine/split_rows.h"

namespace {

constexpr double kPreBlurThreshold = 25.0;

bool PreBlurs(double strength) { return strength > kPreBlurThreshold; }

// Denoises the plane `in` into `out` (re-created like it) where the result inside `needed` depends
// on it: the filter's region around `needed`, the rest of `out` a copy of `in`. A small `needed`
// spares the filter's work on the rest.
void DenoisePlanePart(SBxPicBuf& out, const SBxPicBuf& in, const TileRect& needed,
                      double strength, double noiseLevel, const DenoiseRequest& params,
                      const RunControl& run, int32_t threadCount) {
  const TileRect part = RegionAround(needed, NlmFootprint(params.quality), in.width, in.height);
  if (part == TileRect{0, 0, in.width, in.height}) {
    DenoiseComponent(out, in, strength, params.quality, params.dynamics, run, noiseLevel, false,
                     threadCount);
    return;
  }
  ScopedPicBuf cut;
  ScopedPicBuf denoised;
  if (CBxPicBufAPI::ReinitHeap(out, in) ||
      CBxPicBufAPI::ReinitHeap(*cut, part.Width(), part.Height(), 1, in.bitsPerComponent) ||
      CBxPicBufAPI::ReinitHeap(*denoised, *cut)) {
    return;
  }
  CopyRectInBands(out, in, {0, 0}, {0, 0}, {in.width, in.height}, threadCount);
  CopyRectInBands(*cut, in, {0, 0}, {part.x0, part.y0}, {part.Width(), part.Height()},
                  threadCount);
  DenoiseComponent(*denoised, *cut, strength, params.quality, params.dynamics, run, noiseLevel,
                   false, threadCount);
  CopyRectInBands(out, *denoised, {part.x0, part.y0}, {0, 0}, {part.Width(), part.Height()},
                  threadCount);
}

// Denoises Y, U and V of a three-component tile with their own strengths, in place, exactly inside
// `needed`: Y where `needed` depends on it, U and V where the coarse-scale chroma pass's result
// inside `needed` does.
void DenoiseYuvComponents(SBxPicBuf& yuv, const TileRect& needed, const DenoiseRequest& params,
                          const RunControl& run, int32_t threadCount) {
  ScopedPicBuf in;
  ScopedPicBuf out;
  if (CBxPicBufAPI::ReinitHeap(*in, yuv.width, yuv.height, 1, yuv.bitsPerComponent) ||
      CBxPicBufAPI::ReinitHeap(*out, *in)) {
    return;
  }
  const bool largeChroma = params.strengthChromaLarge > 1;
  const auto largeStrength = static_cast<int32_t>(params.strengthChromaLarge);
  const TileRect chromaNeeded =
      largeChroma ? RegionAround(needed, LargeChromaPassFootprint(NlmFootprint(params.quality)),
                                 yuv.width, yuv.height)
                  : needed;
  for (uint32_t c = 0; c < 3; ++c) {
    const bool luma = c == 0;
    SplitPixelOp(*in, yuv, threadCount, [c](SBxPicBuf& plane, const SBxPicBuf& picture) {
      CBxPicBufAPI::ExtractComponent(plane, c, picture);
    });
    DenoisePlanePart(*out, *in, luma ? needed : chromaNeeded,
                     luma ? params.strength : params.strengthChroma,
                     luma ? params.noiseLevels.luma : params.noiseLevels.chroma, params, run,
                     threadCount);
    if (!luma && largeChroma) {
      LargeChromaPass(*out, *out, largeStrength, params.quality, params.dynamics, run, false,
                      threadCount);
    }
    SplitPixelOp(yuv, *out, threadCount, [c](SBxPicBuf& picture, const SBxPicBuf& plane) {
      CBxPicBufAPI::InsertComponent(picture, c, plane);
    });
  }
}

// The graphics card denoises Y, U and V in one go; the coarse-scale chroma pass follows on U and V.
void DenoiseYuvOnGpu(SBxPicBuf& yuv, const DenoiseRequest& params, const RunControl& run,
                     int32_t threadCount) {
  ScopedPicBuf denoised;
  ScopedPicBuf plane;
  if (CBxPicBufAPI::ReinitHeap(*denoised, yuv) ||
      CBxPicBufAPI::ReinitHeap(*plane, yuv.width, yuv.height, 1, yuv.bitsPerComponent)) {
    return;
  }
  DenoiseYUVOnGPU(*denoised, yuv, params.strength, params.strengthChroma, params.quality,
                  params.dynamics, run, params.noiseLevels.luma, params.noiseLevels.chroma);
  if (params.strengthChromaLarge > 1) {
    const auto largeStrength = static_cast<int32_t>(params.strengthChromaLarge);
    for (uint32_t c = 1; c < 3; ++c) {
      CBxPicBufAPI::ExtractComponent(*plane, c, *denoised);
      LargeChromaPass(*plane, *plane, largeStrength, params.quality, params.dynamics, run,
                      true, threadCount);
      CBxPicBufAPI::InsertComponent(*denoised, c, *plane);
    }
  }
  CBxPicBufAPI::Copy(yuv, *denoised);
}

void DenoiseInYuv(SBxPicBuf& out, const SBxPicBuf& picture, const TileRect& needed,
                  const DenoiseRequest& params, const RunControl& run, int32_t threadCount) {
  ScopedPicBuf yuv;
  if (CBxPicBufAPI::ReinitHeap(*yuv, picture)) return;
  SplitPixelOp(*yuv, picture, threadCount, &CBxPicBufAPI::ConvertRGBtoYUV);
  if (PreBlurs(params.strength) || PreBlurs(params.strengthChroma)) {
    BlurYUVComponents(*yuv, PreBlurSigma(params.strength), PreBlurSigma(params.strengthChroma));
  }
  if (params.useGpu) {
    DenoiseYuvOnGpu(*yuv, params, run, threadCount);
  } else {
    DenoiseYuvComponents(*yuv, needed, params, run, threadCount);
  }
  if (CBxPicBufAPI::ReinitHeap(out, picture)) return;
  SplitPixelOp(out, *yuv, threadCount, &CBxPicBufAPI::ConvertYUVtoRGB);
}

void DenoiseAsOneComponent(SBxPicBuf& out, const SBxPicBuf& picture, const DenoiseRequest& params,
                           const RunControl& run, int32_t threadCount) {
  const SBxPicBuf* source = &picture;
  ScopedPicBuf blurred;
  if (PreBlurs(params.strength) && !CBxPicBufAPI::ReinitHeap(*blurred, picture)) {
    CBxPicBufAPI::Copy(*blurred, picture);
    const double sigma = PreBlurSigma(params.strength);
    if (picture.components == 1) {
      GaussianBlur11(*blurred, static_cast<float>(sigma));
    } else {
      BlurYUVComponents(*blurred, sigma, sigma);
    }
    source = &*blurred;
  }
  DenoiseComponent(out, *source, params.strength, params.quality, params.dynamics, run,
                   params.noiseLevels.luma, params.useGpu, threadCount);
}

}  // namespace

void DenoiseTile(SBxPicBuf& out, const SBxPicBuf& in, const DenoiseRequest& params,
                 const RunControl& run, int32_t threadCount, const TileRect* needed) {
  const SBxPicBuf* source = &in;
  ScopedPicBuf filtered;
  if (IsPointArtefactModeActive(params.medianMode)) {
    ReducePointArtefacts(params.medianMode, in, *filtered);
    source = &*filtered;
  }
  if (params.processInYUV && source->components == 3) {
    DenoiseInYuv(out, *source, needed != nullptr ? *needed : TileRect{0, 0, in.width, in.height},
                 params, run, threadCount);
  } else {
    DenoiseAsOneComponent(out, *source, params, run, threadCount);
  }
}

Footprint DenoiseFootprint(const DenoiseRequest& params) {
  const Footprint filter = NlmFootprint(params.quality);
  Footprint footprint = PointArtefactFootprint(params.medianMode);
  if (PreBlurs(params.strength) || PreBlurs(params.strengthChroma)) {
    footprint = footprint + GaussianBlurFootprint();
  }
  footprint = footprint + filter;
  if (params.strengthChromaLarge > 1) footprint = footprint + LargeChromaPassFootprint(filter);
  return footprint;
}
