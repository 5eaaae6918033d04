// Sample types of the three picture depths, for the code that works on pixels of any depth: the
// full-scale value of each, storing a computed value, and choosing the type of a buffer once per
// call rather than once per sample.
#pragma once

#include <cstdint>
#include <type_traits>

template <typename T>
struct SampleTraits;
template <>
struct SampleTraits<uint8_t> {
  static constexpr double kFullScale = 255.0;
};
template <>
struct SampleTraits<uint16_t> {
  static constexpr double kFullScale = 65535.0;
};
template <>
struct SampleTraits<float> {
  static constexpr double kFullScale = 1.0;
};

// Stores a value given on the scale of T. Integers round half up and clamp to their range (NaN
// becomes 0); clamping first lets a truncating conversion do the rounding. Floats keep the value as
// it is, out-of-range values included, so that float intermediates lose nothing.
template <typename T>
inline T StoreSample(double value) {
  if constexpr (std::is_floating_point_v<T>) {
    return static_cast<T>(value);
  } else {
    constexpr double kMax = SampleTraits<T>::kFullScale;
    const double low = 0.0 < value ? value : 0.0;
    const double clamped = low < kMax ? low : kMax;
    return static_cast<T>(clamped + 0.5);
  }
}

// Calls `f` with a value of the sample type of a `bits` deep raster. False (and no call) for a
// depth that has no sample type.
template <typename F>
inline bool VisitSampleType(uint32_t bits, F&& f) {
  switch (bits) {
    case 8:
      f(uint8_t{});
      return true;
    case 16:
      f(uint16_t{});
      return true;
    case 32:
      f(float{});
      return true;
    default:
      return false;
  }
}
