// The row kernels of the non-local-means filter against plain loops, bit for bit, for every form
// the processor runs (SSE2 always, AVX2 and AVX-512 where available), over lengths that exercise
// the vector bodies and the scalar ends and at the extremes of the value ranges.
#include "engine/nlm_kernels.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

#include "support/kernel_forms.h"

namespace {

// The straightforward loops the kernels replace.
namespace plain {

int32_t AbsDiff(int32_t a, int32_t b) { return a > b ? a - b : b - a; }

void CellSums(uint16_t* cells, const uint8_t* g0, const uint8_t* p0, const uint8_t* g1,
              const uint8_t* p1, int32_t count) {
  for (int32_t j = 0; j < count; ++j) {
    int32_t sum = 0;
    for (int32_t x = 2 * j; x < 2 * j + 2; ++x)
      sum += AbsDiff(p0[x], g0[x]) + AbsDiff(p1[x], g1[x]);
    cells[j] = static_cast<uint16_t>(sum);
  }
}

void HorizontalSums(uint16_t* out, const uint16_t* in, int32_t count) {
  for (int32_t j = 0; j < count; ++j) out[j] = static_cast<uint16_t>(in[j - 1] + in[j] + in[j + 1]);
}

void VerticalSums(uint16_t* out, const uint16_t* a, const uint16_t* b, const uint16_t* c,
                  int32_t count) {
  for (int32_t j = 0; j < count; ++j) out[j] = static_cast<uint16_t>(a[j] + b[j] + c[j]);
}

void ExpandWeights(uint16_t* out, const uint16_t* box, int32_t count, const uint16_t* weights,
                   int32_t span) {
  for (int32_t j = 0; j < count; ++j) {
    const uint16_t weight = weights[std::min<int32_t>(box[j], span - 1)];
    out[2 * j] = weight;
    out[2 * j + 1] = weight;
  }
}

void ExpandDistances(uint16_t* out, const uint16_t* box, int32_t count, int32_t span) {
  for (int32_t j = 0; j < count; ++j) {
    out[2 * j] = out[2 * j + 1] = static_cast<uint16_t>(std::min<int32_t>(box[j], span - 1));
  }
}

void LookUpWeights(uint16_t* w1, uint16_t* w2, const uint16_t* k1, const uint16_t* k2,
                   const uint8_t* levels, const uint16_t* tables, int32_t stride, int32_t count) {
  for (int32_t x = 0; x < count; ++x) {
    w1[x] = tables[levels[x] * stride + k1[x]];
    w2[x] = tables[levels[x] * stride + k2[x]];
  }
}

template <typename Sample, typename Sum>
void Accumulate(uint32_t* weightSum, Sum* valueSum, const NlmOffsetRow<Sample>* rows,
                int32_t rowCount, int32_t count) {
  for (int32_t r = 0; r < rowCount; ++r) {
    for (int32_t x = 0; x < count; ++x) {
      weightSum[x] += rows[r].w1[x] + rows[r].w2[x];
      valueSum[x] += Sum{rows[r].w1[x]} * rows[r].plus[x] + Sum{rows[r].w2[x]} * rows[r].minus[x];
    }
  }
}

}  // namespace plain

// Lengths around the vector widths (8 and 16 lanes, 16 and 32 bytes), and row lengths of tiles.
const int32_t kCounts[] = {0, 1, 7, 8, 9, 15, 16, 17, 31, 33, 100, 563, 1100};

template <typename T>
std::vector<T> Random(size_t size, uint32_t limit, std::mt19937& rng) {
  std::vector<T> v(size);
  for (T& e : v) e = static_cast<T>(rng() % (limit + 1));
  return v;
}

TEST(NlmKernels, CellSumsMatchThePlainLoop) {
  std::mt19937 rng(1);
  for (const NlmRowKernels* k : KernelForms()) {
    for (int32_t count : kCounts) {
      // One byte of misalignment, as odd offsets dx give.
      const size_t bytes = 2 * static_cast<size_t>(count) + 1;
      const auto g0 = Random<uint8_t>(bytes, 255, rng), p0 = Random<uint8_t>(bytes, 255, rng);
      const auto g1 = Random<uint8_t>(bytes, 255, rng), p1 = Random<uint8_t>(bytes, 255, rng);
      std::vector<uint16_t> expected(count + 1), actual(count + 1, 0xBEEF);
      expected[count] = 0xBEEF;
      plain::CellSums(expected.data(), g0.data() + 1, p0.data(), g1.data() + 1, p1.data(), count);
      k->cellSums(actual.data(), g0.data() + 1, p0.data(), g1.data() + 1, p1.data(), count);
      EXPECT_EQ(actual, expected) << k->name << ", " << count << " cells";
    }
  }
}

TEST(NlmKernels, ExtremeDifferencesReachTheLargestCellSum) {
  const std::vector<uint8_t> white(64, 255), black(64, 0);
  for (const NlmRowKernels* k : KernelForms()) {
    std::vector<uint16_t> cells(32);
    k->cellSums(cells.data(), white.data(), black.data(), black.data(), white.data(), 32);
    EXPECT_EQ(cells, std::vector<uint16_t>(32, 4 * 255)) << k->name;
  }
}

TEST(NlmKernels, BoxSumsMatchThePlainLoops) {
  std::mt19937 rng(2);
  for (const NlmRowKernels* k : KernelForms()) {
    for (int32_t count : kCounts) {
      // Cell sums up to 1020; three of them across and three rows of those down reach 9180.
      const auto cells = Random<uint16_t>(count + 2, 1020, rng);
      std::vector<uint16_t> expected(count), actual(count);
      plain::HorizontalSums(expected.data(), cells.data() + 1, count);
      k->horizontalSums(actual.data(), cells.data() + 1, count);
      EXPECT_EQ(actual, expected) << k->name << " across, " << count;

      const auto a = Random<uint16_t>(count, 3060, rng), b = Random<uint16_t>(count, 3060, rng);
      const auto c = Random<uint16_t>(count, 3060, rng);
      plain::VerticalSums(expected.data(), a.data(), b.data(), c.data(), count);
      k->verticalSums(actual.data(), a.data(), b.data(), c.data(), count);
      EXPECT_EQ(actual, expected) << k->name << " down, " << count;
    }
  }
}

// Spans of one to eight pieces of 64 weights (the AVX-512 form's tables in registers), at the edges
// of the pieces, and beyond them.
TEST(NlmKernels, ExpansionsClampToTheSpanAndDoubleEachCell) {
  std::mt19937 rng(3);
  for (const NlmRowKernels* k : KernelForms()) {
    for (int32_t span : {1, 2, 64, 65, 211, 361, 512, 513, 2400, 9216}) {
      // Readable up to the next multiple of 64, as the cache's tables are.
      std::vector<uint16_t> weights((span + 63) / 64 * 64, 0xDEAD);
      std::vector<uint32_t> pairs(span);
      for (int32_t i = 0; i < span; ++i) {
        weights[i] = static_cast<uint16_t>(i + 1 == span ? 0 : 10000 - i % 10000);
        pairs[i] = weights[i] * 0x10001u;
      }
      const NlmWeightTable table{weights.data(), pairs.data(), span};
      for (int32_t count : kCounts) {
        const auto box = Random<uint16_t>(count, 9180, rng);
        std::vector<uint16_t> expected(2 * count), actual(2 * count);
        plain::ExpandWeights(expected.data(), box.data(), count, weights.data(), span);
        k->expandWeights(actual.data(), box.data(), count, table);
        EXPECT_EQ(actual, expected) << k->name << " weights, span " << span << ", " << count;
        plain::ExpandDistances(expected.data(), box.data(), count, span);
        k->expandDistances(actual.data(), box.data(), count, span);
        EXPECT_EQ(actual, expected) << k->name << " distances, span " << span << ", " << count;
      }
    }
  }
}

TEST(NlmKernels, PerPixelLookUpsReadTheTableOfEachLevel) {
  std::mt19937 rng(4);
  for (const NlmRowKernels* k : KernelForms()) {
    for (int32_t stride : {8, 216, 2408}) {
      // Distances up to stride − 1; 8 entries of padding past the last level, as the cache keeps.
      const auto tables = Random<uint16_t>(256 * static_cast<size_t>(stride) + 8, 10000, rng);
      for (int32_t count : kCounts) {
        const auto k1 = Random<uint16_t>(count, stride - 1, rng);
        const auto k2 = Random<uint16_t>(count, stride - 1, rng);
        auto levels = Random<uint8_t>(count, 255, rng);
        if (count > 0) levels[count - 1] = 255;  // the last level's last entries
        std::vector<uint16_t> e1(count), e2(count), a1(count), a2(count);
        plain::LookUpWeights(e1.data(), e2.data(), k1.data(), k2.data(), levels.data(),
                             tables.data(), stride, count);
        k->lookUpWeights(a1.data(), a2.data(), k1.data(), k2.data(), levels.data(), tables.data(),
                         stride, count);
        EXPECT_EQ(a1, e1) << k->name << ", stride " << stride << ", " << count;
        EXPECT_EQ(a2, e2) << k->name << ", stride " << stride << ", " << count;
      }
    }
  }
}

// Random rows of one pass; `extreme` gives every weight 10000 and every value its maximum, the
// largest increments the lanes must hold.
template <typename Sample>
struct PassRows {
  PassRows(int32_t rowCount, int32_t count, bool extreme, std::mt19937& rng) {
    const uint32_t maxValue = sizeof(Sample) == 1 ? 255 : 65535;
    for (int32_t r = 0; r < rowCount; ++r) {
      w1.push_back(Random<uint16_t>(count, 10000, rng));
      w2.push_back(Random<uint16_t>(count, 10000, rng));
      plus.push_back(Random<Sample>(count, maxValue, rng));
      minus.push_back(Random<Sample>(count, maxValue, rng));
      if (extreme) {
        std::fill(w1.back().begin(), w1.back().end(), 10000);
        std::fill(w2.back().begin(), w2.back().end(), 10000);
        std::fill(plus.back().begin(), plus.back().end(), static_cast<Sample>(maxValue));
        std::fill(minus.back().begin(), minus.back().end(), static_cast<Sample>(maxValue));
      }
    }
    for (int32_t r = 0; r < rowCount; ++r) {
      rows.push_back({w1[r].data(), w2[r].data(), plus[r].data(), minus[r].data()});
    }
  }
  std::vector<std::vector<uint16_t>> w1, w2;
  std::vector<std::vector<Sample>> plus, minus;
  std::vector<NlmOffsetRow<Sample>> rows;
};

template <typename Sample, typename Sum, typename Kernel>
void ExpectAccumulationMatches(Kernel kernel, const char* name, int32_t maxRows) {
  std::mt19937 rng(5);
  for (bool extreme : {false, true}) {
    for (int32_t rowCount = 1; rowCount <= maxRows; ++rowCount) {
      for (int32_t count : kCounts) {
        const PassRows<Sample> pass(rowCount, count, extreme, rng);
        // Sums as they stand after many offsets: large, but with room for this pass.
        auto weights = Random<uint32_t>(count, 4000000, rng);
        auto sums = Random<Sum>(count, sizeof(Sample) == 1 ? 1000000000u : 4000000000u, rng);
        auto expectedWeights = weights;
        auto expectedSums = sums;
        plain::Accumulate<Sample, Sum>(expectedWeights.data(), expectedSums.data(),
                                       pass.rows.data(), rowCount, count);
        kernel(weights.data(), sums.data(), pass.rows.data(), rowCount, count);
        EXPECT_EQ(weights, expectedWeights) << name << ", " << rowCount << " rows, " << count;
        EXPECT_EQ(sums, expectedSums)
            << name << ", " << rowCount << " rows, " << count << (extreme ? ", extreme" : "");
      }
    }
  }
}

TEST(NlmKernels, AccumulationMatchesThePlainLoopAtBothDepths) {
  for (const NlmRowKernels* k : KernelForms()) {
    ExpectAccumulationMatches<uint8_t, uint32_t>(k->accumulate8, k->name, kMaxOffsetsPerPass8);
    ExpectAccumulationMatches<uint16_t, uint64_t>(k->accumulate16, k->name, kMaxOffsetsPerPass16);
  }
}

TEST(NlmKernels, ActiveFormFollowsTheProcessorUnlessChosen) {
  const NlmRowKernels* automatic = &ActiveNlmKernels();
  EXPECT_EQ(automatic, KernelForms().back());
  UseNlmKernels(&NlmKernelsSse2());
  EXPECT_EQ(&ActiveNlmKernels(), &NlmKernelsSse2());
  UseNlmKernels(nullptr);
  EXPECT_EQ(&ActiveNlmKernels(), automatic);
}

}  // namespace
