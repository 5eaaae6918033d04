// The sharpening step that follows denoising wherever a profile is applied (preview, full-size
// result, batch): the picture's detail pyramid over three components at its depth is rebuilt with
// the three gains, band by band on every CPU (engine/detail_sharpening_bands.h), and the result
// replaces the picture.
#pragma once

#include "engine/footprint.h"
#include "picture/pic_buf.h"

// The gains of the tiny, medium and rough details.
struct DetailGains {
  double tiny = 1;
  double medium = 1;
  double rough = 1;
};

// What sharpening with `gains` depends on (engine/footprint.h); nothing for gains that leave the
// picture as it is.
Footprint SharpeningFootprint(const DetailGains& gains);

// Sharpens (gain > 1) or softens (gain < 1) the tiny, medium and rough details of `picture` in
// place. True when the pyramid or the working copy cannot be made; the picture is then unchanged.
bool SharpenPicture(SBxPicBuf& picture, double gainTiny, double gainMedium, double gainRough);
bool SharpenPicture(SBxPicBuf& picture, const DetailGains& gains);
