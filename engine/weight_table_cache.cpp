#include "engine/weight_table_cache.h"

#include <algorithm>
#include <cmath>
#include <new>

#include "picture/allocation_failures.h"

namespace {

double LevelStrength(int32_t level, double dynamics, double strengthTerm) {
  if (dynamics > 0) return strengthTerm * (1.0 + level * dynamics / 256.0);
  if (dynamics < 0) return strengthTerm * (1.0 + (255 - level) * -dynamics / 256.0);
  return strengthTerm;
}

}  // namespace

void FillWeightTable(int32_t* table, int32_t level, double dynamics, double strengthTerm) {
  const double e = LevelStrength(level, dynamics, strengthTerm);
  // Distance 0 is exactly the centre weight; it is never computed, so a zero strength term (whose
  // 0 / 0 would be undefined there) gives the centre weight and zeros.
  table[0] = kCentreWeight;
  int32_t k = 1;
  for (; k < kWeightTableEntries; ++k) {
    const double cube = static_cast<double>(k) * k * k;
    table[k] = static_cast<int32_t>(std::floor(10000.0 * std::exp(-cube / (300.0 * e)) + 0.5));
    if (table[k] == 0) break;
  }
  // Once a weight rounds to 0 every later one does: the exponent −k³ / (300 e) falls by at least
  // 3 / k of itself (more than 3e-4) from one distance to the next, far more than the rounding of
  // the division and of exp could undo, so 10000 · exp stays below 0.5. For strength 10 this ends
  // the exponentials after some 210 of the 9216 entries.
  std::fill(table + std::min(k + 1, kWeightTableEntries), table + kWeightTableEntries, 0);
}

void BuildCompactWeightTables(CompactWeightTables& compact, const WeightTables& tables) {
  // The last distance with a non-zero weight at any level; the span keeps one zero after it.
  int32_t lastNonZero = 0;
  for (const int32_t* table : tables) {
    for (int32_t k = kWeightTableEntries - 1; k > lastNonZero; --k) {
      if (table[k] != 0) {
        lastNonZero = k;
        break;
      }
    }
  }
  compact.span = std::min(lastNonZero + 2, kWeightTableEntries);
  compact.stride = (compact.span + 7) / 8 * 8;
  compact.weights.assign(static_cast<size_t>(256) * compact.stride + 8, 0);
  compact.uniform = true;
  for (int32_t level = 0; level < 256; ++level) {
    uint16_t* out = compact.weights.data() + static_cast<size_t>(level) * compact.stride;
    for (int32_t k = 0; k < compact.span; ++k) out[k] = static_cast<uint16_t>(tables[level][k]);
    compact.uniform = compact.uniform && std::equal(out, out + compact.span, compact.Level(0));
  }
  compact.pairs.resize(compact.span);
  for (int32_t k = 0; k < compact.span; ++k) compact.pairs[k] = compact.Level(0)[k] * 0x10001u;
}

WeightTableCache& WeightTableCache::Process() {
  static WeightTableCache cache;
  return cache;
}

bool WeightTableCache::Matches(const Slot& slot, double dynamics, double strengthTerm,
                               int32_t patchSide) const {
  return slot.valid != 0 && std::abs(slot.dynamics - dynamics) < 0.001 &&
         std::abs(slot.strengthTerm - strengthTerm) < 0.001 && slot.patchSide == patchSide;
}

int32_t WeightTableCache::SlotOf(double dynamics, double strengthTerm) const {
  for (size_t j = 0; j < slots_.size(); ++j) {
    if (Matches(slots_[j], dynamics, strengthTerm, kPatchSide)) return static_cast<int32_t>(j);
  }
  return -1;
}

const WeightTables* WeightTableCache::Lookup(double dynamics, double strengthTerm,
                                             int32_t patchSide) const {
  for (const Slot& slot : slots_) {
    if (Matches(slot, dynamics, strengthTerm, patchSide)) return &slot.tables;
  }
  return nullptr;
}

bool WeightTableCache::Build(double dynamics, double strengthTerm, int32_t patchSide) {
  try {
    if (slots_.empty()) slots_.resize(kWeightTableSlots);
    Slot& slot = slots_[nextSlot_];
    slot.valid = 0;
    slot.entryCount = kWeightTableEntries;
    slot.patchSide = patchSide;
    slot.strengthTerm = strengthTerm;
    slot.dynamics = dynamics;
    // Levels of equal strength e (all of them for dynamics 0) get equal tables: they share the
    // first one's storage, which saves its 9216 exponentials and 36 KB at each further level.
    for (int32_t level = 0; level < 256; ++level) {
      std::vector<int32_t>& table = slot.storage[level];
      const double e = LevelStrength(level, dynamics, strengthTerm);
      if (level > 0 && e == LevelStrength(level - 1, dynamics, strengthTerm)) {
        std::vector<int32_t>().swap(table);
        slot.tables[level] = slot.tables[level - 1];
        continue;
      }
      table.resize(kWeightTableEntries);
      FillWeightTable(table.data(), level, dynamics, strengthTerm);
      slot.tables[level] = table.data();
    }
    BuildCompactWeightTables(slot.compact, slot.tables);
    slot.valid = 1;
  } catch (const std::bad_alloc&) {
    NoteAllocationFailure();
    return true;
  }
  nextSlot_ = (nextSlot_ + 1) % kWeightTableSlots;
  return false;
}

const WeightTables* WeightTableCache::Obtain(double dynamics, double strengthTerm) {
  if (const WeightTables* tables = Lookup(dynamics, strengthTerm, kPatchSide)) return tables;
  if (Build(dynamics, strengthTerm, kPatchSide)) return nullptr;
  return Lookup(dynamics, strengthTerm, kPatchSide);
}

const CompactWeightTables* WeightTableCache::ObtainCompact(double dynamics, double strengthTerm) {
  const WeightTables* tables = Obtain(dynamics, strengthTerm);
  if (tables == nullptr) return nullptr;
  for (const Slot& slot : slots_) {
    if (&slot.tables == tables) return &slot.compact;
  }
  return nullptr;
}
