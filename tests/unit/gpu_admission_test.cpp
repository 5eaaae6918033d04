#include <gtest/gtest.h>

#include "engine/gpu_self_test.h"
#include "gpu/gpgpu.h"

namespace {

TEST(GpuAdmission, WithoutAUsableContextAccelerationStaysOff) {
  EXPECT_EQ(AdmitHardwareAcceleration(1, nullptr), 0);
  EXPECT_FALSE(RunGpuSelfTest(nullptr));
  // An object whose context never came up is not usable either.
  CGPGPU unusable;
  EXPECT_FALSE(unusable.usable);
  EXPECT_EQ(AdmitHardwareAcceleration(1, &unusable), 0);
  EXPECT_EQ(RunGpuSelfTestDetailed(&unusable).largestDifference, 0);
}

// "HW Accel" decides whether the card is tried at all, its admission whether it is used;
// "GPUCPUFusion" is kept either way.
TEST(GpuAdmission, TheCardIsUsedOnlyWhenAskedForAndAdmitted) {
  EXPECT_EQ(AdmitGraphicsCard(nullptr, 3).verdict, AccelerationVerdict::kNoCard);
  const struct {
    int32_t hwAccel, fusion;
    AccelerationVerdict verdict;
    bool useGpu;
  } choices[] = {
      {1, 1, AccelerationVerdict::kAdmitted, true},
      {0, 1, AccelerationVerdict::kAdmitted, false},
      {1, 0, AccelerationVerdict::kSlowerThanCpu, false},
      {1, 0, AccelerationVerdict::kSelfTestFailed, false},
      {1, 0, AccelerationVerdict::kNoCard, false},
  };
  for (const auto& c : choices) {
    AccelerationAdmission card;
    card.verdict = c.verdict;
    const AccelerationChoice chosen = AdmitAcceleration({c.hwAccel, c.fusion, 0}, card);
    EXPECT_EQ(chosen.useGpu, c.useGpu) << static_cast<int>(c.verdict);
    EXPECT_EQ(chosen.fusion, c.fusion != 0);
  }
}

}  // namespace
