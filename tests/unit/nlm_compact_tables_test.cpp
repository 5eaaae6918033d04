// The compact 16-bit view of the weight tables: the clamp to its span must give the full tables'
// weight for every level and every patch distance a 6 × 6 block can have.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "engine/weight_table_cache.h"

namespace {

constexpr int32_t kLargestDistance = 36 * 255;  // 9180

struct FullTables {
  FullTables(double dynamics, double strengthTerm)
      : storage(256, std::vector<int32_t>(kWeightTableEntries)) {
    for (int32_t level = 0; level < 256; ++level) {
      FillWeightTable(storage[level].data(), level, dynamics, strengthTerm);
      pointers[level] = storage[level].data();
    }
  }
  std::vector<std::vector<int32_t>> storage;
  WeightTables pointers{};
};

struct Key {
  double dynamics;
  double strength;
};

// Strength 0 (only distance 0 weighs), the range of the slider (1 … 50) and far beyond it (no
// weight ever rounds to 0); dynamics of both signs, their extremes and a value near zero.
const Key kKeys[] = {{0, 0},     {0, 1},  {0, 10}, {4, 10},      {-4, 10}, {1.5, 23},
                     {-0.7, 50}, {0, 50}, {4, 50}, {0.0004, 10}, {0, 5000}};

// The table stops evaluating exponentials after its first zero; every entry must still be the
// formula's.
TEST(WeightTableFill, EveryEntryFollowsTheFormulaPastTheFirstZero) {
  std::vector<int32_t> table(kWeightTableEntries);
  for (const Key& key : kKeys) {
    const double w = std::pow(key.strength, 3.5);
    for (int32_t level : {0, 1, 128, 254, 255}) {
      FillWeightTable(table.data(), level, key.dynamics, w);
      double e = w;
      if (key.dynamics > 0) e = w * (1.0 + level * key.dynamics / 256.0);
      if (key.dynamics < 0) e = w * (1.0 + (255 - level) * -key.dynamics / 256.0);
      ASSERT_EQ(table[0], 10000);
      for (int32_t k = 1; k < kWeightTableEntries; ++k) {
        const double cube = static_cast<double>(k) * k * k;
        ASSERT_EQ(table[k],
                  static_cast<int32_t>(std::floor(10000.0 * std::exp(-cube / (300.0 * e)) + 0.5)))
            << "dynamics " << key.dynamics << ", strength " << key.strength << ", level " << level
            << ", distance " << k;
      }
    }
  }
}

TEST(CompactWeightTables, ClampedLookUpGivesTheFullTablesWeightEverywhere) {
  for (const Key& key : kKeys) {
    const FullTables full(key.dynamics, std::pow(key.strength, 3.5));
    CompactWeightTables compact;
    BuildCompactWeightTables(compact, full.pointers);
    ASSERT_GE(compact.span, 1);
    ASSERT_LE(compact.span, kWeightTableEntries);
    ASSERT_GE(compact.stride, compact.span);
    // 32-bit gathers at the last entry of the last level stay inside the storage.
    ASSERT_GE(compact.weights.size(), 255 * static_cast<size_t>(compact.stride) + compact.span + 1);
    for (int32_t level = 0; level < 256; ++level) {
      for (int32_t k = 0; k <= kLargestDistance; ++k) {
        ASSERT_EQ(compact.Weight(level, k), full.storage[level][k])
            << "dynamics " << key.dynamics << ", strength " << key.strength << ", level " << level
            << ", distance " << k;
      }
      if (compact.span < kWeightTableEntries) {
        EXPECT_EQ(compact.Level(level)[compact.span - 1], 0) << "the clamped distance weighs";
      }
    }
  }
}

TEST(CompactWeightTables, SpanFollowsStrengthAndDynamics) {
  auto span = [](double dynamics, double strength) {
    const FullTables full(dynamics, std::pow(strength, 3.5));
    CompactWeightTables compact;
    BuildCompactWeightTables(compact, full.pointers);
    return compact.span;
  };
  // Only distance 0 weighs at strength 0: the span keeps it and one zero.
  EXPECT_EQ(span(0, 0), 2);
  // Strength 10: weights vanish beyond about 210, about 360 where the dynamics quadruple e.
  EXPECT_GT(span(0, 10), 200);
  EXPECT_LT(span(0, 10), 220);
  EXPECT_GT(span(4, 10), 340);
  EXPECT_LT(span(4, 10), 370);
  EXPECT_EQ(span(4, 10), span(-4, 10));
  EXPECT_GT(span(0, 50), span(0, 10));
  // A strength far beyond the slider keeps whole tables.
  EXPECT_EQ(span(0, 5000), kWeightTableEntries);
}

TEST(CompactWeightTables, OneTableServesAllLevelsExactlyWhenTheyAgree) {
  struct Case {
    double dynamics;
    bool uniform;
  };
  for (const Case& c : {Case{0, true}, Case{1, false}, Case{-2, false}}) {
    const FullTables full(c.dynamics, std::pow(10.0, 3.5));
    CompactWeightTables compact;
    BuildCompactWeightTables(compact, full.pointers);
    EXPECT_EQ(compact.uniform, c.uniform) << c.dynamics;
    ASSERT_EQ(compact.pairs.size(), static_cast<size_t>(compact.span));
    for (int32_t k = 0; k < compact.span; ++k) {
      EXPECT_EQ(compact.pairs[k], static_cast<uint32_t>(full.storage[0][k]) * 0x10001u);
    }
  }
}

TEST(CompactWeightTables, CacheHandsOutTheViewOfTheSameSlot) {
  WeightTableCache& cache = WeightTableCache::Process();
  const double w = std::pow(13.0, 3.5);
  const CompactWeightTables* compact = cache.ObtainCompact(0.25, w);
  ASSERT_NE(compact, nullptr);
  const WeightTables* tables = cache.Lookup(0.25, w, kPatchSide);
  ASSERT_NE(tables, nullptr);
  for (int32_t level : {0, 77, 255}) {
    for (int32_t k : {0, 1, 50, 200, 9180}) {
      EXPECT_EQ(compact->Weight(level, k), (*tables)[level][k]) << level << ", " << k;
    }
  }
  EXPECT_EQ(cache.ObtainCompact(0.25 + 1e-4, w), compact);  // within the cache's tolerance
}

}  // namespace
