// Where the live preview lies: the real-valued rectangle the user drags and resizes by its edges,
// the pixel rectangle it covers on the picture, and the hit tests in view coordinates. The region
// processed around the pixel rectangle is the engine's (engine/denoise_rectangle.h).
#pragma once

#include <cstdint>

#include "engine/footprint.h"
#include "picture/pic_map.h"

// A rectangle of picture pixels: left and top inclusive, right and bottom exclusive.
struct PreviewPixels {
  int32_t left = 0;
  int32_t top = 0;
  int32_t right = 0;
  int32_t bottom = 0;
  bool operator==(const PreviewPixels&) const = default;
};

// Side of a newly placed preview, in picture pixels.
inline constexpr int32_t kPreviewSide = 200;
// The sides the user can give the rectangle by dragging its edges, in picture pixels.
inline constexpr int32_t kMinPreviewSide = 100;
inline constexpr int32_t kMaxPreviewSide = 1000;
// How far from an edge, in view pixels on either side, the mouse grabs it.
inline constexpr int32_t kPreviewEdgeGrip = 4;

// In picture coordinates; dragging moves it without limits, so it may leave the picture.
struct PreviewRect {
  double left = 0;
  double top = 0;
  double right = 0;
  double bottom = 0;
};

// A 200 × 200 rectangle centred on the picture point shown at the centre of the visible view area
// (from x 0 to `visibleRight`, y 0 to `viewHeight`), clipped to the picture.
PreviewRect PlacePreviewRect(const CBxPicMap& viewMapping, int32_t visibleRight, int32_t viewHeight,
                             int32_t width, int32_t height);

// Each coordinate plus 0.5, truncated toward zero, at most the picture's width (left, right) or
// height (top, bottom), and 0 when below 1. Empty (zero width or height) when the rectangle lies
// wholly off the picture.
PreviewPixels PreviewPixelsOf(const PreviewRect& rect, int32_t width, int32_t height);

bool IsEmpty(const PreviewPixels& pixels);

// The pixels both rectangles cover; empty when they do not overlap.
PreviewPixels Intersection(const PreviewPixels& a, const PreviewPixels& b);
// Whether `outer` covers every pixel of `inner` (an empty `inner` included).
bool Covers(const PreviewPixels& outer, const PreviewPixels& inner);

// The same pixels as the engine's rectangle.
TileRect TileRectOf(const PreviewPixels& pixels);

// The rectangle's corners mapped into the view, real-valued.
PreviewRect MappedToView(const CBxPicMap& viewMapping, const PreviewRect& rect);

// Whether the view point lies inside the rectangle mapped to the view (left and top inclusive,
// right and bottom exclusive).
bool PreviewContains(const CBxPicMap& viewMapping, const PreviewRect& rect, int32_t x, int32_t y);

// Moves the rectangle by a mouse movement of (dx, dy) view pixels at the given zoom.
void MovePreviewRect(PreviewRect& rect, int32_t dx, int32_t dy, double zoom);

// The edges of the rectangle that a view point grabs: those within kPreviewEdgeGrip view pixels of
// it, along its length; two at a corner, none elsewhere.
struct PreviewEdges {
  bool left = false;
  bool top = false;
  bool right = false;
  bool bottom = false;
  bool Any() const { return left || top || right || bottom; }
  bool operator==(const PreviewEdges&) const = default;
};
PreviewEdges GrabbedEdges(const CBxPicMap& viewMapping, const PreviewRect& rect, int32_t x,
                          int32_t y);

// Moves the grabbed edges by a mouse movement of (dx, dy) view pixels at the given zoom; the
// opposite edges stay, and each side stays within kMinPreviewSide … kMaxPreviewSide.
void ResizePreviewRect(PreviewRect& rect, PreviewEdges edges, int32_t dx, int32_t dy, double zoom);
