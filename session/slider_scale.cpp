#include "session/slider_scale.h"

#include <cmath>
#include <cstdio>

namespace {

constexpr std::array<SliderScale, kPanelScaleCount> kScales = {{
    {20, 1000, 1.0, 50.0, "%.1f", 116, 10.0, &IsoProfile::m_dStrength},
    {20, 1000, 1.0, 50.0, "%.1f", 117, 10.0, &IsoProfile::m_dStrengthChroma},
    {0, 1000, 0.0, 50.0, "%.1f", 118, 10.0, &IsoProfile::m_dStrengthChromaLarge},
    {0, 200, -2.0, 2.0, "%.2f", 119, 0.0, &IsoProfile::m_dDynamics},
    {0, 20, 0.0, 4.0, "%.1f", 127, 1.0, &IsoProfile::m_dSharp1},
    {0, 20, 0.0, 4.0, "%.1f", 128, 1.0, &IsoProfile::m_dSharp2},
    {0, 20, 0.0, 4.0, "%.1f", 129, 1.0, &IsoProfile::m_dSharp3},
}};

constexpr std::array<PanelScale, kPanelScaleCount> kSliders = {
    PanelScale::kStrength,  PanelScale::kStrengthChroma, PanelScale::kStrengthChromaLarge,
    PanelScale::kDynamics,  PanelScale::kSharpTiny,      PanelScale::kSharpMedium,
    PanelScale::kSharpRough};

}  // namespace

const SliderScale& ScaleOf(PanelScale slider) { return kScales[static_cast<std::size_t>(slider)]; }

const std::array<PanelScale, kPanelScaleCount>& AllPanelScales() { return kSliders; }

double PositionToValue(const SliderScale& scale, int32_t position) {
  if (position <= scale.minPosition) return scale.minValue;
  if (position >= scale.maxPosition) return scale.maxValue;
  const double fraction = static_cast<double>(position - scale.minPosition) /
                          static_cast<double>(scale.maxPosition - scale.minPosition);
  return fraction * (scale.maxValue - scale.minValue) + scale.minValue;
}

int32_t ValueToPosition(const SliderScale& scale, double value) {
  if (value <= scale.minValue) return scale.minPosition;
  if (value >= scale.maxValue) return scale.maxPosition;
  const double fraction = (value - scale.minValue) / (scale.maxValue - scale.minValue);
  return scale.minPosition +
         static_cast<int32_t>(std::floor(fraction * (scale.maxPosition - scale.minPosition) + 0.5));
}

std::string ValueText(const SliderScale& scale, double value) {
  char text[32];
  std::snprintf(text, sizeof text, scale.format, value);
  return text;
}

IsoProfile RunValuesOf(const IsoProfile& profile) {
  IsoProfile run = profile;
  for (PanelScale scale : {PanelScale::kStrength, PanelScale::kStrengthChroma,
                           PanelScale::kStrengthChromaLarge, PanelScale::kDynamics}) {
    const SliderScale& range = ScaleOf(scale);
    run.*range.field = PositionToValue(range, ValueToPosition(range, profile.*range.field));
  }
  return run;
}
