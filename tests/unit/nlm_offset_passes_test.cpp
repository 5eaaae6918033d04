// The band passes of the filter against the whole-raster passes they replace: the difference
// raster, the cell raster and the box raster of each offset built in full, and the per-offset
// filter that accumulated every offset over the whole raster with the full 9216-entry tables.
// Both are kept here, straightforward, as the oracle of the fast path.
#include "engine/nlm_offset_passes.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <vector>

#include "engine/mirror_pad.h"
#include "engine/nlm_kernels.h"
#include "engine/non_local_means.h"
#include "engine/weight_table_cache.h"
#include "support/kernel_forms.h"
#include "support/test_pictures.h"

namespace {

using testpics::Picture;

// Chooses a kernel form for the filter for the life of a scope.
class KernelChoice {
 public:
  explicit KernelChoice(const NlmRowKernels* kernels) { UseNlmKernels(kernels); }
  ~KernelChoice() { UseNlmKernels(nullptr); }
  KernelChoice(const KernelChoice&) = delete;
  KernelChoice& operator=(const KernelChoice&) = delete;
};

// The padded guide (or value raster) of a picture, row-major.
template <typename Sample>
std::vector<Sample> Padded(const Picture& picture, const NlmGeometry& g) {
  Picture padded(g.paddedWidth, g.paddedHeight, 1, picture.buf().bitsPerComponent);
  CBxPicBufAPI::CopyRect(padded, picture, {g.border, g.border}, {0, 0}, {g.width, g.height});
  MirrorPad(padded, g.border);
  std::vector<Sample> out(static_cast<size_t>(g.paddedWidth) * g.paddedHeight);
  for (int32_t y = 0; y < g.paddedHeight; ++y) {
    for (int32_t x = 0; x < g.paddedWidth; ++x) {
      out[static_cast<size_t>(y) * g.paddedWidth + x] = static_cast<Sample>(padded.At(x, y));
    }
  }
  return out;
}

// The whole-raster box sums of offset d: the difference raster (the guide value where p + d
// leaves the raster), its 2 × 2 cell sums, then 3 × 3 cell sums for the interior cells, the
// outermost ring keeping its cell sums.
std::vector<uint16_t> WholeRasterBoxes(const std::vector<uint8_t>& guide, const NlmGeometry& g,
                                       NlmOffset d) {
  const int32_t wp = g.paddedWidth, hp = g.paddedHeight, wc = g.cellWidth, hc = g.cellHeight;
  std::vector<uint8_t> diff(guide);
  for (int32_t y = 0; y < hp; ++y) {
    for (int32_t x = 0; x < wp; ++x) {
      const int32_t py = y + d.dy, px = x + d.dx;
      if (py < 0 || py >= hp || px < 0 || px >= wp) continue;
      diff[y * wp + x] = static_cast<uint8_t>(std::abs(guide[py * wp + px] - guide[y * wp + x]));
    }
  }
  std::vector<uint16_t> cells(static_cast<size_t>(wc) * hc);
  for (int32_t i = 0; i < hc; ++i) {
    for (int32_t j = 0; j < wc; ++j) {
      const uint8_t* r0 = &diff[2 * i * wp + 2 * j];
      cells[i * wc + j] = static_cast<uint16_t>(r0[0] + r0[1] + r0[wp] + r0[wp + 1]);
    }
  }
  std::vector<uint16_t> across(cells.size());
  for (int32_t i = 0; i < hc; ++i) {
    for (int32_t j = 1; j < wc - 1; ++j) {
      across[i * wc + j] =
          static_cast<uint16_t>(cells[i * wc + j - 1] + cells[i * wc + j] + cells[i * wc + j + 1]);
    }
  }
  std::vector<uint16_t> boxes(cells);
  for (int32_t i = 1; i < hc - 1; ++i) {
    for (int32_t j = 1; j < wc - 1; ++j) {
      boxes[i * wc + j] = static_cast<uint16_t>(across[(i - 1) * wc + j] + across[i * wc + j] +
                                                across[(i + 1) * wc + j]);
    }
  }
  return boxes;
}

// The per-offset filter over the whole raster: for every offset of the half window, the box
// raster above and, for every pixel x, u1 = T[K(x)], u2 = T[K(x − d)] from the full tables of the
// guide value at x, summed in double as the plain definition has it.
Picture PerOffsetFilter(const Picture& guide, const Picture& values, double strengthTerm,
                        int32_t quality, double dynamics) {
  const SBxPicBuf& v = values.buf();
  const NlmGeometry g = ComputeNlmGeometry(v.width, v.height, quality);
  const std::vector<uint8_t> paddedGuide = Padded<uint8_t>(guide, g);
  const std::vector<uint16_t> paddedValues = Padded<uint16_t>(values, g);
  std::vector<std::vector<int32_t>> tables(256, std::vector<int32_t>(kWeightTableEntries));
  for (int32_t level = 0; level < 256; ++level) {
    FillWeightTable(tables[level].data(), level, dynamics, strengthTerm);
  }
  const int32_t wp = g.paddedWidth, b = g.border;
  std::vector<double> weightSum(static_cast<size_t>(g.width) * g.height);
  std::vector<double> valueSum(weightSum.size());
  for (int32_t t = 0; t < g.offsetCount; ++t) {
    const NlmOffset d = OffsetAt(t, g.searchSide);
    const std::vector<uint16_t> boxes = WholeRasterBoxes(paddedGuide, g, d);
    auto distance = [&](int32_t y, int32_t x) { return boxes[(y >> 1) * g.cellWidth + (x >> 1)]; };
    for (int32_t y = 0; y < g.height; ++y) {
      for (int32_t x = 0; x < g.width; ++x) {
        const int32_t qy = y + b, qx = x + b;
        const std::vector<int32_t>& table = tables[paddedGuide[qy * wp + qx]];
        const double u1 = table[distance(qy, qx)];
        double& weights = weightSum[y * g.width + x];
        double& sums = valueSum[y * g.width + x];
        if (d.dx == 0 && d.dy == 0) {
          weights += u1;
          sums += u1 * paddedValues[qy * wp + qx];
          continue;
        }
        const double u2 = table[distance(qy - d.dy, qx - d.dx)];
        weights += u1 + u2;
        sums += u1 * paddedValues[(qy + d.dy) * wp + qx + d.dx] +
                u2 * paddedValues[(qy - d.dy) * wp + qx - d.dx];
      }
    }
  }
  Picture out(v.width, v.height, 1, v.bitsPerComponent);
  const double maximum = v.bitsPerComponent == 8 ? 255 : 65535;
  for (int32_t y = 0; y < g.height; ++y) {
    for (int32_t x = 0; x < g.width; ++x) {
      const size_t i = static_cast<size_t>(y) * g.width + x;
      out.Set(x, y, 0, std::min(std::floor(valueSum[i] / weightSum[i] + 0.5), maximum));
    }
  }
  return out;
}

// Random samples in a band of 16 grey levels (in 8-bit units): patches far from each other, yet
// near enough for weights of every size.
Picture NarrowRandom(int32_t width, int32_t height, uint32_t bits, uint32_t seed) {
  Picture p = testpics::RandomPicture(width, height, 1, bits, seed);
  const double scale = bits == 8 ? 1.0 : 257.0;
  for (int32_t y = 0; y < height; ++y) {
    for (int32_t x = 0; x < width; ++x)
      p.Set(x, y, 0, 96 * scale + std::fmod(p.At(x, y), 16 * scale));
  }
  return p;
}

Picture EightBitGuide(const Picture& values) {
  Picture guide(values);
  EXPECT_FALSE(CBxPicBufAPI::ConvertBpcComp(guide, 8, 1));
  return guide;
}

// Geometries with the narrowest border (B = 11, odd), a middling one and the widest (B = 38),
// tall and wide, so that cells at every edge and box rows of every kind are compared.
struct Size {
  int32_t width, height;
};
const Size kSizes[] = {{18, 30}, {40, 22}, {62, 80}, {80, 76}, {300, 18}};

TEST(NlmBandPasses, BoxRowsMatchTheWholeRasterPassesForEveryOffset) {
  for (const Size& size : kSizes) {
    const Picture guide = testpics::RandomPicture(size.width, size.height, 1, 8, 31);
    const NlmGeometry g = ComputeNlmGeometry(size.width, size.height, 3);
    const std::vector<uint8_t> padded = Padded<uint8_t>(guide, g);
    std::vector<uint16_t> row(g.cellWidth);
    for (const NlmRowKernels* kernels : KernelForms()) {
      for (int32_t t = 0; t < g.offsetCount; ++t) {
        const NlmOffset d = OffsetAt(t, g.searchSide);
        const std::vector<uint16_t> expected = WholeRasterBoxes(padded, g, d);
        for (int32_t i = 0; i < g.cellHeight; ++i) {
          BoxRowForOffset(row.data(), padded.data(), g, d, i, *kernels);
          const std::vector<uint16_t> wanted(expected.begin() + i * g.cellWidth,
                                             expected.begin() + (i + 1) * g.cellWidth);
          ASSERT_EQ(row, wanted) << kernels->name << ", " << size.width << "x" << size.height
                                 << ", offset (" << d.dy << ", " << d.dx << "), cell row " << i;
        }
      }
    }
  }
}

struct FilterCase {
  int32_t width, height;
  uint32_t bits;
  bool random;
  int32_t strength, quality;
  double dynamics;
  int32_t threads;
};

// Sizes of several bands (48 rows at 8 bits, 32 at 16), with narrow and wide borders; every
// quality; dynamics of both signs and zero (one table for all levels, or one per level); strengths
// whose tables reach few or many distances; one thread and several.
const FilterCase kFilterCases[] = {
    {130, 150, 8, false, 12, 3, 0, 1},    {130, 150, 8, true, 40, 3, 0.7, 2},
    {18, 100, 8, true, 30, 2, -1.5, 3},   {64, 98, 8, false, 10, 1, 2, 1},
    {100, 34, 8, false, 20, 3, -0.3, 16}, {70, 100, 16, false, 12, 3, 0, 1},
    {70, 100, 16, true, 45, 2, 1.2, 2},   {20, 66, 16, false, 8, 3, -2, 4},
    {96, 40, 16, false, 25, 1, 0, 3},
};

TEST(NlmBandPasses, FilterMatchesThePerOffsetWholeRasterFilter) {
  for (const FilterCase& c : kFilterCases) {
    const Picture values =
        c.random ? NarrowRandom(c.width, c.height, c.bits, 41)
                 : testpics::AddNoise(testpics::SmoothScene(c.width, c.height, 1, c.bits), 6.0, 43);
    const Picture guide = c.bits == 8 ? values : EightBitGuide(values);
    const Picture expected =
        PerOffsetFilter(guide, values, std::pow(c.strength, 3.5), c.quality, c.dynamics);
    ASSERT_FALSE(testpics::BitIdentical(expected, values)) << "a case that changes nothing";
    for (const NlmRowKernels* kernels : KernelForms()) {
      const KernelChoice choice(kernels);
      Picture out(c.width, c.height, 1, c.bits);
      if (c.bits == 8) {
        ASSERT_FALSE(c.threads == 1
                         ? NonLocalMeans8(out, values, values, c.strength, c.quality, c.dynamics,
                                          nullptr, -1.0)
                         : NonLocalMeans8Multi(out, values, values, c.strength, c.quality,
                                               c.dynamics, c.threads, nullptr, -1.0));
      } else {
        ASSERT_FALSE(c.threads == 1
                         ? NonLocalMeans16(out, values, guide, values, c.strength, c.quality,
                                           c.dynamics, nullptr, -1.0)
                         : NonLocalMeans16Multi(out, values, guide, values, c.strength, c.quality,
                                                c.dynamics, c.threads, nullptr, -1.0));
      }
      EXPECT_TRUE(testpics::BitIdentical(out, expected))
          << kernels->name << ", " << c.width << "x" << c.height << ", " << c.bits
          << " bits, strength " << c.strength << ", quality " << c.quality << ", dynamics "
          << c.dynamics << ", " << c.threads << " threads: max diff "
          << testpics::MaxAbsDifference(out, expected);
    }
  }
}

}  // namespace
