#include "picture/pic_map.h"

#include <cmath>
#include <limits>

namespace {

// Rounds half up into int; out-of-range values saturate and NaN gives 0, so that no input makes
// the conversion undefined.
int RoundToInt(double v) {
  const double rounded = std::floor(v + 0.5);
  if (std::isnan(rounded)) return 0;
  if (rounded <= std::numeric_limits<int>::min()) return std::numeric_limits<int>::min();
  if (rounded >= std::numeric_limits<int>::max()) return std::numeric_limits<int>::max();
  return static_cast<int>(rounded);
}

void RoundedApply(const CBxPicMap::Affine& m, int& outX, int& outY, int x, int y) {
  double fx = 0;
  double fy = 0;
  m.Apply(fx, fy, x, y);
  outX = RoundToInt(fx);
  outY = RoundToInt(fy);
}

}  // namespace

CBxPicMap::CBxPicMap() { Compute(0, 0, 0, 0, 0, 1); }

void CBxPicMap::Compute(double dstCenterX, double dstCenterY, double srcCenterX, double srcCenterY,
                        double angle, double zoom) {
  const double c = std::cos(angle);
  const double s = std::sin(angle);
  srcToDst_.xx = zoom * c;
  srcToDst_.xy = -zoom * s;
  srcToDst_.yx = zoom * s;
  srcToDst_.yy = zoom * c;
  srcToDst_.tx = dstCenterX - srcToDst_.xx * srcCenterX - srcToDst_.xy * srcCenterY;
  srcToDst_.ty = dstCenterY - srcToDst_.yx * srcCenterX - srcToDst_.yy * srcCenterY;

  // The inverse rotates back by −angle and divides by the zoom.
  const double inverseZoom = zoom == 0 ? 0 : 1 / zoom;
  dstToSrc_.xx = inverseZoom * c;
  dstToSrc_.xy = inverseZoom * s;
  dstToSrc_.yx = -inverseZoom * s;
  dstToSrc_.yy = inverseZoom * c;
  dstToSrc_.tx = srcCenterX - dstToSrc_.xx * dstCenterX - dstToSrc_.xy * dstCenterY;
  dstToSrc_.ty = srcCenterY - dstToSrc_.yx * dstCenterX - dstToSrc_.yy * dstCenterY;
}

void CBxPicMap::MapPointSrcToDst(int& outX, int& outY, int x, int y) const {
  RoundedApply(srcToDst_, outX, outY, x, y);
}

void CBxPicMap::MapPointSrcToDst(double& outX, double& outY, double x, double y) const {
  srcToDst_.Apply(outX, outY, x, y);
}

void CBxPicMap::MapPointDstToSrc(int& outX, int& outY, int x, int y) const {
  RoundedApply(dstToSrc_, outX, outY, x, y);
}

void CBxPicMap::MapPointDstToSrc(double& outX, double& outY, int x, int y) const {
  dstToSrc_.Apply(outX, outY, x, y);
}

void CBxPicMap::MapPointDstToSrc(double& outX, double& outY, double x, double y) const {
  dstToSrc_.Apply(outX, outY, x, y);
}
