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

// A rectangle of picture pixels: left and top inclusive, right and bottom exclusive.
struct PreviewPixels {
  int32_t left = 0;
  int32_t top = 0;
  int32_t right = 0;
  int32_t bottom = 0;
  bool operator==(const PreviewPixels&) const = default;
};

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

  // The picture-to-window mapping of the current state.
  CBxPicMap Mapping() const;
};

// Zoom factors of the zoom-in and zoom-out commands and of one wheel step.
inline constexpr double kZoomInFactor = 1.2;
inline constexpr double kZoomOutFactor = 0.8333333333333334;
// Upper limit of the wheel and of zoom to fit.
inline constexpr double kMaxZoom = 8.0;
