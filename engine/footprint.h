// How far the result of a stage at one pixel reaches into the stage's input, and the region of a
// picture that must be cut out around a rectangle so that the stages give, inside the rectangle,
// exactly what they give on the whole picture. The tile drivers cut their tiles by it, and so does
// the preview of one rectangle of a photo: a picture's result does not depend on how it is cut.
//
// Each stage computes a pixel from the input pixels within `reach` of it, in each direction, with
// the same arithmetic wherever the pixel lies; only near a raster's sides does it do otherwise
// (windows moved inward, mirrored or black padding, clipped windows). A region of a picture then
// gives the whole picture's result at every pixel `reach` or more away from each of its sides that
// is not a side of the picture, provided that
//   - its origin lies on the stage's `grid` (x and y): the coarser levels of its pyramids and the
//     filter's 2 × 2 cells then sample the same picture positions as on the whole picture, and its
//     far sides lie on the grid too, or on the picture's sides, so that its levels have the whole
//     picture's parity where the reach is counted;
//   - each of its sides is either the picture's side or at least `settledSide` long: some stages
//     choose their geometry from the raster's smaller side (the filter's padding, the number of
//     pyramid levels) and make the same choice for every side from that length on.
// Stages that run one after the other add their reaches; the grid and the settled side of the
// sequence are the largest of theirs (every grid is a power of two).
#pragma once

#include <cstdint>

// A half-open pixel rectangle [x0, x1) × [y0, y1).
struct TileRect {
  int32_t x0, y0, x1, y1;
  int32_t Width() const { return x1 - x0; }
  int32_t Height() const { return y1 - y0; }
  bool operator==(const TileRect&) const = default;
};

struct Footprint {
  int32_t reach = 0;        // pixels on each side
  int32_t grid = 1;         // a power of two
  int32_t settledSide = 0;  // pixels
  bool operator==(const Footprint&) const = default;
};

// `first` followed by `then`.
Footprint operator+(const Footprint& first, const Footprint& then);

// A footprint whose reach is at least `reach` pixels.
Footprint WithReachOfAtLeast(Footprint footprint, int32_t reach);

// Reaches through one step of a pyramid whose levels halve, with windows of `window` samples (odd)
// centred on the position (the coarse-scale chroma pass, the detail pyramid), in samples of the
// level written; h = window / 2. A reduction reads the fine samples within h of twice its position,
// so `fine` unreliable samples at a region's side spoil ⌈(fine + h) / 2⌉ coarse ones; an expansion
// reads the coarse samples within h of its position (in fine samples), so `coarse` spoil
// 2 · coarse + h − 1 fine ones at the region's start and, the levels' sides being even there,
// 2 · coarse + h at its end.
int32_t ReducedReach(int32_t fine, int32_t window);
int32_t ExpandedReach(int32_t coarse, int32_t window);

// The region of a width × height picture whose result under `footprint` equals the whole picture's
// inside `core` (which lies inside the picture): the core grown by the reach, its origin moved down
// to the grid, its far sides onto the grid or the picture's sides, and each side grown to the
// settled side where the picture allows.
TileRect RegionAround(const TileRect& core, const Footprint& footprint, int32_t width,
                      int32_t height);
