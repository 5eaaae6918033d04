// The view's zoom and pan arithmetic and the zoom box's text.
#include "widgets/view_state.h"

#include <gtest/gtest.h>

#include <cmath>

TEST(ViewState, ZoomToFitCentresThePictureAndStopsAtEightUnlessUnlimited) {
  struct Case {
    int32_t pictureWidth;
    int32_t pictureHeight;
    FitLimit limit;
    double zoom;
  } cases[] = {
      {6000, 4000, FitLimit::kMaxZoom, 0.2},
      {4000, 6000, FitLimit::kMaxZoom, 800.0 / 6000},  // the height decides
      {100, 50, FitLimit::kMaxZoom, 8.0},
      {100, 50, FitLimit::kNone, 12.0},
  };
  for (const Case& c : cases) {
    ViewState state;
    ZoomToFit(state, 1200, 800, c.pictureWidth, c.pictureHeight, c.limit);
    EXPECT_DOUBLE_EQ(state.zoom, c.zoom) << c.pictureWidth << "x" << c.pictureHeight;
    EXPECT_EQ(state.imageCenterX, c.pictureWidth / 2.0);
    EXPECT_EQ(state.imageCenterY, c.pictureHeight / 2.0);
    EXPECT_EQ(state.viewCenterX, 600);
    EXPECT_EQ(state.viewCenterY, 400);
  }
  ViewState state;
  ZoomToFit(state, 1200, 800, 6000, 4000, FitLimit::kMaxZoom);
  EXPECT_EQ(FormatZoomText(state.zoom), "20.0 %");
}

TEST(ViewState, WheelKeepsThePointUnderTheCursorWithinItsLimits) {
  ViewState state;
  ZoomToFit(state, 1200, 800, 6000, 4000, FitLimit::kMaxZoom);
  double beforeX = 0;
  double beforeY = 0;
  state.Mapping().MapPointDstToSrc(beforeX, beforeY, 300, 200);
  ZoomAboutCursor(state, 300, 200, 120, 6000, 4000);
  EXPECT_DOUBLE_EQ(state.zoom, 0.2 * kZoomInFactor);
  double afterX = 0;
  double afterY = 0;
  state.Mapping().MapPointDstToSrc(afterX, afterY, 300, 200);
  EXPECT_NEAR(afterX, beforeX, 1e-9);
  EXPECT_NEAR(afterY, beforeY, 1e-9);

  for (int i = 0; i < 60; ++i) ZoomAboutCursor(state, 300, 200, -120, 6000, 4000);
  EXPECT_DOUBLE_EQ(state.zoom, 100.0 / 6000);
  for (int i = 0; i < 60; ++i) ZoomAboutCursor(state, 300, 200, 120, 6000, 4000);
  EXPECT_DOUBLE_EQ(state.zoom, kMaxZoom);
}

TEST(ViewState, WheelOutsideThePictureZoomsAboutItsNearestEdge) {
  ViewState state;
  ZoomToFit(state, 1200, 800, 600, 400, FitLimit::kMaxZoom);  // 2 ×, picture fills the view
  state.zoom = 1;  // now the picture covers 300 … 900 × 200 … 600
  ZoomAboutCursor(state, 10, 700, 120, 600, 400);
  EXPECT_EQ(state.viewCenterX, 300);
  EXPECT_EQ(state.viewCenterY, 600);
  EXPECT_DOUBLE_EQ(state.imageCenterX, 0);
  EXPECT_DOUBLE_EQ(state.imageCenterY, 400);
}

TEST(ViewState, KeyZoomHasNoUpperLimit) {
  ViewState state;
  state.zoom = kMaxZoom;
  for (int i = 0; i < 5; ++i) ScaleZoom(state, kZoomInFactor);
  EXPECT_DOUBLE_EQ(state.zoom, kMaxZoom * std::pow(1.2, 5));
}

TEST(ViewState, MousePanMovesThePictureWithTheCursor) {
  ViewState state;
  ZoomToFit(state, 1200, 800, 6000, 4000, FitLimit::kMaxZoom);
  double grabbedX = 0;
  double grabbedY = 0;
  state.Mapping().MapPointDstToSrc(grabbedX, grabbedY, 100, 100);
  StartPan(state, 100, 100);
  PanToCursor(state, 120, 110);
  PanToCursor(state, 130, 90);
  int x = 0;
  int y = 0;
  state.Mapping().MapPointSrcToDst(x, y, static_cast<int>(grabbedX), static_cast<int>(grabbedY));
  EXPECT_EQ(x, 130);
  EXPECT_EQ(y, 90);
}

TEST(ViewState, ParsesTypedZoomLikeTheZoomBox) {
  struct Case {
    const char* text;
    std::optional<double> percent;
  } cases[] = {
      {"37,5", 37.5},        {"12.5 %", 12.5},
      {"100%", 100},         {"5", 10},
      {"2000", 800},         {"250 junk", 250},
      {"abc", std::nullopt}, {"1.2.5", std::nullopt},
      {"", std::nullopt},    {"%", std::nullopt},
      {"12x", std::nullopt}, {"123456789x", 800},  // only the first nine characters are read
  };
  for (const Case& c : cases) EXPECT_EQ(ParseZoomText(c.text), c.percent) << '"' << c.text << '"';
}
