#include "engine/point_artefacts.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <numeric>
#include <random>
#include <string>
#include <vector>

#include "support/test_pictures.h"

namespace {

using testpics::BitIdentical;
using testpics::Picture;

using PlaneFilter = void (*)(SBxPicBuf&, const SBxPicBuf&);

double Scale(uint32_t bits) { return bits == 16 ? 257.0 : 1.0; }

Picture Filtered(PlaneFilter filter, const Picture& src) {
  Picture dst(src);
  filter(dst, src);
  return dst;
}

bool RingEqual(const Picture& a, const Picture& b) {
  const SBxPicBuf& buf = a.buf();
  for (int32_t y = 0; y < buf.height; ++y) {
    for (int32_t x = 0; x < buf.width; ++x) {
      const bool ring = x == 0 || y == 0 || x == buf.width - 1 || y == buf.height - 1;
      if (ring && a.At(x, y) != b.At(x, y)) return false;
    }
  }
  return true;
}

bool InteriorEqual(const Picture& a, const Picture& b) {
  const SBxPicBuf& buf = a.buf();
  for (int32_t y = 1; y < buf.height - 1; ++y) {
    for (int32_t x = 1; x < buf.width - 1; ++x) {
      if (a.At(x, y) != b.At(x, y)) return false;
    }
  }
  return true;
}

// A hot and a dead pixel on a flat background, in different components of a colour tile so that a
// component filtered with another's plane or inserted at the wrong index shows.
TEST(ReducePointArtefacts, RemovesIsolatedPointsAtBothModesAndDepths) {
  const double background[3] = {40, 90, 200};
  for (uint32_t components : {1u, 3u}) {
    for (uint32_t bits : {8u, 16u}) {
      const double scale = Scale(bits);
      Picture flat(9, 9, components, bits);
      for (int32_t y = 0; y < 9; ++y) {
        for (int32_t x = 0; x < 9; ++x) {
          for (uint32_t c = 0; c < components; ++c) flat.Set(x, y, c, background[c] * scale);
        }
      }
      Picture tile(flat);
      tile.Set(4, 4, components - 1, 255 * scale);
      tile.Set(2, 6, components / 2, 0);
      for (int32_t mode : {1, 2}) {
        ScopedPicBuf filtered;
        ReducePointArtefacts(mode, tile, *filtered);
        EXPECT_TRUE(BitIdentical(*filtered, flat))
            << "mode " << mode << ", " << components << " components, " << bits << " bits";
      }
    }
  }
}

// A one-pixel line puts 3 of the 5 cross samples on the line, but only 3 of 9 samples of the 3 × 3
// square and at most 7 of 49 of the 7 × 7 window.
TEST(PointArtefactFilters, OnePixelLineSurvivesOnlyTheCross) {
  const struct {
    const char* name;
    PlaneFilter filter;
    uint32_t bits;
    bool lineSurvives;
    bool writesBorder;
  } cases[] = {
      {"MedianCross5", MedianCross5, 8, true, false},
      {"Median3x3", Median3x3, 16, false, false},
      {"Median7x7 8-bit", Median7x7, 8, false, true},
      {"Median7x7 16-bit", Median7x7, 16, false, true},
  };
  for (const auto& c : cases) {
    for (bool horizontal : {true, false}) {
      const double scale = Scale(c.bits);
      const Picture flat = testpics::Constant(11, 11, 1, c.bits, 30 * scale);
      Picture lined(flat);
      for (int32_t i = 0; i < 11; ++i) {
        lined.Set(horizontal ? i : 5, horizontal ? 5 : i, 0, 220 * scale);
      }
      const Picture result = Filtered(c.filter, lined);
      SCOPED_TRACE(std::string(c.name) + (horizontal ? ", horizontal" : ", vertical"));
      if (c.lineSurvives) {
        EXPECT_TRUE(BitIdentical(result, lined));
      } else if (c.writesBorder) {
        EXPECT_TRUE(BitIdentical(result, flat));
      } else {
        EXPECT_TRUE(InteriorEqual(result, flat));
        EXPECT_TRUE(RingEqual(result, lined));
      }
    }
  }
}

// Distinct values in random order make every rank of every window a different value, so the
// selected value identifies both the window that was gathered and the rank taken from it.
TEST(Median7x7, TakesUpperMedianOfTheClippedWindow) {
  constexpr int32_t kSide = 12;
  std::vector<int32_t> order(kSide * kSide);
  std::iota(order.begin(), order.end(), 0);
  std::shuffle(order.begin(), order.end(), std::mt19937(7));

  const struct {
    const char* where;
    int32_t x, y;
    int32_t left, right, top, bottom;  // inclusive window bounds
    size_t samples;
  } cases[] = {
      {"top-left corner", 0, 0, 0, 3, 0, 3, 16},
      {"bottom-right corner", 11, 11, 8, 11, 8, 11, 16},
      {"first row", 5, 0, 2, 8, 0, 3, 28},
      {"last column", 11, 6, 8, 11, 3, 9, 28},
      {"one in from a corner", 1, 1, 0, 4, 0, 4, 25},
      {"interior", 6, 5, 3, 9, 2, 8, 49},
  };
  for (uint32_t bits : {8u, 16u}) {
    // At 16 bits the values exceed 255, so a filter reading bytes would pick different ones.
    const int32_t spread = bits == 16 ? 397 : 1;
    Picture plane(kSide, kSide, 1, bits);
    for (int32_t i = 0; i < kSide * kSide; ++i)
      plane.Set(i % kSide, i / kSide, 0, order[i] * spread);
    const Picture result = Filtered(Median7x7, plane);
    for (const auto& c : cases) {
      std::vector<double> window;
      for (int32_t y = c.top; y <= c.bottom; ++y) {
        for (int32_t x = c.left; x <= c.right; ++x) window.push_back(plane.At(x, y));
      }
      ASSERT_EQ(window.size(), c.samples) << c.where;
      std::sort(window.begin(), window.end());
      EXPECT_EQ(result.At(c.x, c.y), window[c.samples / 2]) << c.where << ", " << bits << " bits";
    }
  }
}

TEST(ReducePointArtefacts, CommonModeKeepsTheOutermostRingStrongModeChangesIt) {
  for (uint32_t bits : {8u, 16u}) {
    const Picture tile = testpics::RandomPicture(20, 15, 1, bits, 11);
    ScopedPicBuf common;
    ScopedPicBuf strong;
    ReducePointArtefacts(1, tile, *common);
    ReducePointArtefacts(2, tile, *strong);
    Picture commonResult(20, 15, 1, bits);
    Picture strongResult(20, 15, 1, bits);
    CBxPicBufAPI::Copy(commonResult, *common);
    CBxPicBufAPI::Copy(strongResult, *strong);
    EXPECT_TRUE(RingEqual(commonResult, tile)) << bits << " bits";
    EXPECT_FALSE(InteriorEqual(commonResult, tile)) << bits << " bits";
    EXPECT_FALSE(RingEqual(strongResult, tile)) << bits << " bits";
  }
}

TEST(ReducePointArtefacts, CommonModeLeavesPlanesWithoutInteriorUnchanged) {
  const struct { int32_t width, height; } sizes[] = {{2, 2}, {2, 10}, {10, 2}, {1, 7}};
  for (uint32_t bits : {8u, 16u}) {
    for (const auto& s : sizes) {
      const Picture tile = testpics::RandomPicture(s.width, s.height, 1, bits, 3);
      ScopedPicBuf filtered;
      ReducePointArtefacts(1, tile, *filtered);
      EXPECT_TRUE(BitIdentical(*filtered, tile)) << s.width << "x" << s.height << ", " << bits;
    }
  }
}

TEST(ReducePointArtefacts, StrongModeGivesTwoByTwoTileItsUpperMedian) {
  for (uint32_t bits : {8u, 16u}) {
    const double scale = Scale(bits);
    Picture tile(2, 2, 1, bits);
    tile.Set(0, 0, 0, 10 * scale);
    tile.Set(1, 0, 0, 40 * scale);
    tile.Set(0, 1, 0, 20 * scale);
    tile.Set(1, 1, 0, 30 * scale);
    ScopedPicBuf filtered;
    ReducePointArtefacts(2, tile, *filtered);
    EXPECT_TRUE(BitIdentical(*filtered, testpics::Constant(2, 2, 1, bits, 30 * scale))) << bits;
  }
}

TEST(ReducePointArtefacts, InactiveModesCopyTheTile) {
  const Picture tile = testpics::RandomPicture(13, 9, 3, 16, 5);
  for (int32_t mode : {0, 3, -1}) {
    ScopedPicBuf filtered;
    ReducePointArtefacts(mode, tile, *filtered);
    EXPECT_TRUE(BitIdentical(*filtered, tile)) << "mode " << mode;
  }
}

}  // namespace
