#include "engine/detail_sharpening.h"

#include <algorithm>
#include <cmath>
#include <new>

#include "engine/split_rows.h"
#include "picture/allocation_failures.h"
#include "picture/pic_sample.h"
#include "platform/cpu_affinity.h"

namespace {

constexpr std::array<float, 5> kWeights = {0.05f, 0.25f, 0.4f, 0.25f, 0.05f};
constexpr uint32_t kWindow = 5;
constexpr double kIdentityTolerance = 0.00001;

using Plane = std::vector<float>;

uint32_t PyramidComponents(const DetailPyramid& pyramid) {
  return std::min(pyramid.components, kDetailComponents);
}

// Each reduction needs a 5-sample window in both directions, so a level keeps being reduced while
// its smaller side is at least 5. Every level below `levels` is therefore at least 5 × 5.
uint32_t CountLevels(uint32_t width, uint32_t height) {
  uint32_t side = std::min(width, height);
  uint32_t levels = 0;
  while (side >= kWindow && levels < kMaxDetailLevels) {
    ++levels;
    side /= 2;
  }
  return levels;
}

void RecordGeometry(DetailPyramid& pyramid, const SBxPicBuf& picture) {
  pyramid.components = picture.components;
  pyramid.bitsPerComponent = picture.bitsPerComponent;
  pyramid.width = picture.width;
  pyramid.height = picture.height;
  pyramid.levelWidth[0] = static_cast<uint32_t>(picture.width);
  pyramid.levelHeight[0] = static_cast<uint32_t>(picture.height);
  pyramid.levels = CountLevels(pyramid.levelWidth[0], pyramid.levelHeight[0]);
  for (uint32_t l = 1; l <= pyramid.levels; ++l) {
    pyramid.levelWidth[l] = pyramid.levelWidth[l - 1] / 2;
    pyramid.levelHeight[l] = pyramid.levelHeight[l - 1] / 2;
  }
  for (uint32_t r = 0; r < kWindow; ++r) {
    for (uint32_t c = 0; c < kWindow; ++c) pyramid.kernel[r][c] = kWeights[r] * kWeights[c];
  }
}

size_t LevelSize(const DetailPyramid& pyramid, uint32_t level) {
  return static_cast<size_t>(pyramid.levelWidth[level]) * pyramid.levelHeight[level];
}

// True when a plane cannot be allocated; the planes allocated before stay.
bool AllocatePlanes(DetailPyramid& pyramid) {
  try {
    for (uint32_t c = 0; c < PyramidComponents(pyramid); ++c) {
      for (uint32_t l = 0; l <= pyramid.levels; ++l) {
        for (DetailPlanes* planes : {&pyramid.base, &pyramid.scaled, &pyramid.detail}) {
          (*planes)[c][l].assign(LevelSize(pyramid, l), 0.0f);
        }
      }
    }
  } catch (const std::bad_alloc&) {
    NoteAllocationFailure();
    return true;
  }
  return false;
}

bool PlanesComplete(const DetailPyramid& pyramid) {
  for (uint32_t c = 0; c < PyramidComponents(pyramid); ++c) {
    for (uint32_t l = 0; l <= pyramid.levels; ++l) {
      for (const DetailPlanes* planes : {&pyramid.base, &pyramid.scaled, &pyramid.detail}) {
        if ((*planes)[c][l].size() != LevelSize(pyramid, l)) return false;
      }
    }
  }
  return true;
}

// First source index of the reduction window for target index i over n source samples: centred on
// 2i and shifted inward at both borders, never mirrored or padded.
uint32_t ReduceWindowStart(uint32_t i, uint32_t n) {
  const uint32_t start = i <= 1 ? 0 : 2 * i - 2;
  return start + kWindow > n ? n - kWindow : start;
}

// First target index of the expansion window for target index i over n target samples.
uint32_t ExpandWindowStart(uint32_t i, uint32_t n) {
  return i < 2 ? 0 : std::min(i - 2, n - kWindow);
}

// Runs rowPass(i) for the rows i of [0, height), shared among `threads`. Each row of a reduction
// or expansion is computed from the other level alone, so the result does not depend on the number
// of threads.
template <typename RowPass>
void ForEachRow(uint32_t height, int32_t threads, const RowPass& rowPass) {
  SplitRows(static_cast<int32_t>(height), threads, [&](RowRange rows) {
    for (int32_t i = rows.first; i < rows.end; ++i) rowPass(static_cast<uint32_t>(i));
  });
}

// The threads of one pyramid build or application: the CPUs the process may use, asked once.
int32_t PyramidThreads() { return static_cast<int32_t>(AffinityCpuBitLength()); }

// Level l + 1 = the 5 × 5 kernel over level l at every second sample. A target level smaller than
// 5 × 5 stays as it is (cleared).
void Reduce(const DetailPyramid& pyramid, uint32_t level, const Plane& fine, Plane& coarse,
            int32_t threads) {
  const uint32_t fineWidth = pyramid.levelWidth[level];
  const uint32_t fineHeight = pyramid.levelHeight[level];
  const uint32_t width = pyramid.levelWidth[level + 1];
  const uint32_t height = pyramid.levelHeight[level + 1];
  if (width < kWindow || height < kWindow) return;
  ForEachRow(height, threads, [&](uint32_t i) {
    const uint32_t r = ReduceWindowStart(i, fineHeight);
    for (uint32_t j = 0; j < width; ++j) {
      const uint32_t s = ReduceWindowStart(j, fineWidth);
      float sum = 0.0f;
      for (uint32_t u = 0; u < kWindow; ++u) {
        const float* row = fine.data() + static_cast<size_t>(r + u) * fineWidth + s;
        for (uint32_t v = 0; v < kWindow; ++v) sum += pyramid.kernel[u][v] * row[v];
      }
      coarse[static_cast<size_t>(i) * width + j] = sum;
    }
  });
}

// The even rows of one target row's expansion window: their coarse rows and kernel rows, top down.
struct ExpandRows {
  uint32_t count = 0;
  std::array<const float*, 3> coarse{};
  std::array<const float*, 3> kernel{};
};

ExpandRows EvenRowsOfWindow(const DetailPyramid& pyramid, uint32_t level, const Plane& coarse,
                            uint32_t i) {
  const uint32_t rs = ExpandWindowStart(i, pyramid.levelHeight[level]);
  const uint32_t rowEnd = std::min(rs + kWindow, 2 * pyramid.levelHeight[level + 1]);
  ExpandRows rows;
  for (uint32_t y = rs + (rs & 1); y < rowEnd; y += 2, ++rows.count) {
    rows.coarse[rows.count] =
        coarse.data() + static_cast<size_t>(y / 2) * pyramid.levelWidth[level + 1];
    rows.kernel[rows.count] = pyramid.kernel[y - rs].data();
  }
  return rows;
}

// Target column j of a row in general form: the window's columns are worked out for j, which
// the first two and the last columns need.
float ExpandAtBorder(const ExpandRows& rows, uint32_t j, uint32_t width, uint32_t coarseWidth) {
  const uint32_t cs = ExpandWindowStart(j, width);
  const uint32_t columnEnd = std::min(cs + kWindow, 2 * coarseWidth);
  float sum = 0.0f;
  for (uint32_t r = 0; r < rows.count; ++r) {
    for (uint32_t x = cs + (cs & 1); x < columnEnd; x += 2) {
      sum += rows.kernel[r][x - cs] * rows.coarse[r][x / 2];
    }
  }
  return 4.0f * sum;
}

// Target columns inside the border, where the window starts at j − 2 and every even column of it
// has a coarse sample: an even j takes kernel columns 0, 2, 4 over coarse columns j / 2 − 1 …
// j / 2 + 1 (kFirstTap 0), an odd j kernel columns 1, 3 over (j − 1) / 2 and (j + 1) / 2
// (kFirstTap 1). The additions keep the order of the general form, so the values are the same to
// the bit.
template <uint32_t kFirstTap>
float ExpandInterior(const ExpandRows& rows, uint32_t firstCoarse) {
  float sum = 0.0f;
  for (uint32_t r = 0; r < rows.count; ++r) {
    for (uint32_t t = kFirstTap; t < kWindow; t += 2) {
      sum += rows.kernel[r][t] * rows.coarse[r][firstCoarse + t / 2];
    }
  }
  return 4.0f * sum;
}

// Level l from level l + 1: the coarse samples sit on the even positions of the finer grid, so
// only even rows and columns of the 5 × 5 window contribute. In the interior their weights sum to
// one half in each direction, which the factor 4 restores to unit gain; at the far border of an
// odd-sized level the last even position has no coarse sample and the gain falls below one.
void Expand(const DetailPyramid& pyramid, uint32_t level, const Plane& coarse, Plane& fine,
            int32_t threads) {
  const uint32_t width = pyramid.levelWidth[level];
  const uint32_t height = pyramid.levelHeight[level];
  const uint32_t coarseWidth = pyramid.levelWidth[level + 1];
  if (width < kWindow || height < kWindow) return;
  // Columns 2 … 2w − 3 have the whole window inside the coarse level (w = coarseWidth ≥ 2).
  const uint32_t interiorEnd = 2 * coarseWidth - 2;
  ForEachRow(height, threads, [&](uint32_t i) {
    const ExpandRows rows = EvenRowsOfWindow(pyramid, level, coarse, i);
    float* out = fine.data() + static_cast<size_t>(i) * width;
    uint32_t j = 0;
    for (; j < 2; ++j) out[j] = ExpandAtBorder(rows, j, width, coarseWidth);
    for (; j + 1 < interiorEnd; j += 2) {
      out[j] = ExpandInterior<0>(rows, j / 2 - 1);
      out[j + 1] = ExpandInterior<1>(rows, j / 2);
    }
    for (; j < width; ++j) out[j] = ExpandAtBorder(rows, j, width, coarseWidth);
  });
}

template <typename Sample>
void ReadSamples(const SBxPicBuf& plane, Plane& values) {
  float* out = values.data();
  for (int32_t y = 0; y < plane.height; ++y) {
    const Sample* row = PicRow<Sample>(plane, y);
    out = std::copy(row, row + plane.width, out);
  }
}

// Limits each value to the depth's range and truncates toward zero; NaN becomes 0.
template <typename Sample>
void WriteSamples(const Plane& values, SBxPicBuf& plane) {
  constexpr float kMax = static_cast<float>(SampleTraits<Sample>::kFullScale);
  const float* in = values.data();
  for (int32_t y = 0; y < plane.height; ++y) {
    Sample* row = PicRow<Sample>(plane, y);
    for (int32_t x = 0; x < plane.width; ++x, ++in) {
      const float limited = *in > 0.0f ? std::min(*in, kMax) : 0.0f;
      row[x] = static_cast<Sample>(limited);
    }
  }
}

void DecomposeComponent(DetailPyramid& pyramid, uint32_t c, const SBxPicBuf& plane,
                        int32_t threads) {
  VisitSampleType(plane.bitsPerComponent,
                  [&](auto sample) { ReadSamples<decltype(sample)>(plane, pyramid.base[c][0]); });
  for (uint32_t l = 0; l < pyramid.levels; ++l) {
    Plane& base = pyramid.base[c][l];
    Plane& detail = pyramid.detail[c][l];
    Reduce(pyramid, l, base, pyramid.base[c][l + 1], threads);
    Expand(pyramid, l, pyramid.base[c][l + 1], detail, threads);
    for (size_t k = 0; k < detail.size(); ++k) detail[k] = base[k] - detail[k];
  }
}

// Rebuilds from the coarsest level, which is used unchanged, down to level 0 and writes it into the
// one-component `plane`.
void RebuildComponent(DetailPyramid& pyramid, uint32_t c, const std::array<float, 3>& gains,
                      SBxPicBuf& plane, int32_t threads) {
  for (uint32_t l = pyramid.levels; l-- > 0;) {
    Plane& base = pyramid.base[c][l];
    Plane& scaled = pyramid.scaled[c][l];
    const Plane& detail = pyramid.detail[c][l];
    Expand(pyramid, l, pyramid.base[c][l + 1], base, threads);
    for (size_t k = 0; k < detail.size(); ++k) scaled[k] = gains[l] * detail[k];
    for (size_t k = 0; k < base.size(); ++k) base[k] += scaled[k];
  }
  VisitSampleType(plane.bitsPerComponent,
                  [&](auto sample) { WriteSamples<decltype(sample)>(pyramid.base[c][0], plane); });
}

bool IsPyramidDepth(uint32_t bits) { return bits == 8 || bits == 16; }

bool IsBuildable(const SBxPicBuf& picture) {
  return picture.data != nullptr && picture.width > 0 && picture.height > 0 &&
         picture.components >= 1 && picture.components <= 4 &&
         IsPyramidDepth(picture.bitsPerComponent);
}

bool MatchesPyramid(const SBxPicBuf& picture, const DetailPyramid& pyramid) {
  return picture.data != nullptr && picture.bitsPerComponent == pyramid.bitsPerComponent &&
         picture.width == pyramid.width && picture.height == pyramid.height &&
         picture.components == pyramid.components && PlanesComplete(pyramid);
}

bool IsIdentity(double gainTiny, double gainMedium, double gainRough) {
  return std::fabs(gainTiny - 1.0) <= kIdentityTolerance &&
         std::fabs(gainMedium - 1.0) <= kIdentityTolerance &&
         std::fabs(gainRough - 1.0) <= kIdentityTolerance;
}

}  // namespace

bool BuildDetailPyramid(DetailPyramid& pyramid, const SBxPicBuf& picture) {
  ReleaseDetailPyramid(pyramid);
  if (!IsBuildable(picture)) return true;
  RecordGeometry(pyramid, picture);
  if (AllocatePlanes(pyramid)) return true;
  // Without levels there is no detail to separate; the cleared planes are the whole pyramid.
  if (pyramid.levels == 0) return false;
  const int32_t threads = PyramidThreads();
  ScopedPicBuf plane;
  if (CBxPicBufAPI::ReinitHeap(*plane, picture.width, picture.height, 1,
                               picture.bitsPerComponent)) {
    return true;
  }
  for (uint32_t c = 0; c < PyramidComponents(pyramid); ++c) {
    CBxPicBufAPI::ExtractComponent(*plane, c, picture);
    DecomposeComponent(pyramid, c, *plane, threads);
  }
  return false;
}

bool ApplyDetailGains(SBxPicBuf& picture, DetailPyramid& pyramid, double gainTiny,
                      double gainMedium, double gainRough) {
  if (!MatchesPyramid(picture, pyramid)) return true;
  if (IsIdentity(gainTiny, gainMedium, gainRough) || pyramid.levels == 0) return false;
  const std::array<float, 3> gains = {static_cast<float>(gainTiny), static_cast<float>(gainMedium),
                                      static_cast<float>(gainRough)};
  const int32_t threads = PyramidThreads();
  if (picture.components == 1) {
    RebuildComponent(pyramid, 0, gains, picture, threads);
    return false;
  }
  ScopedPicBuf plane;
  if (CBxPicBufAPI::ReinitHeap(*plane, picture.width, picture.height, 1,
                               picture.bitsPerComponent)) {
    return true;
  }
  for (uint32_t c = 0; c < PyramidComponents(pyramid); ++c) {
    RebuildComponent(pyramid, c, gains, *plane, threads);
    CBxPicBufAPI::InsertComponent(picture, c, *plane);
  }
  return false;
}

void ReleaseDetailPyramid(DetailPyramid& pyramid) { pyramid = DetailPyramid{}; }
