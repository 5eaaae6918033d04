// The calibration of the automatic profile: which strengths and detail gains suit a photo whose
// noise was measured at a given level. It is data, fitted on a corpus of photos by
// tools/fit_noise_calibration.py and shipped as resources/NoiseCalibration.ini
// (profiles/noise_calibration_file.h reads it); docs/NOISE_CALIBRATION.md tells how it was fitted.
//
// The table reads two levels of a photo (profiles/photo_noise.h): the luma level is the largest of
// the smooth parts' luma level, `gridWeight` times their level across the JPEG grid and
// `coarseWeight` times the half-size copy's (the grey levels for a grey photo), the two weighted
// readings lifting the level of JPEG-compressed noise; the chroma level is the larger of the smooth
// parts' chroma level and `chromaFromLuma` times the luma level read, because JPEG keeps little of
// the chroma noise that the estimator sees yet leaves blotches worth smoothing.
//
// It has two columns of points, each ordered by level: the luma points give the luma strength and
// the three detail gains for the luma level, the chroma points the chroma and coarse-chroma
// strengths for the chroma level. Between two points the values are interpolated linearly; below
// the first and above the last the end point holds. Every table in use is monotone: strengths
// never fall and gains never rise as the level rises, so more noise is never met with less
// smoothing.
#pragma once

#include <string>
#include <vector>

#include "profiles/photo_noise.h"

struct LumaPoint {
  double level;     // measured luma level, on the scale of EstimateNoise
  double strength;  // 0 to 50
  double tiny;      // detail gains, 0 to 4
  double medium;
  double rough;

  bool operator==(const LumaPoint&) const = default;
};

struct ChromaPoint {
  double level;          // measured chroma level, on the scale of EstimateNoiseYUV
  double strength;       // chroma strength, 0 to 50
  double strengthLarge;  // coarse-scale chroma strength, 0 to 50

  bool operator==(const ChromaPoint&) const = default;
};

struct NoiseCalibration {
  double coarseWeight = 0;          // 0 to 4
  double chromaFromLuma = 0;        // 0 to 4
  std::vector<LumaPoint> luma;      // at least one point, levels strictly increasing
  std::vector<ChromaPoint> chroma;  // likewise
  double gridWeight = 0;            // 0 to 4

  bool operator==(const NoiseCalibration&) const = default;
};

// The luma and chroma levels that `table` reads for a photo with `noise`.
struct LevelsRead {
  double luma;
  double chroma;
};
LevelsRead ReadLevels(const NoiseCalibration& table, const PhotoNoise& noise);

// The values of a table at one luma level and one chroma level.
struct CalibratedValues {
  double strength, tiny, medium, rough;
  double chroma, chromaLarge;
};

CalibratedValues ValuesAt(const NoiseCalibration& table, double lumaLevel, double chromaLevel);

// Why `table` cannot be used (a weight out of its range, levels not increasing, a value out of its
// range, a strength that falls or a gain that rises with the level, a column without points), or
// empty when it can.
std::string CalibrationProblem(const NoiseCalibration& table);
