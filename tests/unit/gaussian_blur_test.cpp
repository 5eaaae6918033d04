#include "engine/gaussian_blur.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "support/test_pictures.h"

namespace {

using testpics::BitIdentical;
using testpics::Picture;

TEST(PreBlurSigma, StartsAboveStrength25) {
  const struct {
    double strength;
    double sigma;
  } cases[] = {
      {0.0, -1.0},
      {25.0, -1.0},
      {25.5, 0.5 * std::log(1.5) + 0.2},
      {26.0, 0.5 * std::log(2.0) + 0.2},
      {50.0, 0.5 * std::log(26.0) + 0.2},
  };
  for (const auto& c : cases) EXPECT_DOUBLE_EQ(PreBlurSigma(c.strength), c.sigma) << c.strength;
}

TEST(GaussianTaps11, NormalisedSymmetricAndCutBeyondExponent20) {
  const struct {
    float sigma;
    int32_t zeroTapsPerSide;  // exponents: 0.5 → 32 at |i| = 4; 0.79 → 20.03 and 0.8 → 19.5 at 5
  } cases[] = {{0.5f, 2}, {0.7f, 1}, {0.79f, 1}, {0.8f, 0}, {2.0f, 0}, {5.0f, 0}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.sigma);
    const std::array<float, 11> taps = GaussianTaps11(c.sigma);
    double sum = 0;
    for (float tap : taps) sum += tap;
    EXPECT_NEAR(sum, 1.0, 1e-6);
    for (int32_t i = 1; i <= 5; ++i) {
      EXPECT_EQ(taps[5 - i], taps[5 + i]) << i;
      if (i > 5 - c.zeroTapsPerSide) {
        EXPECT_EQ(taps[5 + i], 0.0f) << i;
      } else {
        const double falloff = std::exp(-i * i / (2.0 * c.sigma * c.sigma));
        EXPECT_NEAR(taps[5 + i] / taps[5], falloff, 1e-5 * falloff + 1e-12) << i;
      }
    }
  }
}

TEST(GaussianBlur11, KeepsConstantRastersAndTheirDepth) {
  const struct {
    int32_t width, height;
    uint32_t bits;
    double value;
  } cases[] = {
      {1, 1, 8, 77}, {3, 40, 8, 200}, {40, 3, 16, 40000}, {23, 17, 16, 65535}, {23, 17, 8, 0},
  };
  for (const auto& c : cases) {
    for (float sigma : {0.6f, 1.5f, 4.0f}) {
      const Picture flat = testpics::Constant(c.width, c.height, 1, c.bits, c.value);
      Picture blurred(flat);
      GaussianBlur11(blurred, sigma);
      EXPECT_TRUE(BitIdentical(blurred, flat))
          << c.width << "x" << c.height << ", " << c.bits << " bits, sigma " << sigma;
    }
  }
}

// Weight of input sample k in output sample n of a row of `length` samples: the tap for k − n,
// divided by the sum of the taps that the clipped window covers.
double RowWeight(const std::array<float, 11>& taps, int32_t n, int32_t k, int32_t length) {
  if (std::abs(k - n) > 5) return 0.0;
  double covered = 0;
  for (int32_t j = std::max(n - 5, 0); j <= std::min(n + 5, length - 1); ++j) {
    covered += taps[j - n + 5];
  }
  return taps[k - n + 5] / covered;
}

// A float raster avoids rounding, so the blur of an impulse shows the renormalised separable
// kernel itself; the raster is wider than high so that a mixed-up transposition shows too.
TEST(GaussianBlur11, ImpulseResponseIsTheRenormalisedSeparableKernel) {
  constexpr int32_t kWidth = 17;
  constexpr int32_t kHeight = 9;
  const float sigma = 1.3f;
  const std::array<float, 11> taps = GaussianTaps11(sigma);
  const struct { int32_t x, y; } impulses[] = {{0, 0}, {8, 4}, {16, 8}, {3, 7}, {13, 1}};
  for (const auto& p : impulses) {
    Picture raster(kWidth, kHeight, 1, 32);
    raster.Set(p.x, p.y, 0, 1.0);
    GaussianBlur11(raster, sigma);
    for (int32_t y = 0; y < kHeight; ++y) {
      for (int32_t x = 0; x < kWidth; ++x) {
        const double expected = RowWeight(taps, x, p.x, kWidth) * RowWeight(taps, y, p.y, kHeight);
        EXPECT_NEAR(raster.At(x, y), expected, 1e-6)
            << "impulse (" << p.x << ", " << p.y << ") at (" << x << ", " << y << ")";
      }
    }
  }
}

// At 16 bits the values travel through float and back without being cut to 8 bits: the result is
// within rounding of the blur computed in double.
TEST(GaussianBlur11, SixteenBitResultMatchesDoubleReference) {
  constexpr int32_t kWidth = 13;
  constexpr int32_t kHeight = 7;
  const float sigma = 2.2f;
  const std::array<float, 11> taps = GaussianTaps11(sigma);
  const Picture source = testpics::RandomPicture(kWidth, kHeight, 1, 16, 21);
  Picture blurred(source);
  GaussianBlur11(blurred, sigma);
  ASSERT_EQ(blurred.buf().bitsPerComponent, 16u);
  double worst = 0;
  for (int32_t y = 0; y < kHeight; ++y) {
    for (int32_t x = 0; x < kWidth; ++x) {
      double expected = 0;
      for (int32_t v = 0; v < kHeight; ++v) {
        for (int32_t u = 0; u < kWidth; ++u) {
          expected +=
              RowWeight(taps, x, u, kWidth) * RowWeight(taps, y, v, kHeight) * source.At(u, v);
        }
      }
      worst = std::max(worst, std::abs(blurred.At(x, y) - expected));
    }
  }
  EXPECT_LE(worst, 0.52);
}

TEST(BlurYUVComponents, BlursOnlyComponentsWithPositiveSigma) {
  const struct {
    double sigmaY;
    double sigmaUV;
  } cases[] = {{1.5, -1.0}, {-1.0, 1.5}, {0.0, 0.0}, {1.5, 2.0}};
  const Picture source = testpics::RandomPicture(15, 11, 3, 8, 9);
  for (const auto& c : cases) {
    Picture raster(source);
    BlurYUVComponents(raster, c.sigmaY, c.sigmaUV);
    for (uint32_t component = 0; component < 3; ++component) {
      const double sigma = component == 0 ? c.sigmaY : c.sigmaUV;
      Picture original(15, 11, 1, 8);
      Picture actual(15, 11, 1, 8);
      CBxPicBufAPI::ExtractComponent(original, component, source);
      CBxPicBufAPI::ExtractComponent(actual, component, raster);
      Picture expected(original);
      if (sigma > 0) GaussianBlur11(expected, static_cast<float>(sigma));
      SCOPED_TRACE(testing::Message()
                   << "sigmas " << c.sigmaY << "/" << c.sigmaUV << ", component " << component);
      EXPECT_TRUE(BitIdentical(actual, expected));
      EXPECT_EQ(BitIdentical(actual, original), sigma <= 0);
    }
  }
}

}  // namespace
