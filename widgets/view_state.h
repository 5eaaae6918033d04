// Zoom and pan of the image view, kept apart from any toolkit so that its arithmetic can be tested
// on its own. Window points are in the view's own coordinates (the view area's top-left is 0, 0);
// picture points are pixel coordinates of the picture.
//
//   window point = (picture point − image centre) × zoom + view centre
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "picture/pic_map.h"
#include "session/preview_geometry.h"

// Resampling of the view: the main window keeps nearest neighbour.
enum class ViewInterpolation : int32_t { Nearest = 0, Bilinear = 1, Bicubic = 2 };

struct ViewState {
  double zoom = 1.0;  // window pixels per picture pixel
  double viewCenterX = 0.0;
  double viewCenterY = 0.0;
  double imageCenterX = 0.0;
  double imageCenterY = 0.0;
  int32_t lastMouseX = 0;
  int32_t lastMouseY = 0;
  int32_t dragAnchorX = 0;
  int32_t dragAnchorY = 0;
  bool panning = false;
  ViewInterpolation interpolation = ViewInterpolation::Nearest;
  // The parameters panel's preview rectangle while it is shown; null otherwise.
  const PreviewPixels* previewRect = nullptr;
  // The preview rectangle still waits for its result: the view marks it.
  bool previewWorking = false;

  // The picture-to-window mapping of the current state.
  CBxPicMap Mapping() const;
};

// Zoom factors of the zoom-in and zoom-out commands and of one wheel step.
inline constexpr double kZoomInFactor = 1.2;
inline constexpr double kZoomOutFactor = 0.8333333333333334;
// Upper limit of the wheel and of zoom to fit.
inline constexpr double kMaxZoom = 8.0;
// Window pixels that one press of an arrow key moves the view centre.
inline constexpr double kKeyPanStep = 50.0;

// Whether zoom to fit stops at kMaxZoom (the command) or not (the double click).
enum class FitLimit { kMaxZoom, kNone };

// The whole picture centred in the view area. Does nothing while the view area or the picture is
// empty, since no zoom would fit.
void ZoomToFit(ViewState& state, int32_t viewWidth, int32_t viewHeight, int32_t pictureWidth,
               int32_t pictureHeight, FitLimit limit);

// Full size, the view centre at the middle of the view area; the picture point shown there stays.
void ZoomTo100(ViewState& state, int32_t viewWidth, int32_t viewHeight);

// Multiplies the zoom about the current centre, without limits (zoom in / out, the zoom box).
void ScaleZoom(ViewState& state, double factor);

// One wheel step about the cursor: the picture point under the cursor (clamped into the picture's
// rectangle on screen) stays in place. The zoom stays within kMaxZoom and the zoom that shows the
// picture's longer side 100 window pixels long.
void ZoomAboutCursor(ViewState& state, int32_t cursorX, int32_t cursorY, int32_t wheelDelta,
                     int32_t pictureWidth, int32_t pictureHeight);

// Starts a mouse pan at the cursor, and moves the picture with the cursor from the anchor.
void StartPan(ViewState& state, int32_t x, int32_t y);
void PanToCursor(ViewState& state, int32_t x, int32_t y);

// Moves the view centre by whole arrow-key steps (−1, 0 or 1 per axis for one key press).
void ShiftViewCenter(ViewState& state, int32_t stepsX, int32_t stepsY);

// Scrolls the picture just enough for the preview rectangle to lie within the view area (as far as
// it fits), so that dragging the rectangle past the view's edge carries the view along.
void ScrollToShow(ViewState& state, const PreviewRect& rect, int32_t viewWidth, int32_t viewHeight);

// A zoom typed into the zoom box, in percent: at most the first 9 characters count; digits, one
// "." or "," before the fraction, and a space, "%" or the end to stop. Limited to 10 … 800 %.
// Empty when the text holds any other character or no digit at all.
std::optional<double> ParseZoomText(std::string_view text);

// The zoom as the zoom box shows it: "20.0 %".
std::string FormatZoomText(double zoom);
