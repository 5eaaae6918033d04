#include "profiles/noise_calibration.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <iterator>
#include <utility>

namespace {

constexpr double kMaxStrength = 50.0;
constexpr double kMaxGain = 4.0;
constexpr double kMaxWeight = 4.0;

// `field` at `level`: linear between the two points around it, the end point's beyond the ends.
template <typename Point>
double Interpolate(const std::vector<Point>& points, double level, double Point::*field) {
  const auto above = std::upper_bound(points.begin(), points.end(), level,
                                      [](double l, const Point& p) { return l < p.level; });
  if (above == points.begin()) return points.front().*field;
  if (above == points.end()) return points.back().*field;
  const Point& low = *std::prev(above);
  const Point& high = *above;
  const double share = (level - low.level) / (high.level - low.level);
  return low.*field + share * (high.*field - low.*field);
}

template <typename Point>
struct Check {
  const char* name;
  double Point::*field;
  double high;
  bool rising;  // with the level; else falling
};

std::string Describe(const char* column, size_t index, const std::string& what) {
  return std::string(column) + " point " + std::to_string(index + 1) + ": " + what;
}

std::string Number(double value) {
  char text[32];
  std::snprintf(text, sizeof(text), "%g", value);
  return text;
}

// The problem of one value of point `index`, compared with the same value of the point before it
// (`previous`, null for the first): out of [0, high], or moving against `rising`.
std::string ValueProblem(const char* column, size_t index, const char* name, double value,
                         const double* previous, double high, bool rising) {
  if (!(value >= 0 && value <= high)) {
    return Describe(
        column, index,
        std::string(name) + " " + Number(value) + " is not within 0 to " + Number(high));
  }
  if (previous != nullptr && (rising ? value < *previous : value > *previous)) {
    return Describe(
        column, index,
        std::string(name) + (rising ? " falls" : " rises") + " while the noise level rises");
  }
  return {};
}

// Levels that rise from point to point, and each value within its range and moving its way.
template <typename Point, size_t N>
std::string ColumnProblem(const char* column, const std::vector<Point>& points,
                          const Check<Point> (&checks)[N]) {
  if (points.empty()) return std::string(column) + " has no points";
  for (size_t i = 0; i < points.size(); ++i) {
    const Point& point = points[i];
    if (!(point.level >= 0 && std::isfinite(point.level))) {
      return Describe(column, i, "the level is not a number of 0 or more");
    }
    if (i > 0 && !(point.level > points[i - 1].level)) {
      return Describe(column, i, "the level is not above the level of the point before");
    }
    for (const auto& [name, field, high, rising] : checks) {
      const std::string problem = ValueProblem(
          column, i, name, point.*field, i > 0 ? &(points[i - 1].*field) : nullptr, high, rising);
      if (!problem.empty()) return problem;
    }
  }
  return {};
}

}  // namespace

CalibratedValues ValuesAt(const NoiseCalibration& table, double lumaLevel, double chromaLevel) {
  CalibratedValues values{};
  if (!table.luma.empty()) {
    values.strength = Interpolate(table.luma, lumaLevel, &LumaPoint::strength);
    values.tiny = Interpolate(table.luma, lumaLevel, &LumaPoint::tiny);
    values.medium = Interpolate(table.luma, lumaLevel, &LumaPoint::medium);
    values.rough = Interpolate(table.luma, lumaLevel, &LumaPoint::rough);
  }
  if (!table.chroma.empty()) {
    values.chroma = Interpolate(table.chroma, chromaLevel, &ChromaPoint::strength);
    values.chromaLarge = Interpolate(table.chroma, chromaLevel, &ChromaPoint::strengthLarge);
  }
  return values;
}

LevelsRead ReadLevels(const NoiseCalibration& table, const PhotoNoise& noise) {
  const double luma = std::max({noise.smooth.luma, table.gridWeight * noise.gridLuma,
                                table.coarseWeight * noise.coarse.luma});
  return {luma, std::max(noise.smooth.chroma, table.chromaFromLuma * luma)};
}

std::string CalibrationProblem(const NoiseCalibration& table) {
  for (const auto& [name, weight] : {std::pair{"CoarseWeight", table.coarseWeight},
                                     std::pair{"ChromaFromLuma", table.chromaFromLuma},
                                     std::pair{"GridWeight", table.gridWeight}}) {
    if (!(weight >= 0 && weight <= kMaxWeight)) {
      return std::string(name) + " " + Number(weight) + " is not within 0 to " + Number(kMaxWeight);
    }
  }
  static constexpr Check<LumaPoint> kLumaChecks[] = {
      {"strength", &LumaPoint::strength, kMaxStrength, true},
      {"tiny gain", &LumaPoint::tiny, kMaxGain, false},
      {"medium gain", &LumaPoint::medium, kMaxGain, false},
      {"rough gain", &LumaPoint::rough, kMaxGain, false},
  };
  static constexpr Check<ChromaPoint> kChromaChecks[] = {
      {"strength", &ChromaPoint::strength, kMaxStrength, true},
      {"large strength", &ChromaPoint::strengthLarge, kMaxStrength, true},
  };
  std::string problem = ColumnProblem("Luma", table.luma, kLumaChecks);
  if (problem.empty()) problem = ColumnProblem("Chroma", table.chroma, kChromaChecks);
  return problem;
}
