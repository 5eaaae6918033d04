#include "gpu/gpgpu.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <random>
#include <vector>

#include "gpu/gpu_session.h"

namespace {

// A padded single-component 16-bit tile: w × h pixels inside a border of R + 3.
struct Tile {
  int32_t w = 8, h = 6, r = 4;
  int32_t W = w + 2 * r + 6, H = h + 2 * r + 6;
  std::vector<uint16_t> samples;

  explicit Tile(uint32_t seed) : samples(size_t(W) * H) {
    std::mt19937 random(seed);
    std::uniform_int_distribution<int32_t> noise(-700, 700);
    for (uint16_t& s : samples) s = static_cast<uint16_t>(30000 + noise(random));
  }
  double At(int32_t x, int32_t y) const { return samples[size_t(y) * W + x] / 256.0; }
};

// The CPU model of one offset pass: absolute differences within the padded tile, 2 × 2 sums, 3 × 3
// box sums from the second row and column on, weights with the source modulation, and the
// symmetric accumulation of p − d and p + d (the centre counted once).
class PassModel {
 public:
  explicit PassModel(const Tile& tile)
      : t_(tile), weightSum_(size_t(t_.w) * t_.h), valueSum_(weightSum_.size()) {}

  void Run(int32_t dx, int32_t dy, double variance, double dynamics) {
    const std::vector<double> weights = Weights(dx, dy, variance, dynamics);
    const auto weight = [&](int32_t x, int32_t y) { return weights[size_t(y) * t_.W + x]; };
    const int32_t o = t_.r + 3;
    for (int32_t y = 0; y < t_.h; ++y) {
      for (int32_t x = 0; x < t_.w; ++x) {
        const size_t i = size_t(y) * t_.w + x;
        const int32_t qx = x + o, qy = y + o;
        if (dx == 0 && dy == 0) {
          weightSum_[i] += weight(qx, qy);
          valueSum_[i] += t_.At(qx, qy) * weight(qx, qy);
          continue;
        }
        weightSum_[i] += weight(qx - dx, qy - dy) + weight(qx, qy);
        valueSum_[i] += t_.At(qx - dx, qy - dy) * weight(qx - dx, qy - dy) +
                        t_.At(qx + dx, qy + dy) * weight(qx, qy);
      }
    }
  }

  // The read-back sample of pixel i.
  double Result(size_t i) const {
    return std::min(std::floor(valueSum_[i] / weightSum_[i] * 256.0 + 0.5), 65535.0);
  }

 private:
  double Diff(int32_t x, int32_t y, int32_t dx, int32_t dy) const {
    const int32_t a = std::max(-dx, 0), b = std::max(-dy, 0);
    if (x < a || y < b || x >= a + t_.W - std::abs(dx) || y >= b + t_.H - std::abs(dy)) return 0;
    return std::abs(t_.At(x + dx, y + dy) - t_.At(x, y));
  }
  double Half(int32_t i, int32_t j, int32_t dx, int32_t dy) const {
    return Diff(2 * i, 2 * j, dx, dy) + Diff(2 * i + 1, 2 * j, dx, dy) +
           Diff(2 * i + 1, 2 * j + 1, dx, dy) + Diff(2 * i, 2 * j + 1, dx, dy);
  }
  double Distance(int32_t i, int32_t j, int32_t dx, int32_t dy) const {
    if (i == 0 || j == 0) return Half(i, j, dx, dy);
    double sum = 0;
    for (int32_t v = j - 1; v <= j + 1; ++v) {
      for (int32_t u = i - 1; u <= i + 1; ++u) {
        sum += Half(std::min(u, t_.W / 2 - 1), std::min(v, t_.H / 2 - 1), dx, dy);
      }
    }
    return sum;
  }
  std::vector<double> Weights(int32_t dx, int32_t dy, double variance, double dynamics) const {
    std::vector<double> weights(size_t(t_.W) * t_.H);
    const double rate = std::abs(dynamics) / 256.0;
    for (int32_t y = 0; y < t_.H; ++y) {
      for (int32_t x = 0; x < t_.W; ++x) {
        const double s = Distance(x / 2, y / 2, dx, dy);
        const double src = dynamics < 0 ? 256.0 - t_.At(x, y) : t_.At(x, y);
        const double v = (src * rate + 1.0) * variance * 300.0;
        weights[size_t(y) * t_.W + x] = std::exp(-s * s * s / v);
      }
    }
    return weights;
  }

  const Tile& t_;
  std::vector<double> weightSum_;
  std::vector<double> valueSum_;
};

TEST(GpuOffsetPasses, AgreeWithTheCpuModel) {
  struct Offset {
    int32_t dx, dy;
  };
  struct Case {
    std::vector<Offset> offsets;
    double dynamics;
  };
  const std::vector<Case> cases{
      {{{0, 0}}, 0.0},                     // the centre alone gives the picture back
      {{{-2, -1}, {0, 0}}, 0.6},           // direct modulation
      {{{1, -3}, {-3, 0}, {0, 0}}, -0.8},  // inverse modulation, two offsets
      {{{-1, -1}, {2, -2}, {0, 0}}, 0.0},
  };
  SKIP_WITHOUT_GPU(gpu);
  const auto variance = static_cast<float>(std::pow(20.0, 3.5));
  for (const Case& c : cases) {
    const Tile tile(5);
    PassModel model(tile);
    gpu->UploadSingleGuide(tile.samples.data(), tile.samples.data(), tile.w, tile.h, 1, tile.r, 16);
    for (const Offset& d : c.offsets) {
      gpu->RunOffsetPass1(d.dx, d.dy, tile.r, variance, static_cast<float>(c.dynamics));
      model.Run(d.dx, d.dy, variance, c.dynamics);
    }
    std::vector<uint16_t> result(size_t(tile.w) * tile.h);
    gpu->ResolveAndRead(result.data());
    double largest = 0;
    int32_t changed = 0;
    for (int32_t y = 0; y < tile.h; ++y) {
      for (int32_t x = 0; x < tile.w; ++x) {
        const size_t i = size_t(y) * tile.w + x;
        largest = std::max(largest, std::abs(result[i] - model.Result(i)));
        changed += result[i] != tile.samples[size_t(y + tile.r + 3) * tile.W + x + tile.r + 3];
      }
    }
    // Rounding to 16 bits can tip over at a half only; the centre alone changes nothing.
    const bool centreOnly = c.offsets.size() == 1;
    EXPECT_LE(largest, centreOnly ? 0.0 : 1.0) << c.offsets.size() << " offsets";
    EXPECT_EQ(changed == 0, centreOnly) << changed << " pixels changed";
  }
}

}  // namespace
