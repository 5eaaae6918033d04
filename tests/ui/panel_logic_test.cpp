// The parameters panel's arithmetic without widgets: slider scales, the information text and the
// preview's geometry.
#include <gtest/gtest.h>

#include "panel/photo_information.h"
#include "session/preview_geometry.h"
#include "session/slider_scale.h"
#include "support/test_pictures.h"
#include "widgets/view_state.h"

namespace {

TEST(SliderScale, PositionsValuesAndTextsFollowTheScaleTable) {
  struct Case {
    PanelScale slider;
    int32_t position;
    double value;
    const char* text;
  };
  const Case cases[] = {
      {PanelScale::kStrength, 20, 1.0, "1.0"},
      {PanelScale::kStrength, 1000, 50.0, "50.0"},
      {PanelScale::kStrength, 200, 10.0, "10.0"},
      {PanelScale::kStrengthChromaLarge, 0, 0.0, "0.0"},
      {PanelScale::kDynamics, 100, 0.0, "0.00"},
      {PanelScale::kDynamics, 0, -2.0, "-2.00"},
      {PanelScale::kDynamics, 151, 1.02, "1.02"},
      {PanelScale::kSharpRough, 5, 1.0, "1.0"},
      {PanelScale::kSharpTiny, 20, 4.0, "4.0"},
  };
  for (const Case& c : cases) {
    const SliderScale& scale = ScaleOf(c.slider);
    SCOPED_TRACE(c.text);
    EXPECT_DOUBLE_EQ(PositionToValue(scale, c.position), c.value);
    EXPECT_EQ(ValueToPosition(scale, c.value), c.position);
    EXPECT_EQ(ValueText(scale, c.value), c.text);
  }
}

TEST(SliderScale, ValuesAndPositionsOutsideTheRangesAreClamped) {
  const SliderScale& strength = ScaleOf(PanelScale::kStrength);
  EXPECT_EQ(ValueToPosition(strength, 0.0), 20);
  EXPECT_EQ(ValueToPosition(strength, 75.0), 1000);
  EXPECT_DOUBLE_EQ(PositionToValue(strength, 5), 1.0);
  EXPECT_DOUBLE_EQ(PositionToValue(strength, 4000), 50.0);
}

TEST(SliderScale, AStoredStrengthOf12_34RunsTheFullSizeDenoisingWith12_35) {
  const SliderScale& strength = ScaleOf(PanelScale::kStrength);
  EXPECT_EQ(ValueText(strength, 12.34), "12.3");
  const int32_t position = ValueToPosition(strength, 12.34);
  EXPECT_EQ(position, 247);
  IsoProfile stored{};
  stored.m_dStrength = 12.34;
  stored.m_dStrengthChroma = 10.0;
  stored.m_dStrengthChromaLarge = 2.99;
  stored.m_dDynamics = -0.5;
  stored.m_dSharp1 = 1.23;
  const IsoProfile run = RunValuesOf(stored);
  EXPECT_DOUBLE_EQ(run.m_dStrength, 12.35);
  EXPECT_DOUBLE_EQ(run.m_dStrengthChroma, 10.0);
  EXPECT_DOUBLE_EQ(run.m_dStrengthChromaLarge, 3.0);
  EXPECT_DOUBLE_EQ(run.m_dDynamics, -0.5);
  EXPECT_DOUBLE_EQ(run.m_dSharp1, 1.23);  // the sharpening gains are used as they are
}

TEST(PhotoInformation, EveryLineStartsWithItsLabelAndTheResolutionIsThePhotosOwn) {
  const ExifSummary full{"f/2.8", "1/125 sec.", "6000x4000",          "100",
                         "SONY",  "ILCE-6000",  "2014:04:18 20:33:53"};
  ExifSummary noAperture;
  noAperture.iso = "400";
  ExifSummary noIso;
  noIso.model = "X100";
  noIso.fNumber = "f/8";
  const struct {
    ExifSummary exif;
    int32_t width, height;
    const char* text;
  } cases[] = {
      {full, 2400, 1600,
       "Maker:  SONY\nType:  ILCE-6000\nResolution:  2400 \u00d7 1600\nISO:  100, FNumber:  f/2.8\n"
       "Exposure:  1/125 sec.\nCaptured:  2014:04:18 20:33:53"},
      {noAperture, 64, 48, "Resolution:  64 \u00d7 48\nISO:  400"},
      {noIso, 64, 48, "Type:  X100\nResolution:  64 \u00d7 48\nFNumber:  f/8"},
      {ExifSummary{}, 64, 48, "Resolution:  64 \u00d7 48"},
      {ExifSummary{}, 0, 0, ""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(PhotoInformationText(c.exif, c.width, c.height), c.text);
  }
}

CBxPicMap FitMapping(double zoom, double viewX, double viewY, double imageX, double imageY) {
  CBxPicMap map;
  map.Compute(viewX, viewY, imageX, imageY, 0, zoom);
  return map;
}

TEST(PreviewGeometry, PlacementCentresOnTheVisibleViewAndClipsToThePicture) {
  // A 150 × 120 photo fitted into a 300 × 240 view: the rectangle covers the whole photo.
  const PreviewRect small = PlacePreviewRect(FitMapping(2.0, 150, 120, 75, 60), 300, 240, 150, 120);
  EXPECT_EQ(PreviewPixelsOf(small, 150, 120), (PreviewPixels{0, 0, 150, 120}));
  // At 100 % with picture point (1000, 700) at the centre of a 640 × 480 view.
  const PreviewRect large =
      PlacePreviewRect(FitMapping(1.0, 320, 240, 1000.3, 700.6), 640, 480, 3000, 2000);
  EXPECT_EQ(PreviewPixelsOf(large, 3000, 2000), (PreviewPixels{900, 601, 1100, 801}));
}

TEST(PreviewGeometry, PixelsAreLimitedToThePicture) {
  struct Case {
    PreviewRect rect;
    PreviewPixels pixels;
  };
  const Case cases[] = {
      {{0, 0, 200, 200}, {0, 0, 200, 200}},                // top-left corner
      {{20.4, 30.6, 220.4, 230.6}, {20, 31, 220, 231}},    // rounded half up
      {{350, 250, 550, 450}, {350, 250, 400, 300}},        // partly off
      {{0.3, -5, 0.4, 90}, {0, 0, 0, 90}},                 // below 1 → 0
      {{-900, -900, -700, -700}, {0, 0, 0, 0}},            // wholly off
      {{1e12, 10, 2e12, 20}, {400, 10, 400, 20}},          // dragged very far
  };
  for (const Case& c : cases) {
    EXPECT_EQ(PreviewPixelsOf(c.rect, 400, 300), c.pixels) << c.rect.left << ", " << c.rect.top;
  }
  EXPECT_TRUE(IsEmpty(PreviewPixels{0, 0, 0, 90}));
  EXPECT_FALSE(IsEmpty(PreviewPixels{0, 0, 1, 1}));
}

TEST(PreviewGeometry, IntersectionAndCover) {
  const PreviewPixels a{10, 10, 50, 40};
  EXPECT_EQ(Intersection(a, {30, 20, 90, 90}), (PreviewPixels{30, 20, 50, 40}));
  EXPECT_EQ(Intersection(a, {50, 10, 90, 40}), PreviewPixels{});  // touching is not overlapping
  EXPECT_TRUE(Covers(a, {20, 20, 50, 40}));
  EXPECT_FALSE(Covers(a, {20, 20, 51, 40}));
  EXPECT_TRUE(Covers(a, PreviewPixels{}));
}

TEST(PreviewGeometry, HitTestIncludesLeftAndTopOnlyAndDragMovesByZoom) {
  const CBxPicMap map = FitMapping(2.0, 0, 0, 0, 0);  // view = 2 × picture
  PreviewRect rect{10, 20, 60, 70};                   // view 20 … 120, 40 … 140
  EXPECT_TRUE(PreviewContains(map, rect, 20, 40));
  EXPECT_TRUE(PreviewContains(map, rect, 119, 139));
  EXPECT_FALSE(PreviewContains(map, rect, 120, 100));
  EXPECT_FALSE(PreviewContains(map, rect, 50, 140));
  EXPECT_FALSE(PreviewContains(map, rect, 19, 40));
  MovePreviewRect(rect, 10, -5, 2.0);
  EXPECT_DOUBLE_EQ(rect.left, 15);
  EXPECT_DOUBLE_EQ(rect.right, 65);
  EXPECT_DOUBLE_EQ(rect.top, 17.5);
  EXPECT_DOUBLE_EQ(rect.bottom, 67.5);
}

TEST(PreviewGeometry, EdgesAreGrabbedWithinTheGripAndResizingKeepsTheSidesWithinLimits) {
  const CBxPicMap map = FitMapping(1.0, 0, 0, 0, 0);  // view = picture
  const PreviewRect rect{100, 100, 300, 300};
  const struct {
    int x, y;
    PreviewEdges edges;
  } grabs[] = {
      {100, 200, {true, false, false, false}},
      {96, 200, {true, false, false, false}},
      {104, 200, {true, false, false, false}},
      {105, 200, {}},
      {300, 200, {false, false, true, false}},
      {200, 96, {false, true, false, false}},
      {100, 100, {true, true, false, false}},
      {304, 304, {false, false, true, true}},
      {200, 200, {}},
      {95, 200, {}},
      {100, 305, {}},
  };
  for (const auto& g : grabs) {
    EXPECT_EQ(GrabbedEdges(map, rect, g.x, g.y), g.edges) << g.x << ", " << g.y;
  }

  const struct {
    PreviewEdges edges;
    int dx, dy;
    double zoom;
    PreviewRect expected;
  } resizes[] = {
      {{false, false, true, false}, 50, 0, 1.0, {100, 100, 350, 300}},
      {{false, false, true, false}, 5000, 0, 1.0, {100, 100, 1100, 300}},  // at most 1000
      {{false, false, true, false}, -500, 0, 1.0, {100, 100, 200, 300}},   // at least 100
      {{true, true, false, false}, -20, 40, 0.5, {60, 180, 300, 300}},
      {{false, false, false, true}, 0, -10, 0.5, {100, 100, 300, 280}},
  };
  for (const auto& r : resizes) {
    PreviewRect resized = rect;
    ResizePreviewRect(resized, r.edges, r.dx, r.dy, r.zoom);
    EXPECT_EQ((std::vector<double>{resized.left, resized.top, resized.right, resized.bottom}),
              (std::vector<double>{r.expected.left, r.expected.top, r.expected.right,
                                   r.expected.bottom}));
  }
}

// The view scrolls just enough to show a rectangle dragged past its edge, and not for one that
// does not fit.
TEST(ViewState, ScrollToShowFollowsTheRectanglePastTheViewsEdge) {
  const struct {
    PreviewRect rect;
    double shiftX, shiftY;
  } cases[] = {
      {{100, 100, 200, 200}, 0, 0},    // inside
      {{380, 100, 480, 200}, 80, 0},   // 160 view pixels past the right edge at zoom 2
      {{-30, -10, 70, 90}, -30, -10},  // past the left and top edges
      {{-100, 50, 600, 100}, 0, 0},    // wider than the view
  };
  for (const auto& c : cases) {
    ViewState state;
    state.zoom = 2.0;
    state.viewCenterX = 400;
    state.viewCenterY = 300;
    state.imageCenterX = 200;
    state.imageCenterY = 150;  // picture 0 … 400 shown at view 0 … 800
    ScrollToShow(state, c.rect, 800, 600);
    EXPECT_DOUBLE_EQ(state.imageCenterX, 200 + c.shiftX) << c.rect.left;
    EXPECT_DOUBLE_EQ(state.imageCenterY, 150 + c.shiftY) << c.rect.left;
  }
}

}  // namespace
