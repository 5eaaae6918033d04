// Drawing of the image view: the 8-bit copies of the pictures that pan, zoom and comparison draw
// from, and the rendering of one of them into the view's surface with the checkerboard behind
// transparent pixels and the preview frame (with its working mark) on top.
#pragma once

#include <QImage>

#include "widgets/view_state.h"
#include "picture/pic_buf.h"

// Which copy a render draws.
enum class ViewPicture { kSource, kDenoised };

class ViewRenderer {
 public:
  ViewRenderer() = default;
  ViewRenderer(const ViewRenderer&) = delete;
  ViewRenderer& operator=(const ViewRenderer&) = delete;

  // Rebuilds the copy of `which` from the full-depth picture, at 8 bits and 3 components. An empty
  // picture (or a conversion that runs out of memory) leaves no copy, so only the background is
  // drawn for it.
  void RefreshCache(ViewPicture which, const SBxPicBuf& picture);
  // Rebuilds the part `area` of the copy of `which` only (the preview changed it), or the whole copy
  // when it has none of the picture's size; the same bytes as a whole refresh.
  void RefreshCacheArea(ViewPicture which, const SBxPicBuf& picture, const PreviewPixels& area);
  // Rebuilds the copy of the alpha plane (8 bits, 1 component); an empty plane leaves none.
  void RefreshAlpha(const SBxPicBuf& alphaPlane);
  // Drops every copy, so that the view stays empty until the next refresh.
  void ReleaseCaches();
  bool HasCache(ViewPicture which) const;

  // Renders into `surface` (Format_BGR888, the picture buffer's B, G, R byte order): the
  // background grey, the copy of `which` through the state's mapping, the checkerboard behind
  // transparent pixels and the inverted frame of the preview rectangle, with three inverted dots
  // inside its top-left corner while it is working.
  void Render(QImage& surface, ViewPicture which, const ViewState& state, int backgroundGrey);

 private:
  void BlendCheckerboard(SBxPicBuf& target, const CBxPicMap& map, ViewInterpolation interpolation);
  SBxPicBuf& CacheOf(ViewPicture which);

  ScopedPicBuf source_;
  ScopedPicBuf denoised_;
  ScopedPicBuf alpha_;
  // The alpha plane on screen; kept between renders so that a pan does not allocate.
  ScopedPicBuf screenAlpha_;
};
