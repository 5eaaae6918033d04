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

}  // namespace
