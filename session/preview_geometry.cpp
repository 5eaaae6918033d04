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

// The rectangle's edges in view coordinates.
struct ViewBox {
  int32_t left, top, right, bottom;
};

ViewBox BoxInView(const CBxPicMap& viewMapping, const PreviewRect& rect) {
  const PreviewRect mapped = MappedToView(viewMapping, rect);
  return {ViewCoordinate(mapped.left), ViewCoordinate(mapped.top), ViewCoordinate(mapped.right),
          ViewCoordinate(mapped.bottom)};
}

bool Near(int32_t v, int32_t edge) { return std::abs(v - edge) <= kPreviewEdgeGrip; }

bool Along(int32_t v, int32_t from, int32_t to) {
  return v >= from - kPreviewEdgeGrip && v <= to + kPreviewEdgeGrip;
}

// One side moved by `move` picture units from the end that is dragged, kept within the limits.
void MoveSide(double& moving, double fixed, double move) {
  const double direction = moving >= fixed ? 1.0 : -1.0;
  const double side = std::clamp(direction * (moving + move - fixed), double{kMinPreviewSide},
                                 double{kMaxPreviewSide});
  moving = fixed + direction * side;
}

}  // namespace

PreviewRect MappedToView(const CBxPicMap& viewMapping, const PreviewRect& rect) {
  PreviewRect mapped;
  viewMapping.MapPointSrcToDst(mapped.left, mapped.top, rect.left, rect.top);
  viewMapping.MapPointSrcToDst(mapped.right, mapped.bottom, rect.right, rect.bottom);
  return mapped;
}

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
  const ViewBox box = BoxInView(viewMapping, rect);
  return x >= box.left && x < box.right && y >= box.top && y < box.bottom;
}

PreviewEdges GrabbedEdges(const CBxPicMap& viewMapping, const PreviewRect& rect, int32_t x,
                          int32_t y) {
  const ViewBox box = BoxInView(viewMapping, rect);
  const bool alongX = Along(x, box.left, box.right);
  const bool alongY = Along(y, box.top, box.bottom);
  return {alongY && Near(x, box.left), alongX && Near(y, box.top), alongY && Near(x, box.right),
          alongX && Near(y, box.bottom)};
}

void ResizePreviewRect(PreviewRect& rect, PreviewEdges edges, int32_t dx, int32_t dy, double zoom) {
  if (edges.left) MoveSide(rect.left, rect.right, dx / zoom);
  if (edges.right) MoveSide(rect.right, rect.left, dx / zoom);
  if (edges.top) MoveSide(rect.top, rect.bottom, dy / zoom);
  if (edges.bottom) MoveSide(rect.bottom, rect.top, dy / zoom);
}

void MovePreviewRect(PreviewRect& rect, int32_t dx, int32_t dy, double zoom) {
  const double moveX = dx / zoom;
  const double moveY = dy / zoom;
  rect.left += moveX;
  rect.right += moveX;
  rect.top += moveY;
  rect.bottom += moveY;
}
