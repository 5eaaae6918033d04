#include "engine/weight_table_cache.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace {

int32_t Expected(int32_t k, double e) {
  return static_cast<int32_t>(std::floor(10000.0 * std::exp(-double(k) * k * k / (300.0 * e)) + 0.5));
}

TEST(WeightTable, FollowsTheFormulaForEachSignOfDynamics) {
  const double w = std::pow(10.0, 3.5);
  struct Case {
    double dynamics;
    int32_t level;
    double e;
  };
  const Case cases[] = {
      {0.0, 0, w},
      {0.0, 255, w},
      {1.0, 255, w * (1.0 + 255.0 / 256.0)},
      {1.0, 0, w},
      {2.0, 128, w * (1.0 + 128.0 * 2.0 / 256.0)},
      {-1.0, 0, w * (1.0 + 255.0 / 256.0)},
      {-4.0, 55, w * (1.0 + 200.0 * 4.0 / 256.0)},
      {-1.0, 255, w},
  };
  std::vector<int32_t> table(kWeightTableEntries);
  for (const Case& c : cases) {
    FillWeightTable(table.data(), c.level, c.dynamics, w);
    EXPECT_EQ(table[0], 10000);
    for (int32_t k : {1, 10, 50, 100, 150, 200, 300, 9215}) {
      EXPECT_EQ(table[k], Expected(k, c.e)) << "dynamics " << c.dynamics << " level " << c.level
                                            << " k " << k;
    }
    for (int32_t k = 1; k < kWeightTableEntries; ++k) ASSERT_LE(table[k], table[k - 1]);
  }
}

TEST(WeightTable, NearZeroStrengthKeepsOnlyTheCentreWeight) {
  std::vector<int32_t> table(kWeightTableEntries);
  FillWeightTable(table.data(), 100, 0.0, std::pow(0.01, 3.5));
  EXPECT_EQ(table[0], 10000);
  for (int32_t k = 1; k < kWeightTableEntries; ++k) ASSERT_EQ(table[k], 0) << k;
}

TEST(WeightTableCache, ZeroDynamicsGivesEqualTablesAtEveryLevel) {
  WeightTableCache cache;
  const WeightTables* tables = cache.Obtain(0.0, 1000.0);
  ASSERT_NE(tables, nullptr);
  for (int32_t level = 1; level < 256; ++level) {
    for (int32_t k = 0; k < kWeightTableEntries; k += 7) {
      ASSERT_EQ((*tables)[level][k], (*tables)[0][k]);
    }
  }
}

TEST(WeightTableCache, KeysWithinOneThousandthHitTheFirstSlot) {
  WeightTableCache cache;
  const WeightTables* first = cache.Obtain(0.5, 3162.0);
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(cache.SlotOf(0.5, 3162.0), 0);
  EXPECT_EQ(cache.Obtain(0.5009, 3162.0009), first);
  EXPECT_EQ(cache.NextSlot(), 1);  // no second build
  // A difference of 0.001 or more in either part of the key is a miss.
  EXPECT_EQ(cache.SlotOf(0.5011, 3162.0), -1);
  EXPECT_EQ(cache.SlotOf(0.5, 3162.0011), -1);
  EXPECT_EQ(cache.Lookup(0.5, 3162.0, 5), nullptr);  // other patch side
}

TEST(WeightTableCache, EighthKeyOverwritesSlotZeroRoundRobin) {
  WeightTableCache cache;
  for (int32_t key = 0; key < 7; ++key) {
    ASSERT_NE(cache.Obtain(0.0, 100.0 + key), nullptr);
    EXPECT_EQ(cache.SlotOf(0.0, 100.0 + key), key);
  }
  EXPECT_EQ(cache.NextSlot(), 0);
  ASSERT_NE(cache.Obtain(0.0, 200.0), nullptr);
  EXPECT_EQ(cache.SlotOf(0.0, 200.0), 0);
  EXPECT_EQ(cache.SlotOf(0.0, 100.0), -1);  // the first key is gone
  EXPECT_EQ(cache.SlotOf(0.0, 101.0), 1);   // the others stay
  EXPECT_EQ(cache.NextSlot(), 1);
  // The rebuilt slot holds the new key's values.
  const WeightTables* tables = cache.Lookup(0.0, 200.0, kPatchSide);
  EXPECT_EQ((*tables)[17][20], Expected(20, 200.0));
}

}  // namespace
