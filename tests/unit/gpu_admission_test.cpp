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

// The card is admitted only when it beats the CPU in the timed probe; "HW Accel" decides whether
// it is tried at all, "GPUCPUFusion" is kept either way.
TEST(GpuAdmission, TheCardIsUsedOnlyWhereItIsFasterThanTheCpu) {
  const struct {
    double gpuSeconds, cpuSeconds;
    AccelerationVerdict verdict;
  } probes[] = {
      {0.05, 0.25, AccelerationVerdict::kAdmitted},
      {0.25, 0.25, AccelerationVerdict::kSlowerThanCpu},
      {3.50, 0.25, AccelerationVerdict::kSlowerThanCpu},
  };
  for (const auto& p : probes) {
    EXPECT_EQ(JudgeProbe(p.gpuSeconds, p.cpuSeconds), p.verdict) << p.gpuSeconds;
  }
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
