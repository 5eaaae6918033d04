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
#include <cstddef>
#include <cstdint>
#include <vector>

constexpr int32_t kPatchSide = 6;
constexpr int32_t kWeightTableEntries = 36 * 256;  // 9216 > 9180, the largest patch distance
constexpr int32_t kCentreWeight = 10000;           // weight of distance 0
constexpr int32_t kWeightTableSlots = 7;

// The 256 tables of one key, indexed by the centre pixel's intensity.
using WeightTables = std::array<const int32_t*, 256>;

// The same 256 tables cut to the distances that matter, as 16-bit weights (every weight is at most
// 10000), laid out level after level. Beyond a few hundred distances every weight rounds to 0
// (about 210 for strength 10, 360 with the strongest dynamics), so the filter clamps a distance to
// `span − 1`, whose weight is 0 at every level, and the look-ups touch 256 × span × 2 bytes
// (108 KB for strength 10) instead of the 9.4 MB of the full tables. The clamp changes no weight:
// `span − 1` lies past the last non-zero weight of every level. When no weight ever rounds to 0
// (huge strengths) the span is the whole table and the clamp never bites.
struct CompactWeightTables {
  int32_t span = 0;      // distances 0 … span − 1 are kept; span − 1 is 0 at every level
  int32_t stride = 0;    // entries from one level to the next (span rounded up to 8)
  bool uniform = false;  // every level holds the same weights (dynamics 0): one table serves all
  // 256 × stride weights, and 8 more entries of padding so that 32-bit gathers at the last
  // entry stay inside the allocation.
  std::vector<uint16_t> weights;
  // Level 0's weights, each repeated in both halves of 32 bits (w · 0x10001): the value of the two
  // pixels of a cell in one look-up, for the uniform case.
  std::vector<uint32_t> pairs;

  const uint16_t* Level(int32_t level) const {
    return weights.data() + static_cast<size_t>(level) * stride;
  }
  int32_t Clamp(int32_t distance) const { return distance < span ? distance : span - 1; }
  int32_t Weight(int32_t level, int32_t distance) const { return Level(level)[Clamp(distance)]; }
};

// Builds the compact view of 256 full tables. Throws std::bad_alloc when memory runs out.
void BuildCompactWeightTables(CompactWeightTables& compact, const WeightTables& tables);

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

  // The compact view of the tables `Obtain` gives for the same key, built with them; null when
  // no tables can be had.
  const CompactWeightTables* ObtainCompact(double dynamics, double strengthTerm);

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
    CompactWeightTables compact;
  };

  bool Matches(const Slot& slot, double dynamics, double strengthTerm, int32_t patchSide) const;

  std::vector<Slot> slots_;  // allocated on the first build
  int32_t nextSlot_ = 0;
};
