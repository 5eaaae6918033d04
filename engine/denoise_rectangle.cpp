#include "engine/denoise_rectangle.h"

#include "engine/denoise_tile.h"

TileRect RectangleRegion(const TileRect& rect, const DenoiseRequest& request,
                         const DetailGains& gains, int32_t width, int32_t height) {
  const Footprint footprint = WithReachOfAtLeast(
      DenoiseFootprint(request) + SharpeningFootprint(gains), kLeastRectangleMargin);
  return RegionAround(rect, footprint, width, height);
}

bool DenoiseRectangleOfRegion(SBxPicBuf& out, const SBxPicBuf& region, const TileRect& regionRect,
                              const TileRect& rect, const DenoiseRequest& request,
                              const DetailGains& gains, const RunControl& run) {
  // Sharpening inside the rectangle reads the denoised region around it alone, `needed`: only that
  // is denoised exactly and sharpened.
  const TileRect inRegion{rect.x0 - regionRect.x0, rect.y0 - regionRect.y0,
                          rect.x1 - regionRect.x0, rect.y1 - regionRect.y0};
  const TileRect needed =
      RegionAround(inRegion, SharpeningFootprint(gains), region.width, region.height);
  ScopedPicBuf denoised;
  ScopedPicBuf sharpened;
  if (CBxPicBufAPI::ReinitHeap(*denoised, region) ||
      CBxPicBufAPI::ReinitHeap(*sharpened, needed.Width(), needed.Height(), region.components,
                               region.bitsPerComponent)) {
    return true;
  }
  DenoisePicture(*denoised, region, request, run, &needed);
  if (run.StopRequested()) return true;
  CBxPicBufAPI::CopyRect(*sharpened, *denoised, {0, 0}, {needed.x0, needed.y0},
                         {needed.Width(), needed.Height()});
  SharpenPicture(*sharpened, gains);
  if (CBxPicBufAPI::ReinitHeap(out, rect.Width(), rect.Height(), region.components,
                               region.bitsPerComponent)) {
    return true;
  }
  CBxPicBufAPI::CopyRect(out, *sharpened, {0, 0},
                         {inRegion.x0 - needed.x0, inRegion.y0 - needed.y0},
                         {rect.Width(), rect.Height()});
  return false;
}

bool DenoiseRectangle(SBxPicBuf& out, const SBxPicBuf& picture, const TileRect& rect,
                      const DenoiseRequest& request, const DetailGains& gains,
                      const RunControl& run) {
  const TileRect regionRect = RectangleRegion(rect, request, gains, picture.width, picture.height);
  ScopedPicBuf region;
  if (CBxPicBufAPI::ReinitHeap(*region, regionRect.Width(), regionRect.Height(),
                               picture.components, picture.bitsPerComponent)) {
    return true;
  }
  CBxPicBufAPI::CopyRect(*region, picture, {0, 0}, {regionRect.x0, regionRect.y0},
                         {regionRect.Width(), regionRect.Height()});
  return DenoiseRectangleOfRegion(out, *region, regionRect, rect, request, gains, run);
}
