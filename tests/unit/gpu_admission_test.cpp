#include <gtest/gtest.h>

#include "engine/gpu_self_test.h"
#include "gpu/gpgpu.h"

namespace {

TEST(GpuAdmission, WithoutAUsableContextAccelerationStaysOff) {
  ASSERT_EQ(CGPGPU::Instance(), nullptr);
  EXPECT_EQ(AdmitHardwareAcceleration(1), 0);
  EXPECT_FALSE(RunGpuSelfTest());
  // An object whose context never came up is not usable either.
  CGPGPU unusable;
  EXPECT_FALSE(unusable.usable);
  EXPECT_EQ(AdmitHardwareAcceleration(1), 0);
  EXPECT_EQ(RunGpuSelfTestDetailed().largestDifference, 0);
}

}  // namespace
