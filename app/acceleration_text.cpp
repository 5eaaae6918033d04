#include "app/acceleration_text.h"

#include "widgets/localised_text.h"

QString AccelerationReason(const AccelerationAdmission& card) {
  const auto seconds = [](double value) { return QString::number(value, 'f', 2); };
  switch (card.verdict) {
    case AccelerationVerdict::kAdmitted:
      return {};
    case AccelerationVerdict::kNoCard:
      return Localised(kStringNoCard);
    case AccelerationVerdict::kSelfTestFailed:
      return Localised(kStringSelfTestFailed).arg(card.largestDifference);
    case AccelerationVerdict::kSlowerThanCpu:
      return Localised(kStringCardSlower).arg(seconds(card.gpuSeconds), seconds(card.cpuSeconds));
  }
  return {};
}
