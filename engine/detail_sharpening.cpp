#include "engine/detail_sharpening.h"

#include <algorithm>
#include <cmath>
#include <new>

#include "engine/detail_sharpening_rows.h"
#include "engine/split_rows.h"
#include "picture/allocation_failures.h"
#include "picture/pic_sample.h"
#include "platform/cpu_affinity.h"

namespace {

constexpr double kIdentityTolerance = 0.00001;

using Plane = std::vector<float>;

uint32_t PyramidComponents(const DetailPyramid& pyramid) {
  return std::min(pyramid.components, kDetailComponents);
}

void RecordGeometry(DetailPyramid& pyramid, const SBxPicBuf& picture) {
  pyramid.components = picture.components;
  pyramid.bitsPerComponent = picture.bitsPerComponent;
  pyramid.width = picture.width;
  pyramid.height = picture.height;
  const PyramidShape shape =
      ShapeOfPyramid(static_cast<uint32_t>(picture.width), static_cast<uint32_t>(picture.height));
  pyramid.levels = shape.levels;
  for (uint32_t l = 0; l <= kMaxDetailLevels; ++l) {
    pyramid.levelWidth[l] = shape.size[l].width;
    pyramid.levelHeight[l] = shape.size[l].height;
  }
  pyramid.kernel = DetailKernel();
}

size_t PlaneSize(const DetailPyramid& pyramid, uint32_t level) {
  return static_cast<size_t>(pyramid.levelWidth[level]) * pyramid.levelHeight[level];
}

// True when a plane cannot be allocated; the planes allocated before stay.
bool AllocatePlanes(DetailPyramid& pyramid) {
  try {
    for (uint32_t c = 0; c < PyramidComponents(pyramid); ++c) {
      for (uint32_t l = 0; l <= pyramid.levels; ++l) {
        for (DetailPlanes* planes : {&pyramid.base, &pyramid.scaled, &pyramid.detail}) {
          (*planes)[c][l].assign(PlaneSize(pyramid, l), 0.0f);
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
        if ((*planes)[c][l].size() != PlaneSize(pyramid, l)) return false;
      }
    }
  }
  return true;
}

LevelSize SizeOf(const DetailPyramid& pyramid, uint32_t level) {
  return {pyramid.levelWidth[level], pyramid.levelHeight[level]};
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
  const LevelSize target = SizeOf(pyramid, level + 1);
  if (target.width < kPyramidWindow || target.height < kPyramidWindow) return;
  const LevelRows rows{fine.data(), 0, pyramid.levelWidth[level]};
  ForEachRow(target.height, threads, [&](uint32_t i) {
    ReduceRow(coarse.data() + static_cast<size_t>(i) * target.width, rows, SizeOf(pyramid, level),
              target.width, i);
  });
}

// Level l from level l + 1 (engine/detail_sharpening_rows.h).
void Expand(const DetailPyramid& pyramid, uint32_t level, const Plane& coarse, Plane& fine,
            int32_t threads) {
  const LevelSize target = SizeOf(pyramid, level);
  if (target.width < kPyramidWindow || target.height < kPyramidWindow) return;
  const LevelRows rows{coarse.data(), 0, pyramid.levelWidth[level + 1]};
  ForEachRow(target.height, threads, [&](uint32_t i) {
    ExpandRow(fine.data() + static_cast<size_t>(i) * target.width, rows, SizeOf(pyramid, level + 1),
              target, i);
  });
}

template <typename Sample>
void ReadSamples(const SBxPicBuf& plane, Plane& values) {
  const auto width = static_cast<uint32_t>(plane.width);
  for (int32_t y = 0; y < plane.height; ++y) {
    SamplesToFloats(values.data() + static_cast<size_t>(y) * width, PicRow<Sample>(plane, y), width,
                    1);
  }
}

template <typename Sample>
void WriteSamples(const Plane& values, SBxPicBuf& plane) {
  const auto width = static_cast<uint32_t>(plane.width);
  for (int32_t y = 0; y < plane.height; ++y) {
    FloatsToSamples(PicRow<Sample>(plane, y), 1, values.data() + static_cast<size_t>(y) * width,
                    width, static_cast<float>(SampleTraits<Sample>::kFullScale));
  }
}

void DecomposeComponent(DetailPyramid& pyramid, uint32_t c, const SBxPicBuf& plane,
                        int32_t threads) {
  VisitPyramidSample(plane.bitsPerComponent, [&](auto sample) {
    ReadSamples<decltype(sample)>(plane, pyramid.base[c][0]);
  });
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
  VisitPyramidSample(plane.bitsPerComponent, [&](auto sample) {
    WriteSamples<decltype(sample)>(pyramid.base[c][0], plane);
  });
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
