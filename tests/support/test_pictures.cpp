#include "support/test_pictures.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <random>
#include <stdexcept>

namespace testpics {

namespace {

double FullScale(uint32_t bits) { return bits == 32 ? 1.0 : std::ldexp(1.0, bits) - 1.0; }

}  // namespace

Picture::Picture(int32_t width, int32_t height, uint32_t components, uint32_t bits) {
  CBxPicBufAPI::Init(buf_);
  if (CBxPicBufAPI::ReinitHeap(buf_, width, height, components, bits)) {
    throw std::runtime_error("test picture allocation failed");
  }
  CBxPicBufAPI::SetConst(buf_, 0);
}

Picture::Picture(const Picture& other) {
  CBxPicBufAPI::Init(buf_);
  if (CBxPicBufAPI::ReinitHeap(buf_, other.buf_)) {
    throw std::runtime_error("test picture allocation failed");
  }
  CBxPicBufAPI::Copy(buf_, other.buf_);
}

Picture::~Picture() { CBxPicBufAPI::DoneHeap(buf_); }

double Picture::At(int32_t x, int32_t y, uint32_t c) const {
  const size_t i = static_cast<size_t>(x) * buf_.components + c;
  switch (buf_.bitsPerComponent) {
    case 8: return PicRow<uint8_t>(buf_, y)[i];
    case 16: return PicRow<uint16_t>(buf_, y)[i];
    default: return PicRow<float>(buf_, y)[i];
  }
}

void Picture::Set(int32_t x, int32_t y, uint32_t c, double value) {
  const size_t i = static_cast<size_t>(x) * buf_.components + c;
  switch (buf_.bitsPerComponent) {
    case 8: PicRow<uint8_t>(buf_, y)[i] = static_cast<uint8_t>(value); break;
    case 16: PicRow<uint16_t>(buf_, y)[i] = static_cast<uint16_t>(value); break;
    default: PicRow<float>(buf_, y)[i] = static_cast<float>(value); break;
  }
}

Picture SmoothScene(int32_t width, int32_t height, uint32_t components, uint32_t bits) {
  Picture p(width, height, components, bits);
  const double full = FullScale(bits);
  const double cx = width * 0.6;
  const double cy = height * 0.4;
  const double radius = std::min(width, height) * 0.25;
  for (int32_t y = 0; y < height; ++y) {
    for (int32_t x = 0; x < width; ++x) {
      const double u = static_cast<double>(x) / std::max(width - 1, 1);
      const double v = static_cast<double>(y) / std::max(height - 1, 1);
      const double r = std::hypot(x - cx, y - cy);
      const double disc = 0.5 + 0.5 * std::tanh((radius - r) / 3.0);
      for (uint32_t c = 0; c < components; ++c) {
        const double band = 0.5 + 0.5 * std::sin(6.0 * u + 2.0 * c + 3.0 * v);
        double value = 0.12 + 0.35 * u * (1.0 + 0.3 * c) + 0.2 * v + 0.15 * band + 0.2 * disc;
        value = std::clamp(value, 0.05, 0.95);
        p.Set(x, y, c, bits == 32 ? value : std::floor(value * full + 0.5));
      }
    }
  }
  return p;
}

Picture Constant(int32_t width, int32_t height, uint32_t components, uint32_t bits, double value) {
  Picture p(width, height, components, bits);
  for (int32_t y = 0; y < height; ++y) {
    for (int32_t x = 0; x < width; ++x) {
      for (uint32_t c = 0; c < components; ++c) p.Set(x, y, c, value);
    }
  }
  return p;
}

Picture RandomPicture(int32_t width, int32_t height, uint32_t components, uint32_t bits,
                      uint32_t seed) {
  Picture p(width, height, components, bits);
  std::mt19937 rng(seed);
  const double full = FullScale(bits);
  for (int32_t y = 0; y < height; ++y) {
    for (int32_t x = 0; x < width; ++x) {
      for (uint32_t c = 0; c < components; ++c) {
        const double r = std::uniform_real_distribution<double>(0.0, 1.0)(rng);
        p.Set(x, y, c, bits == 32 ? r : std::floor(r * full + 0.5));
      }
    }
  }
  return p;
}

Picture AddNoise(const Picture& clean, double sigma, uint32_t seed) {
  Picture noisy(clean);
  const SBxPicBuf& b = clean.buf();
  const double full = FullScale(b.bitsPerComponent);
  const double scale = b.bitsPerComponent == 16 ? 257.0 : b.bitsPerComponent == 32 ? 1 / 255.0 : 1.0;
  std::mt19937 rng(seed);
  std::normal_distribution<double> noise(0.0, sigma * scale);
  for (int32_t y = 0; y < b.height; ++y) {
    for (int32_t x = 0; x < b.width; ++x) {
      for (uint32_t c = 0; c < b.components; ++c) {
        double v = clean.At(x, y, c) + noise(rng);
        v = std::clamp(v, 0.0, full);
        noisy.Set(x, y, c, b.bitsPerComponent == 32 ? v : std::floor(v + 0.5));
      }
    }
  }
  return noisy;
}

namespace {

// Σ f(a − b) over every sample of two pictures of equal geometry, and the number of samples.
template <typename F>
double SumOverDifferences(const Picture& a, const Picture& b, F f, double& count) {
  const SBxPicBuf& r = a.buf();
  double sum = 0;
  for (int32_t y = 0; y < r.height; ++y) {
    for (int32_t x = 0; x < r.width; ++x) {
      for (uint32_t c = 0; c < r.components; ++c) sum += f(a.At(x, y, c) - b.At(x, y, c));
    }
  }
  count = static_cast<double>(r.width) * r.height * r.components;
  return sum;
}

}  // namespace

double Psnr(const Picture& reference, const Picture& test) {
  double count = 0;
  const double mse =
      SumOverDifferences(reference, test, [](double d) { return d * d; }, count) / count;
  const double full = FullScale(reference.buf().bitsPerComponent);
  return mse == 0 ? 1000.0 : 10.0 * std::log10(full * full / mse);
}

double MeanAbsDifference(const Picture& a, const Picture& b) {
  double count = 0;
  return SumOverDifferences(a, b, [](double d) { return std::abs(d); }, count) / count;
}

bool BitIdentical(const SBxPicBuf& a, const SBxPicBuf& b) {
  if (a.width != b.width || a.height != b.height || a.components != b.components ||
      a.bitsPerComponent != b.bitsPerComponent || a.size != b.size) {
    return false;
  }
  return a.size == 0 || std::memcmp(a.data, b.data, static_cast<size_t>(a.size)) == 0;
}

double MaxAbsDifference(const SBxPicBuf& a, const SBxPicBuf& b) {
  double worst = 0;
  const int64_t count = static_cast<int64_t>(a.width) * a.components;
  for (int32_t y = 0; y < a.height; ++y) {
    for (int64_t i = 0; i < count; ++i) {
      double va = 0;
      double vb = 0;
      switch (a.bitsPerComponent) {
        case 8: va = PicRow<uint8_t>(a, y)[i]; vb = PicRow<uint8_t>(b, y)[i]; break;
        case 16: va = PicRow<uint16_t>(a, y)[i]; vb = PicRow<uint16_t>(b, y)[i]; break;
        default: va = PicRow<float>(a, y)[i]; vb = PicRow<float>(b, y)[i]; break;
      }
      worst = std::max(worst, std::abs(va - vb));
    }
  }
  return worst;
}

Picture CutOut(const SBxPicBuf& picture, const TileRect& rect) {
  Picture cut(rect.Width(), rect.Height(), picture.components, picture.bitsPerComponent);
  CBxPicBufAPI::CopyRect(cut, picture, {0, 0}, {rect.x0, rect.y0}, {rect.Width(), rect.Height()});
  return cut;
}

double MaxDifferenceInside(const SBxPicBuf& whole, const SBxPicBuf& part, const TileRect& partRect,
                           const TileRect& rect) {
  const TileRect inPart{rect.x0 - partRect.x0, rect.y0 - partRect.y0, rect.x1 - partRect.x0,
                        rect.y1 - partRect.y0};
  return MaxAbsDifference(CutOut(whole, rect), CutOut(part, inPart));
}

}  // namespace testpics
