#include "session/preview_geometry.h"

#include <algorithm>
#include <cmath>

namespace {

// v + 0.5 truncated toward zero, limited to `limit`, 0 below 1. The rectangle may have been dragged
// arbitrarily far, so the value is limited before it is converted.
int32_t PixelCoordinate(double v, int32_t limit) {
  const double limited = std::min(v + 0.5, static_cast<double>(limit));
  return limited < 1.0 ? 0 : static_cast<int32_t>(limited);
}

int32_t RoundHalfUp(double v) { return static_cast<int32_t>(std::floor(v + 0.5)); }

// A mapped corner of a rectangle dragged far off the view may lie beyond the range of int.
int32_t ViewCoordinate(double v) {
  constexpr double kLimit = 1e9;
  return RoundHalfUp(std::clamp(v, -kLimit, kLimit));
}

}  // namespace

PreviewRect PlacePreviewRect(const CBxPicMap& viewMapping, int32_t visibleRight, int32_t viewHeight,
                             int32_t width, int32_t height) {
  double x = 0;
  double y = 0;
  viewMapping.MapPointDstToSrc(x, y, visibleRight / 2, viewHeight / 2);
  const int32_t cx = RoundHalfUp(x);
  const int32_t cy = RoundHalfUp(y);
  const int32_t half = kPreviewSide / 2;
  return {static_cast<double>(std::max(cx - half, 0)), static_cast<double>(std::max(cy - half, 0)),
          static_cast<double>(std::min(cx + half, width)),
          static_cast<double>(std::min(cy + half, height))};
}

PreviewPixels PreviewPixelsOf(const PreviewRect& rect, int32_t width, int32_t height) {
  return {PixelCoordinate(rect.left, width), PixelCoordinate(rect.top, height),
          PixelCoordinate(rect.right, width), PixelCoordinate(rect.bottom, height)};
}

bool IsEmpty(const PreviewPixels& pixels) {
  return pixels.right <= pixels.left || pixels.bottom <= pixels.top;
}

PreviewPixels Intersection(const PreviewPixels& a, const PreviewPixels& b) {
  const PreviewPixels both{std::max(a.left, b.left), std::max(a.top, b.top),
                           std::min(a.right, b.right), std::min(a.bottom, b.bottom)};
  return IsEmpty(both) ? PreviewPixels{} : both;
}

bool Covers(const PreviewPixels& outer, const PreviewPixels& inner) {
  return IsEmpty(inner) || Intersection(outer, inner) == inner;
}

TileRect TileRectOf(const PreviewPixels& pixels) {
  return {pixels.left, pixels.top, pixels.right, pixels.bottom};
}

bool PreviewContains(const CBxPicMap& viewMapping, const PreviewRect& rect, int32_t x, int32_t y) {
  double left = 0;
  double top = 0;
  double right = 0;
  double bottom = 0;
  viewMapping.MapPointSrcToDst(left, top, rect.left, rect.top);
  viewMapping.MapPointSrcToDst(right, bottom, rect.right, rect.bottom);
  return x >= ViewCoordinate(left) && x < ViewCoordinate(right) && y >= ViewCoordinate(top) &&
         y < ViewCoordinate(bottom);
}

void MovePreviewRect(PreviewRect& rect, int32_t dx, int32_t dy, double zoom) {
  const double moveX = dx / zoom;
  const double moveY = dy / zoom;
  rect.left += moveX;
  rect.right += moveX;
  rect.top += moveY;
  rect.bottom += moveY;
}
