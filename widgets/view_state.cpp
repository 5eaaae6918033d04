#include "widgets/view_state.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace {

// Typed zoom values are limited to this range, in percent.
constexpr double kMinTypedPercent = 10.0;
constexpr double kMaxTypedPercent = 800.0;
constexpr size_t kTypedCharsRead = 9;

// The wheel does not shrink the picture's longer side below this many window pixels.
constexpr double kMinShownSide = 100.0;

// How far the span [low, high] must move to lie within [0, size]: negative to the left (up), 0
// when it lies within or is too long to fit.
double ShiftToFit(double low, double high, double size) {
  if (high - low > size) return 0;
  if (low < 0) return low;
  if (high > size) return high - size;
  return 0;
}

}  // namespace

CBxPicMap ViewState::Mapping() const {
  CBxPicMap map;
  map.Compute(viewCenterX, viewCenterY, imageCenterX, imageCenterY, 0, zoom);
  return map;
}

void ZoomToFit(ViewState& state, int32_t viewWidth, int32_t viewHeight, int32_t pictureWidth,
               int32_t pictureHeight, FitLimit limit) {
  if (viewWidth <= 0 || viewHeight <= 0 || pictureWidth <= 0 || pictureHeight <= 0) return;
  state.imageCenterX = pictureWidth / 2.0;
  state.imageCenterY = pictureHeight / 2.0;
  state.viewCenterX = viewWidth / 2.0;
  state.viewCenterY = viewHeight / 2.0;
  state.zoom = std::min((viewWidth / 2.0) / (pictureWidth / 2.0),
                        (viewHeight / 2.0) / (pictureHeight / 2.0));
  if (limit == FitLimit::kMaxZoom) state.zoom = std::min(state.zoom, kMaxZoom);
}

void ZoomTo100(ViewState& state, int32_t viewWidth, int32_t viewHeight) {
  // The picture point at the old view centre moves to the middle of the view area.
  state.zoom = 1.0;
  state.viewCenterX = viewWidth / 2.0;
  state.viewCenterY = viewHeight / 2.0;
}

void ScaleZoom(ViewState& state, double factor) { state.zoom *= factor; }

void ZoomAboutCursor(ViewState& state, int32_t cursorX, int32_t cursorY, int32_t wheelDelta,
                     int32_t pictureWidth, int32_t pictureHeight) {
  const CBxPicMap map = state.Mapping();
  int left = 0;
  int top = 0;
  int right = 0;
  int bottom = 0;
  map.MapPointSrcToDst(left, top, 0, 0);
  map.MapPointSrcToDst(right, bottom, pictureWidth, pictureHeight);
  const int32_t x = std::clamp(cursorX, left, std::max(left, right));
  const int32_t y = std::clamp(cursorY, top, std::max(top, bottom));
  map.MapPointDstToSrc(state.imageCenterX, state.imageCenterY, x, y);
  state.viewCenterX = x;
  state.viewCenterY = y;

  state.zoom *= wheelDelta > 0 ? kZoomInFactor : kZoomOutFactor;
  const double minZoom = kMinShownSide / std::max({pictureWidth, pictureHeight, 1});
  state.zoom = std::max(std::min(state.zoom, kMaxZoom), minZoom);
}

void StartPan(ViewState& state, int32_t x, int32_t y) {
  state.panning = true;
  state.dragAnchorX = x;
  state.dragAnchorY = y;
}

void PanToCursor(ViewState& state, int32_t x, int32_t y) {
  state.imageCenterX += (state.dragAnchorX - x) / state.zoom;
  state.imageCenterY += (state.dragAnchorY - y) / state.zoom;
  state.dragAnchorX = x;
  state.dragAnchorY = y;
}

void ShiftViewCenter(ViewState& state, int32_t stepsX, int32_t stepsY) {
  state.viewCenterX += stepsX * kKeyPanStep;
  state.viewCenterY += stepsY * kKeyPanStep;
}

void ScrollToShow(ViewState& state, const PreviewRect& rect, int32_t viewWidth,
                  int32_t viewHeight) {
  const PreviewRect shown = MappedToView(state.Mapping(), rect);
  state.imageCenterX += ShiftToFit(shown.left, shown.right, viewWidth) / state.zoom;
  state.imageCenterY += ShiftToFit(shown.top, shown.bottom, viewHeight) / state.zoom;
}

std::optional<double> ParseZoomText(std::string_view text) {
  text = text.substr(0, std::min(text.size(), kTypedCharsRead));
  double value = 0;
  int fractionDigits = 0;
  bool inFraction = false;
  bool anyDigit = false;
  for (const char c : text) {
    if (c == ' ' || c == '%') break;
    if (c >= '0' && c <= '9') {
      value = value * 10 + (c - '0');
      anyDigit = true;
      if (inFraction) ++fractionDigits;
    } else if ((c == '.' || c == ',') && !inFraction) {
      inFraction = true;
    } else {
      return std::nullopt;
    }
  }
  if (!anyDigit) return std::nullopt;
  const double percent = value * std::pow(10.0, -fractionDigits);
  return std::clamp(percent, kMinTypedPercent, kMaxTypedPercent);
}

std::string FormatZoomText(double zoom) {
  char text[64];
  std::snprintf(text, sizeof text, "%.1f %%", zoom * 100);
  return text;
}
