#include "cli/synthetic_photo.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>
#include <numbers>
#include <random>
#include <vector>

namespace synthetic {

namespace {

constexpr int32_t kMaxSide = 20000;

struct Rgb {
  double r;
  double g;
  double b;
};

Rgb Mix(const Rgb& a, const Rgb& b, double t) {
  return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t};
}

// Coverage of an edge at signed distance `d` pixels (positive inside), blurred over a few pixels
// like a lens would.
double SoftEdge(double d) { return 0.5 + 0.5 * std::tanh(d / 1.5); }

uint8_t ToLevel(double value) {
  return static_cast<uint8_t>(std::floor(std::clamp(value, 0.02, 0.98) * 255.0 + 0.5));
}

bool ParseSide(std::string_view text, int32_t& side) {
  const char* end = text.data() + text.size();
  auto [ptr, ec] = std::from_chars(text.data(), end, side);
  return ec == std::errc() && ptr == end && side >= 1 && side <= kMaxSide;
}

}  // namespace

std::optional<PictureSize> ParsePictureSize(std::string_view text) {
  const size_t x = text.find_first_of("xX");
  if (x == std::string_view::npos) return std::nullopt;
  PictureSize size{};
  if (!ParseSide(text.substr(0, x), size.width) || !ParseSide(text.substr(x + 1), size.height)) {
    return std::nullopt;
  }
  return size;
}

bool MakeSmoothScene(SBxPicBuf& picture, int32_t width, int32_t height) {
  if (CBxPicBufAPI::ReinitHeap(picture, width, height, 3, 8)) return true;

  constexpr double kTwoPi = 2.0 * std::numbers::pi;
  const double unit = std::min(width, height);  // lengths scale with the shorter side
  const double sunX = 0.68 * width;
  const double sunY = 0.30 * height;
  const double sunRadius = 0.11 * unit;
  const Rgb skyTop{0.30, 0.47, 0.80};
  const Rgb skyHaze{0.86, 0.81, 0.72};
  const Rgb sunCore{1.00, 0.93, 0.70};
  const Rgb sunRim{0.97, 0.72, 0.38};
  const Rgb meadow{0.33, 0.46, 0.20};
  const Rgb field{0.62, 0.53, 0.30};

  // The skyline: the row where the hills start, per column.
  std::vector<double> horizon(static_cast<size_t>(width));
  for (int32_t x = 0; x < width; ++x) {
    const double u = static_cast<double>(x) / std::max(width - 1, 1);
    horizon[x] = height * (0.58 + 0.045 * std::sin(kTwoPi * (1.3 * u + 0.1)) +
                           0.02 * std::sin(kTwoPi * (3.1 * u + 0.4)));
  }

  for (int32_t y = 0; y < height; ++y) {
    uint8_t* row = PicRow<uint8_t>(picture, y);
    const double v = static_cast<double>(y) / std::max(height - 1, 1);
    for (int32_t x = 0; x < width; ++x) {
      const double u = static_cast<double>(x) / std::max(width - 1, 1);
      const double hy = horizon[x];

      // Sky: deep blue at the top, hazy towards the horizon, brighter around the sun.
      const double toHorizon = std::clamp(y / hy, 0.0, 1.0);
      Rgb c = Mix(skyTop, skyHaze, toHorizon * toHorizon);
      const double r = std::hypot(x - sunX, y - sunY);
      const double glow = 0.25 * std::exp(-std::max(r - sunRadius, 0.0) / (0.6 * sunRadius));
      c = Mix(c, sunRim, glow);

      // The sun: a disc shaded from its core to its rim.
      const double shade = std::clamp(r / sunRadius, 0.0, 1.0);
      c = Mix(c, Mix(sunCore, sunRim, shade * shade), SoftEdge(sunRadius - r));

      // Hills: meadows with soft bands of fields that narrow towards the horizon, darker nearer.
      const double depth = std::clamp((y - hy) / std::max(height - hy, 1.0), 0.0, 1.0);
      const double band = 0.5 + 0.5 * std::sin(kTwoPi * (5.0 * std::sqrt(depth) + 0.7 * u));
      Rgb ground = Mix(meadow, field, 0.55 * band);
      const double nearDark = 1.0 - 0.35 * depth;
      ground = {ground.r * nearDark, ground.g * nearDark, ground.b * nearDark};
      c = Mix(c, ground, SoftEdge(y - hy));

      const double vignette = 1.0 - 0.35 * ((u - 0.5) * (u - 0.5) + (v - 0.5) * (v - 0.5));
      row[3 * x + 0] = ToLevel(c.b * vignette);
      row[3 * x + 1] = ToLevel(c.g * vignette);
      row[3 * x + 2] = ToLevel(c.r * vignette);
    }
  }
  return false;
}

void AddGaussianNoise(SBxPicBuf& picture, double sigma, uint32_t seed) {
  std::mt19937 rng(seed);
  std::normal_distribution<double> noise(0.0, sigma);
  const int64_t samples = static_cast<int64_t>(picture.width) * picture.components;
  for (int32_t y = 0; y < picture.height; ++y) {
    uint8_t* row = PicRow<uint8_t>(picture, y);
    for (int64_t i = 0; i < samples; ++i) {
      const double value = std::floor(row[i] + noise(rng) + 0.5);
      row[i] = static_cast<uint8_t>(std::clamp(value, 0.0, 255.0));
    }
  }
}

double Psnr(const SBxPicBuf& reference, const SBxPicBuf& test) {
  const int64_t samples = static_cast<int64_t>(reference.width) * reference.components;
  double sum = 0;
  for (int32_t y = 0; y < reference.height; ++y) {
    const uint8_t* a = PicRow<uint8_t>(reference, y);
    const uint8_t* b = PicRow<uint8_t>(test, y);
    for (int64_t i = 0; i < samples; ++i) {
      const double d = static_cast<double>(a[i]) - b[i];
      sum += d * d;
    }
  }
  if (sum == 0) return std::numeric_limits<double>::infinity();
  const double mse = sum / (static_cast<double>(samples) * reference.height);
  return 10.0 * std::log10(255.0 * 255.0 / mse);
}

}  // namespace synthetic
