#include "picture/pic_map.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include "picture/pic_buf.h"
#include "support/test_pictures.h"

namespace {

using testpics::Picture;
using API = CBxPicBufAPI;
using TransformFn = void (*)(SBxPicBuf&, const SBxPicBuf&, const CBxPicMap&);

struct MapCase {
  double dstCenterX, dstCenterY, srcCenterX, srcCenterY, angle, zoom;
};

const MapCase kMaps[] = {
    {0, 0, 0, 0, 0, 1},           {400.5, 300, 1000, 750, 0, 0.25}, {10, -3, 2.5, 7, 0, 3},
    {320, 240, 50, 60, 0.3, 1.7}, {-5, 8, 11, 13, -2.0, 0.6},
};

TEST(PicMap, SourceToDestinationAndBackIsTheIdentity) {
  for (const MapCase& m : kMaps) {
    CBxPicMap map;
    map.Compute(m.dstCenterX, m.dstCenterY, m.srcCenterX, m.srcCenterY, m.angle, m.zoom);
    for (const double x : {-17.0, 0.0, 3.25, 1999.0}) {
      for (const double y : {-2.5, 0.0, 640.0}) {
        double dx = 0, dy = 0, sx = 0, sy = 0;
        map.MapPointSrcToDst(dx, dy, x, y);
        map.MapPointDstToSrc(sx, sy, dx, dy);
        EXPECT_NEAR(sx, x, 1e-9);
        EXPECT_NEAR(sy, y, 1e-9);
      }
    }
  }
}

TEST(PicMap, UnrotatedMapScalesAboutTheCentres) {
  for (const MapCase& m : kMaps) {
    if (m.angle != 0) continue;
    CBxPicMap map;
    map.Compute(m.dstCenterX, m.dstCenterY, m.srcCenterX, m.srcCenterY, 0, m.zoom);
    for (const int x : {-3, 0, 17, 1280}) {
      const int y = 2 * x - 5;
      double wx = 0, wy = 0;
      map.MapPointSrcToDst(wx, wy, x, y);
      EXPECT_NEAR(wx, (x - m.srcCenterX) * m.zoom + m.dstCenterX, 1e-9);
      EXPECT_NEAR(wy, (y - m.srcCenterY) * m.zoom + m.dstCenterY, 1e-9);
      // Window point to picture coordinates, the form the image view uses.
      double px = 0, py = 0;
      map.MapPointDstToSrc(px, py, x, y);
      EXPECT_NEAR(px, (x - m.dstCenterX) / m.zoom + m.srcCenterX, 1e-9);
      EXPECT_NEAR(py, (y - m.dstCenterY) / m.zoom + m.srcCenterY, 1e-9);
    }
  }
}

TEST(PicMap, RotatesCounterClockwiseInTheMathematicalSense) {
  CBxPicMap map;
  map.Compute(100, 50, 10, 20, std::numbers::pi / 2, 2);
  double x = 0, y = 0;
  map.MapPointSrcToDst(x, y, 11, 20);  // one pixel along +x from the source centre
  EXPECT_NEAR(x, 100, 1e-12);
  EXPECT_NEAR(y, 52, 1e-12);
}

TEST(PicMap, IntegerFormsRoundHalfUp) {
  CBxPicMap map;
  map.Compute(0, 0, 0, 0, 0, 0.5);
  int x = 0, y = 0;
  map.MapPointSrcToDst(x, y, 3, -3);
  EXPECT_EQ(x, 2);
  EXPECT_EQ(y, -1);
  map.MapPointDstToSrc(x, y, 3, -3);
  EXPECT_EQ(x, 6);
  EXPECT_EQ(y, -6);
}

constexpr double kUntouched = 7;

// Samples `src` at (sx, sy) into a single destination pixel that holds kUntouched before.
double SampleAt(TransformFn transform, const Picture& src, double sx, double sy) {
  Picture dst = testpics::Constant(1, 1, 1, src.buf().bitsPerComponent, kUntouched);
  CBxPicMap map;
  map.Compute(0, 0, sx, sy, 0, 1);
  transform(dst, src, map);
  return dst.At(0, 0);
}

Picture Row(uint32_t bits, std::initializer_list<double> values) {
  Picture p(static_cast<int32_t>(values.size()), 1, 1, bits);
  int32_t x = 0;
  for (const double v : values) p.Set(x++, 0, 0, v);
  return p;
}

const TransformFn kNearest = &API::TransformConstantFast;
const TransformFn kBilinear = &API::TransformBilinearFast;
const TransformFn kBicubic = &API::TransformBicubicFast;

TEST(PicTransform, KernelValues) {
  struct Case {
    const char* what;
    TransformFn transform;
    Picture src;
    double sx;
    double expected;
  };
  const Case cases[] = {
      {"nearest rounds half up", kNearest, Row(8, {10, 20, 30}), 0.5, 20},
      {"nearest below half", kNearest, Row(8, {10, 20, 30}), 1.49, 20},
      {"nearest at the left limit", kNearest, Row(8, {10, 20, 30}), -0.5, 10},
      {"nearest just inside the right limit", kNearest, Row(8, {10, 20, 30}), 2.49, 30},
      {"nearest beyond the right limit", kNearest, Row(8, {10, 20, 30}), 2.5, kUntouched},
      {"bilinear beyond the left limit", kBilinear, Row(8, {10, 20, 30}), -0.51, kUntouched},
      {"bicubic beyond the right limit", kBicubic, Row(16, {10, 20, 30}), 2.5, kUntouched},
      {"bilinear quarter", kBilinear, Row(8, {0, 100}), 0.25, 25},
      {"bilinear rounds half up", kBilinear, Row(16, {0, 65535}), 0.5, 32768},
      {"bilinear clamps beyond the edge", kBilinear, Row(8, {40, 100}), 1.4, 100},
      {"bicubic keeps a ramp", kBicubic, Row(8, {0, 10, 20, 30, 40, 50, 60, 70}), 3.5, 35},
      {"bicubic halfway up a step", kBicubic, Row(8, {0, 0, 255, 255}), 1.5, 128},
      {"bicubic overshoot is clamped", kBicubic, Row(8, {0, 255, 255, 255, 255}), 1.25, 255},
      {"bicubic undershoot is clamped", kBicubic, Row(16, {65535, 0, 0, 0, 0}), 1.25, 0},
      {"bicubic repeats the edge", kBicubic, Row(8, {90, 90, 0}), -0.4, 90},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(SampleAt(c.transform, c.src, c.sx, 0), c.expected) << c.what;
  }
}

TEST(PicTransform, UnitZoomCopiesForEveryKernel) {
  for (const TransformFn transform : {kNearest, kBilinear, kBicubic}) {
    for (const uint32_t bits : {8u, 16u}) {
      for (uint32_t components = 1; components <= 4; ++components) {
        SCOPED_TRACE(::testing::Message() << bits << " bits, " << components << " components");
        const Picture src = testpics::RandomPicture(23, 11, components, bits, components);
        Picture dst(23, 11, components, bits);
        transform(dst, src, CBxPicMap());
        EXPECT_TRUE(testpics::BitIdentical(dst, src));
      }
    }
  }
}

TEST(PicTransform, DoubleZoomNearestReplicatesPixels) {
  const Picture src = testpics::RandomPicture(5, 3, 3, 16, 11);
  Picture dst(10, 6, 3, 16);
  CBxPicMap map;
  // Centres of the two rasters, so that their outer edges coincide.
  map.Compute(4.5, 2.5, 2, 1, 0, 2);
  API::TransformConstantFast(dst, src, map);
  for (int32_t y = 0; y < 6; ++y) {
    for (int32_t x = 0; x < 10; ++x) {
      for (uint32_t c = 0; c < 3; ++c) ASSERT_EQ(dst.At(x, y, c), src.At(x / 2, y / 2, c));
    }
  }
}

TEST(PicTransform, DestinationOutsideTheSourceIsUnchanged) {
  const Picture src = testpics::RandomPicture(6, 4, 2, 8, 12);
  for (const TransformFn transform : {kNearest, kBilinear, kBicubic}) {
    Picture dst = testpics::Constant(12, 8, 2, 8, 7);
    CBxPicMap map;
    // Source pixel (0, 0) lands on destination pixel (3, 2); zoom 1 copies exactly.
    map.Compute(3, 2, 0, 0, 0, 1);
    transform(dst, src, map);
    for (int32_t y = 0; y < 8; ++y) {
      for (int32_t x = 0; x < 12; ++x) {
        const bool inside = x >= 3 && x < 9 && y >= 2 && y < 6;
        for (uint32_t c = 0; c < 2; ++c) {
          ASSERT_EQ(dst.At(x, y, c), inside ? src.At(x - 3, y - 2, c) : 7.0) << x << ", " << y;
        }
      }
    }
  }
}

// A quarter turn sends every pixel centre onto a pixel centre, so each kernel only moves pixels.
// The rotation also takes the per-pixel path that maps without rotation do not use.
TEST(PicTransform, QuarterTurnPermutesPixelsForEveryKernel) {
  const Picture src = testpics::RandomPicture(4, 3, 3, 16, 14);
  for (const TransformFn transform : {kNearest, kBilinear, kBicubic}) {
    Picture dst(3, 4, 3, 16);
    CBxPicMap map;
    map.Compute(2, 0, 0, 0, std::numbers::pi / 2, 1);  // destination (2 − y, x)
    transform(dst, src, map);
    for (int32_t y = 0; y < 4; ++y) {
      for (int32_t x = 0; x < 3; ++x) {
        for (uint32_t c = 0; c < 3; ++c) ASSERT_EQ(dst.At(x, y, c), src.At(y, 2 - x, c));
      }
    }
  }
}

}  // namespace
