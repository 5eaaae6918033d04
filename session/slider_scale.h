// The seven sliders of the parameters panel: each maps an integer position range linearly onto a
// real value range, clamped in both directions. The strength scales come out as value =
// position / 20 and the dynamics scale as value = position / 50 − 2. The full-size run uses the
// values the sliders stand at, not the profile's values as they are.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "profiles/camera_profile_store.h"

// The panel's sliders, in the order of their table.
enum class PanelScale : int32_t {
  kStrength,
  kStrengthChroma,
  kStrengthChromaLarge,
  kDynamics,
  kSharpTiny,
  kSharpMedium,
  kSharpRough,
};
inline constexpr std::size_t kPanelScaleCount = 7;

struct SliderScale {
  int32_t minPosition;
  int32_t maxPosition;
  double minValue;
  double maxValue;
  const char* format;   // printf format of the value text
  int32_t labelString;  // localised string number of the label
  double defaultValue;  // what "Set Default" sets
  double IsoProfile::*field;
};

const SliderScale& ScaleOf(PanelScale slider);
const std::array<PanelScale, kPanelScaleCount>& AllPanelScales();

// v = vmin for p ≤ pmin, vmax for p ≥ pmax, else linear in between.
double PositionToValue(const SliderScale& scale, int32_t position);
// pmin for v ≤ vmin, pmax for v ≥ vmax, else pmin + ⌊(v − vmin) / (vmax − vmin) · (pmax − pmin) +
// 0.5⌋.
int32_t ValueToPosition(const SliderScale& scale, double value);
// The value written with the scale's format ("%.1f" or "%.2f").
std::string ValueText(const SliderScale& scale, double value);

// The profile with its strengths and dynamics as the sliders show them (each value moved to the
// position it stands at): what the full-size run uses. A stored 12.34 runs as 12.35.
IsoProfile RunValuesOf(const IsoProfile& profile);
