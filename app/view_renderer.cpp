#include "app/view_renderer.h"

#include <algorithm>
#include <cstdint>

#include "picture/pic_map.h"

namespace {

constexpr int kCheckerSide = 15;
constexpr int kCheckerLight = 220;
constexpr int kCheckerDark = 190;

bool HasStorage(const SBxPicBuf& buf) {
  return buf.data != nullptr && buf.width > 0 && buf.height > 0;
}

// The surface's pixels seen as a picture buffer, so that the library's transforms write into it.
SBxPicBuf SurfaceBuffer(QImage& surface) {
  SBxPicBuf buf;
  buf.data = surface.bits();
  buf.stride = static_cast<int32_t>(surface.bytesPerLine());
  buf.size = buf.stride * surface.height();
  buf.width = surface.width();
  buf.height = surface.height();
  buf.components = 3;
  buf.bitsPerComponent = 8;
  return buf;
}

// A copy of `picture` converted to the given depth and component count; released on failure.
void RebuildCopy(SBxPicBuf& copy, const SBxPicBuf& picture, uint32_t components) {
  if (!HasStorage(picture) || CBxPicBufAPI::ReinitHeap(copy, picture)) {
    CBxPicBufAPI::DoneHeap(copy);
    return;
  }
  CBxPicBufAPI::Copy(copy, picture);
  if (CBxPicBufAPI::ConvertBpcComp(copy, 8, components)) CBxPicBufAPI::DoneHeap(copy);
}

// The part `area` (inside the picture) of a copy made by RebuildCopy, converted anew; true when
// memory ran out.
bool RebuildCopyArea(SBxPicBuf& copy, const SBxPicBuf& picture, const PreviewPixels& area) {
  const int32_t width = area.right - area.left;
  const int32_t height = area.bottom - area.top;
  ScopedPicBuf part;
  if (CBxPicBufAPI::ReinitHeap(*part, width, height, picture.components,
                               picture.bitsPerComponent)) {
    return true;
  }
  CBxPicBufAPI::CopyRect(*part, picture, {0, 0}, {area.left, area.top}, {width, height});
  if (CBxPicBufAPI::ConvertBpcComp(*part, 8, copy.components)) return true;
  CBxPicBufAPI::CopyRect(copy, *part, {area.left, area.top}, {0, 0}, {width, height});
  return false;
}

void Transform(SBxPicBuf& dst, const SBxPicBuf& src, const CBxPicMap& map,
               ViewInterpolation interpolation) {
  switch (interpolation) {
    case ViewInterpolation::Bilinear:
      CBxPicBufAPI::TransformBilinearFast(dst, src, map);
      break;
    case ViewInterpolation::Bicubic:
      CBxPicBufAPI::TransformBicubicFast(dst, src, map);
      break;
    default:
      CBxPicBufAPI::TransformConstantFast(dst, src, map);
      break;
  }
}

uint8_t CheckerValue(int32_t row, int32_t column) {
  return (row / kCheckerSide) % 2 != (column / kCheckerSide) % 2 ? kCheckerLight : kCheckerDark;
}

void InvertPixel(SBxPicBuf& target, int64_t x, int64_t y) {
  if (x < 0 || y < 0 || x >= target.width || y >= target.height) return;
  uint8_t* pixel = PicRow<uint8_t>(target, static_cast<int32_t>(y)) + x * 3;
  for (int c = 0; c < 3; ++c) pixel[c] = static_cast<uint8_t>(255 - pixel[c]);
}

// Inverts column x over rows `first` to `last`, or row y over columns `first` to `last`; the range
// is cut to the target first, since at a high zoom the frame may run far beyond it.
void InvertColumn(SBxPicBuf& target, int64_t x, int64_t first, int64_t last) {
  for (int64_t y = std::max<int64_t>(first, 0); y <= std::min<int64_t>(last, target.height - 1);
       ++y) {
    InvertPixel(target, x, y);
  }
}

void InvertRow(SBxPicBuf& target, int64_t y, int64_t first, int64_t last) {
  for (int64_t x = std::max<int64_t>(first, 0); x <= std::min<int64_t>(last, target.width - 1);
       ++x) {
    InvertPixel(target, x, y);
  }
}

// A frame two pixels wide just inside the mapped corners of the preview rectangle.
void InvertPreviewFrame(SBxPicBuf& target, const CBxPicMap& map, const PreviewPixels& preview) {
  int left = 0;
  int top = 0;
  int right = 0;
  int bottom = 0;
  map.MapPointSrcToDst(left, top, preview.left, preview.top);
  map.MapPointSrcToDst(right, bottom, preview.right, preview.bottom);
  const int64_t x0 = left;
  const int64_t y0 = top;
  const int64_t x1 = right;
  const int64_t y1 = bottom;
  for (const int64_t x : {x0, x0 + 1, x1 - 1, x1}) InvertColumn(target, x, y0, y1);
  for (const int64_t y : {y0, y0 + 1, y1 - 1, y1}) InvertRow(target, y, x0 + 2, x1 - 2);
}

// Three dots of 3 × 3 inverted pixels in a row, 4 pixels inside the frame's top-left corner: the
// preview is still being computed. Drawn whatever the zoom, so that a small rectangle shows it too.
void InvertWorkingMark(SBxPicBuf& target, const CBxPicMap& map, const PreviewPixels& preview) {
  constexpr int kInset = 4;
  constexpr int kDot = 3;
  int left = 0;
  int top = 0;
  map.MapPointSrcToDst(left, top, preview.left, preview.top);
  for (int dot = 0; dot < 3; ++dot) {
    const int64_t x0 = static_cast<int64_t>(left) + kInset + dot * 2 * kDot;
    for (int64_t y = top + kInset; y < top + kInset + kDot; ++y) {
      InvertRow(target, y, x0, x0 + kDot - 1);
    }
  }
}

}  // namespace

SBxPicBuf& ViewRenderer::CacheOf(ViewPicture which) {
  return which == ViewPicture::kSource ? *source_ : *denoised_;
}

void ViewRenderer::RefreshCache(ViewPicture which, const SBxPicBuf& picture) {
  RebuildCopy(CacheOf(which), picture, 3);
}

void ViewRenderer::RefreshCacheArea(ViewPicture which, const SBxPicBuf& picture,
                                    const PreviewPixels& area) {
  SBxPicBuf& copy = CacheOf(which);
  if (!HasStorage(copy) || copy.width != picture.width || copy.height != picture.height) {
    RefreshCache(which, picture);
    return;
  }
  const PreviewPixels inside = Intersection(area, {0, 0, picture.width, picture.height});
  if (!IsEmpty(inside) && RebuildCopyArea(copy, picture, inside)) RefreshCache(which, picture);
}

void ViewRenderer::RefreshAlpha(const SBxPicBuf& alphaPlane) {
  RebuildCopy(*alpha_, alphaPlane, 1);
}

void ViewRenderer::ReleaseCaches() {
  CBxPicBufAPI::DoneHeap(*source_);
  CBxPicBufAPI::DoneHeap(*denoised_);
  CBxPicBufAPI::DoneHeap(*alpha_);
}

bool ViewRenderer::HasCache(ViewPicture which) const {
  return HasStorage(which == ViewPicture::kSource ? *source_ : *denoised_);
}

void ViewRenderer::Render(QImage& surface, ViewPicture which, const ViewState& state,
                          int backgroundGrey) {
  if (surface.isNull()) return;
  SBxPicBuf target = SurfaceBuffer(surface);
  CBxPicBufAPI::SetConst(target, static_cast<uint8_t>(std::clamp(backgroundGrey, 0, 255)));
  const SBxPicBuf& cache = which == ViewPicture::kSource ? *source_ : *denoised_;
  if (!HasStorage(cache)) return;
  const CBxPicMap map = state.Mapping();
  Transform(target, cache, map, state.interpolation);
  if (HasStorage(*alpha_)) BlendCheckerboard(target, map, state.interpolation);
  if (state.previewRect == nullptr) return;
  InvertPreviewFrame(target, map, *state.previewRect);
  if (state.previewWorking) InvertWorkingMark(target, map, *state.previewRect);
}

void ViewRenderer::BlendCheckerboard(SBxPicBuf& target, const CBxPicMap& map,
                                     ViewInterpolation interpolation) {
  // Outside the picture the alpha stays 255, which leaves the background as it is.
  if (screenAlpha_->width != target.width || screenAlpha_->height != target.height ||
      !HasStorage(*screenAlpha_)) {
    if (CBxPicBufAPI::ReinitHeap(*screenAlpha_, target.width, target.height, 1, 8)) return;
  }
  CBxPicBufAPI::SetConst(*screenAlpha_, 255);
  Transform(*screenAlpha_, *alpha_, map, interpolation);
  for (int32_t i = 0; i < target.height; ++i) {
    const uint8_t* alpha = PicRow<uint8_t>(*screenAlpha_, i);
    uint8_t* pixel = PicRow<uint8_t>(target, i);
    for (int32_t j = 0; j < target.width; ++j, pixel += 3) {
      const int a = alpha[j];
      if (a == 255) continue;
      const int checker = CheckerValue(i, j);
      for (int c = 0; c < 3; ++c)
        pixel[c] = static_cast<uint8_t>(((255 - a) * checker + pixel[c] * a) / 255);
    }
  }
}
