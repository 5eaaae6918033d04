#include "platform/cpu_affinity.h"

#include <gtest/gtest.h>
#include <sched.h>

#include <thread>

namespace {

TEST(CpuAffinity, CountIsTheBitLengthOfTheMaskNotItsPopulation) {
  EXPECT_EQ(MaskBitLength({0b1011}), 4u);
  EXPECT_EQ(MaskBitLength({0b1}), 1u);
  EXPECT_EQ(MaskBitLength({0}), 0u);
  EXPECT_EQ(MaskBitLength({}), 0u);
  EXPECT_EQ(MaskBitLength({0, 0b100}), 67u);
  EXPECT_EQ(MaskBitLength({~uint64_t{0}, 0}), 64u);
}

TEST(CpuAffinity, ParsesKernelCpuLists) {
  EXPECT_EQ(ParseCpuList("0-3\n"), (CpuMask{0b1111}));
  EXPECT_EQ(ParseCpuList("0,1,3"), (CpuMask{0b1011}));
  EXPECT_EQ(ParseCpuList("2-3,65"), (CpuMask{0b1100, 0b10}));
  EXPECT_EQ(ParseCpuList("x,1,4-2,7-"), (CpuMask{0b10}));  // malformed pieces are skipped
  EXPECT_TRUE(ParseCpuList("").empty());
}

TEST(CpuAffinity, ThisProcessCountsAtLeastOneCpu) {
  const uint32_t count = AffinityCpuBitLength();
  EXPECT_GE(count, 1u);
  EXPECT_GE(count, std::min(std::thread::hardware_concurrency(), 1u));
}

TEST(CpuAffinity, LimitingToOneCpuGivesOneFilterThread) {
  cpu_set_t saved;
  ASSERT_EQ(sched_getaffinity(0, sizeof(saved), &saved), 0);
  EXPECT_TRUE(LimitProcessToCpus(0));
  ASSERT_FALSE(LimitProcessToCpus(1));
  cpu_set_t now;
  ASSERT_EQ(sched_getaffinity(0, sizeof(now), &now), 0);
  EXPECT_EQ(CPU_COUNT(&now), 1);
  ASSERT_EQ(sched_setaffinity(0, sizeof(saved), &saved), 0);
}

}  // namespace
