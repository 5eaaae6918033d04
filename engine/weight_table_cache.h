// Weight tables for the non-local-means filter and the process-wide cache that keeps them.
//
// A weight table maps every possible distance between two 6 × 6 patches of 8-bit values (a sum of
// 36 absolute differences, at most 9180) to an integer weight. There is one table per intensity
// level of the centre pixel, so that the strength can rise towards the shadows or the highlights:
//   e_i = w · (1 + i · a / 256)        for a > 0,
//   e_i = w · (1 + (255 − i) · −a / 256) for a < 0,
//   e_i = w                            for a = 0,
//   T_i[k] = ⌊10000 · exp(−k³ / (300 · e_i)) + 0.5⌋, and T_i[0] = 10000 exactly,
// where w = strength^3.5 and a is twice the user's dynamics. Building 256 tables costs more than
// one filter pass over a small tile, so the cache keeps the last 7 keys and reuses them.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

constexpr int32_t kPatchSide = 6;
constexpr int32_t kWeightTableEntries = 36 * 256;  // 9216 > 9180, the largest patch distance
constexpr int32_t kCentreWeight = 10000;           // weight of distance 0
constexpr int32_t kWeightTableSlots = 7;

// The 256 tables of one key, indexed by the centre pixel's intensity.
using WeightTables = std::array<const int32_t*, 256>;

// Fills `table` (kWeightTableEntries entries) for intensity level `level`.
void FillWeightTable(int32_t* table, int32_t level, double dynamics, double strengthTerm);

class WeightTableCache {
 public:
  // The cache of the process; unlocked, used only by the thread that runs a CPU filter.
  static WeightTableCache& Process();

  // The tables of the first valid slot within 0.001 of (dynamics, strengthTerm), or null.
  const WeightTables* Lookup(double dynamics, double strengthTerm, int32_t patchSide) const;

  // Builds the tables of a key into the next slot (round robin). True on failure (memory
  // exhausted); the slot is then left invalid.
  bool Build(double dynamics, double strengthTerm, int32_t patchSide);

  // Lookup, and on a miss one build and a second lookup; null when no tables can be had.
  const WeightTables* Obtain(double dynamics, double strengthTerm);

  // The slot a lookup would hit, or −1; and the slot the next build overwrites.
  int32_t SlotOf(double dynamics, double strengthTerm) const;
  int32_t NextSlot() const { return nextSlot_; }

 private:
  struct Slot {
    double dynamics = 0;
    double strengthTerm = 0;
    int32_t patchSide = 0;
    int32_t entryCount = 0;
    int32_t valid = 0;
    std::array<std::vector<int32_t>, 256> storage;
    WeightTables tables{};
  };

  bool Matches(const Slot& slot, double dynamics, double strengthTerm, int32_t patchSide) const;

  std::vector<Slot> slots_;  // allocated on the first build
  int32_t nextSlot_ = 0;
};
