// One rectangle of a picture, computed from its region alone, is the whole picture's run (tiled
// denoising, then sharpening) inside the rectangle, to the bit: at the four sides and the corners,
// at odd and even positions, across a tile border, at 8 and 16 bits, with the chroma pass,
// dynamics, the point-artefact pass and sharpening on.
#include "engine/denoise_rectangle.h"

#include <gtest/gtest.h>

#include <string>

#include "support/test_pictures.h"

namespace {

using testpics::Picture;

struct Setting {
  std::string name;
  uint32_t components, bits;
  DenoiseRequest request;
  DetailGains gains;
};

DenoiseRequest Request(int32_t quality, double dynamics, int32_t median, double large) {
  DenoiseRequest request;
  request.strength = 12;
  request.strengthChroma = 14;
  request.strengthChromaLarge = large;
  request.quality = quality;
  request.dynamics = dynamics;
  request.medianMode = median;
  return request;
}

TEST(DenoiseRectangle, IsTheWholePicturesRunInsideTheRectangle) {
  const Setting settings[] = {
      {"colour 8-bit", 3, 8, Request(3, 0.5, kMedianCommon, 10), {1.5, 1.3, 1.2}},
      {"colour 16-bit", 3, 16, Request(2, -0.5, kMedianStrong, 10.9), {0.6, 1.4, 2.0}},
      {"grey 8-bit", 1, 8, Request(1, 0, kMedianNone, 0), {1.8, 1, 1}},
  };
  const int32_t width = 1100;
  const int32_t height = 621;
  const int32_t side = 200;
  // Corners, the four sides at odd positions, the middle, and across the tile border at x 1000.
  const TileRect rects[] = {
      {0, 0, side, side},
      {width - side, 0, width, side},
      {0, height - side, side, height},
      {width - side, height - side, width, height},
      {357, 0, 357 + side, side},
      {0, 201, side, 201 + side},
      {width - side, 333, width, 333 + side},
      {451, height - side, 451 + side, height},
      {299, 187, 299 + side, 187 + side},
      {901, 300, 1099, 359},
  };
  for (const Setting& s : settings) {
    const Picture noisy = testpics::AddNoise(
        testpics::SmoothScene(width, height, s.components, s.bits), 10.0, s.bits);
    Picture whole(width, height, s.components, s.bits);
    DenoisePicture(whole, noisy, s.request);
    ASSERT_FALSE(SharpenPicture(whole, s.gains));
    for (const TileRect& rect : rects) {
      Picture shown(1, 1, s.components, s.bits);
      ASSERT_FALSE(DenoiseRectangle(shown, noisy, rect, s.request, s.gains, {}));
      EXPECT_TRUE(testpics::BitIdentical(shown, testpics::CutOut(whole, rect)))
          << s.name << ", rectangle at " << rect.x0 << "," << rect.y0;
    }
  }
}

TEST(DenoiseRectangle, AStoppedRunGivesNoResult) {
  const Picture noisy = testpics::AddNoise(testpics::SmoothScene(300, 300, 3, 8), 10.0, 1);
  StopFlag stop;
  stop.Request();
  Picture shown(1, 1, 3, 8);
  EXPECT_TRUE(DenoiseRectangle(shown, noisy, {50, 50, 250, 250}, Request(1, 0, 0, 10), {},
                               RunControl(nullptr, &stop)));
}

}  // namespace
