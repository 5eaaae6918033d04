#include "engine/detail_sharpening_rows.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <random>
#include <vector>

namespace {

std::vector<float> RandomFloats(size_t count, uint32_t seed) {
  std::mt19937 random(seed);
  std::uniform_real_distribution<float> value(-300.0f, 70000.0f);
  std::vector<float> values(count);
  for (float& v : values) v = value(random);
  return values;
}

// The reduction of one row written from its definition: the window of each target index starts at
// 2i − 2, shifted inward to fit, and its 25 products are added rows outer, columns inner.
std::vector<float> ReducedByDefinition(const std::vector<float>& fine, LevelSize size, uint32_t i) {
  auto start = [](uint32_t k, uint32_t n) {
    const uint32_t s = k <= 1 ? 0 : 2 * k - 2;
    return s + 5 > n ? n - 5 : s;
  };
  const PyramidKernel& kernel = DetailKernel();
  std::vector<float> row(size.width / 2);
  const uint32_t r = start(i, size.height);
  for (uint32_t j = 0; j < row.size(); ++j) {
    const uint32_t s = start(j, size.width);
    float sum = 0.0f;
    for (uint32_t u = 0; u < 5; ++u) {
      for (uint32_t v = 0; v < 5; ++v) sum += kernel[u][v] * fine[(r + u) * size.width + s + v];
    }
    row[j] = sum;
  }
  return row;
}

// The four-column form gives every column of every row as the definition does, for widths with
// and without a remainder of columns past the last group of four.
TEST(DetailPyramidRows, ReduceRowMatchesItsDefinition) {
  for (LevelSize size : {LevelSize{5, 5}, LevelSize{13, 6}, LevelSize{20, 11}, LevelSize{41, 9},
                         LevelSize{64, 12}, LevelSize{1001, 7}}) {
    const std::vector<float> fine = RandomFloats(size_t{size.width} * size.height, size.width);
    std::vector<float> row(size.width / 2);
    for (uint32_t i = 0; i < size.height / 2; ++i) {
      ReduceRow(row.data(), {fine.data(), 0, size.width}, size, size.width / 2, i);
      EXPECT_EQ(row, ReducedByDefinition(fine, size, i))
          << size.width << "x" << size.height << ", row " << i;
    }
  }
}

// The spans of rows a band reads are exactly the rows the reductions and expansions of its rows
// touch: the first and the last row of each window, for bands at the top, inside and at the bottom
// of even and odd levels.
TEST(DetailPyramidRows, RowSpansAreTheRowsTheWindowsRead) {
  for (uint32_t height : {10u, 11u, 37u, 400u}) {
    const uint32_t coarse = height / 2;
    for (RowSpan band : {RowSpan{0, 1}, RowSpan{0, 3}, RowSpan{1, 2}, RowSpan{2, 4},
                         RowSpan{coarse - 3, coarse}, RowSpan{coarse - 1, coarse}}) {
      uint32_t first = height;
      uint32_t end = 0;
      for (uint32_t i = band.first; i < band.end; ++i) {
        first = std::min(first, ReduceWindowStart(i, height));
        end = std::max(end, ReduceWindowStart(i, height) + 5);
      }
      const RowSpan reduced = RowsReducedFrom(band, height);
      EXPECT_EQ(reduced.first, first) << height << " rows, band " << band.first;
      EXPECT_EQ(reduced.end, end) << height << " rows, band " << band.first;
    }
    for (RowSpan band : {RowSpan{0, 1}, RowSpan{1, 2}, RowSpan{3, 9}, RowSpan{height - 2, height},
                         RowSpan{height - 1, height}}) {
      uint32_t first = coarse;
      uint32_t end = 0;
      for (uint32_t i = band.first; i < band.end; ++i) {
        const uint32_t rs = ExpandWindowStart(i, height);
        for (uint32_t y = rs; y < std::min(rs + 5, 2 * coarse); ++y) {
          if (y % 2 != 0) continue;
          first = std::min(first, y / 2);
          end = std::max(end, y / 2 + 1);
        }
      }
      const RowSpan expanded = RowsExpandedFrom(band, height, coarse);
      EXPECT_EQ(expanded.first, first) << height << " rows, band " << band.first;
      EXPECT_EQ(expanded.end, end) << height << " rows, band " << band.first;
    }
  }
}

// Values are limited to the depth and truncated toward zero, NaN and negative zero become 0, and
// every third sample of an interleaved row is written while the others keep theirs, in the
// four-at-a-time body and the end alike.
TEST(DetailPyramidRows, FloatsBecomeSamplesLimitedAndTruncated) {
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const std::vector<float> values = {nan,  -0.0f,    -5.0f,    0.5f,    254.9f, 255.0f, 255.5f,
                                     1e9f, 65534.9f, 65535.2f, 300.99f, 1.0f,   7.999f};
  struct Case {
    float maximum;
    std::vector<double> expected;
  };
  const Case cases[] = {
      {255.0f, {0, 0, 0, 0, 254, 255, 255, 255, 255, 255, 255, 1, 7}},
      {65535.0f, {0, 0, 0, 0, 254, 255, 255, 65535, 65534, 65535, 300, 1, 7}},
  };
  for (const Case& c : cases) {
    std::vector<uint8_t> bytes(3 * values.size(), 77);
    std::vector<uint16_t> words(3 * values.size(), 77);
    if (c.maximum == 255.0f) {
      FloatsToSamples(bytes.data() + 1, 3, values.data(), static_cast<uint32_t>(values.size()),
                      c.maximum);
    } else {
      FloatsToSamples(words.data() + 1, 3, values.data(), static_cast<uint32_t>(values.size()),
                      c.maximum);
    }
    for (size_t k = 0; k < values.size(); ++k) {
      const double written = c.maximum == 255.0f ? bytes[3 * k + 1] : words[3 * k + 1];
      EXPECT_EQ(written, c.expected[k]) << "value " << values[k] << ", maximum " << c.maximum;
      const double kept =
          c.maximum == 255.0f ? bytes[3 * k] + bytes[3 * k + 2] : words[3 * k] + words[3 * k + 2];
      EXPECT_EQ(kept, 154) << "neighbours of value " << k;
    }
  }
}

}  // namespace
