#include "engine/footprint.h"

#include <algorithm>

namespace {

struct Span {
  int32_t first;
  int32_t end;
};

int32_t DownToGrid(int32_t v, int32_t grid) { return v / grid * grid; }
int32_t UpToGrid(int32_t v, int32_t grid) { return (v + grid - 1) / grid * grid; }

// One axis of RegionAround: [first, end) inside [0, size).
Span SpanAround(Span core, const Footprint& footprint, int32_t size) {
  const int32_t grid = footprint.grid;
  int32_t first = DownToGrid(std::max(core.first - footprint.reach, 0), grid);
  int32_t end = std::min(core.end + footprint.reach, size);
  if (end - first < footprint.settledSide) {
    end = std::min(first + footprint.settledSide, size);
    first = DownToGrid(std::max(end - footprint.settledSide, 0), grid);
  }
  if (end < size) end = std::min(first + UpToGrid(end - first, grid), size);
  return {first, end};
}

}  // namespace

int32_t ReducedReach(int32_t fine, int32_t window) { return (fine + window / 2 + 1) / 2; }

int32_t ExpandedReach(int32_t coarse, int32_t window) { return 2 * coarse + window / 2; }

Footprint operator+(const Footprint& first, const Footprint& then) {
  return {first.reach + then.reach, std::max(first.grid, then.grid),
          std::max(first.settledSide, then.settledSide)};
}

Footprint WithReachOfAtLeast(Footprint footprint, int32_t reach) {
  footprint.reach = std::max(footprint.reach, reach);
  return footprint;
}

TileRect RegionAround(const TileRect& core, const Footprint& footprint, int32_t width,
                      int32_t height) {
  const Span x = SpanAround({core.x0, core.x1}, footprint, width);
  const Span y = SpanAround({core.y0, core.y1}, footprint, height);
  return {x.first, y.first, x.end, y.end};
}
