#include "engine/detail_sharpening_bands.h"

#include <algorithm>
#include <atomic>
#include <new>
#include <vector>

#include "engine/split_rows.h"
#include "picture/allocation_failures.h"
#include "picture/pic_sample.h"

namespace {

RowSpan Hull(RowSpan a, RowSpan b) { return {std::min(a.first, b.first), std::max(a.end, b.end)}; }

size_t RowCount(RowSpan rows) { return rows.end - rows.first; }

// Grows `rows` to hold `count` floats; memory only grows, so a thread's later bands reuse it.
float* Ensure(std::vector<float>& rows, size_t count) {
  if (rows.size() < count) rows.resize(count);
  return rows.data();
}

// The float rows of one thread, reused from band to band and component to component.
struct BandMemory {
  std::array<std::vector<float>, kMaxDetailLevels + 1> base;
  std::array<std::vector<float>, kMaxDetailLevels + 1> rebuilt;
  std::vector<float> expanded;         // one row: the expansion of the next Gaussian level
  std::vector<float> expandedRebuilt;  // one row: the expansion of the next rebuilt level
  std::vector<float> result;           // one rebuilt row of level 0
};

// What every band of one call shares.
struct SharpenJob {
  const PyramidShape& shape;
  const SBxPicBuf& source;
  SBxPicBuf& target;
  const std::array<float, 3>& gains;
};

// Gaussian rows of the band at every level: level 0 from the samples of component c, each further
// level reduced from the one before (left at zero where the level is too small to be reduced into).
template <typename Sample>
void BuildGaussianRows(BandMemory& memory, const SharpenJob& job, const SharpenBandPlan& plan,
                       uint32_t c) {
  const PyramidShape& shape = job.shape;
  const uint32_t width = shape.size[0].width;
  float* level0 = Ensure(memory.base[0], RowCount(plan.base[0]) * width);
  for (uint32_t y = plan.base[0].first; y < plan.base[0].end; ++y) {
    SamplesToFloats(level0 + (y - plan.base[0].first) * size_t{width},
                    PicRow<Sample>(job.source, static_cast<int32_t>(y)) + c, width,
                    job.source.components);
  }
  for (uint32_t l = 0; l < shape.levels; ++l) {
    const LevelSize coarse = shape.size[l + 1];
    const RowSpan rows = plan.base[l + 1];
    float* out = Ensure(memory.base[l + 1], RowCount(rows) * coarse.width);
    if (!shape.Reducible(l + 1)) {
      std::fill_n(out, RowCount(rows) * coarse.width, 0.0f);
      continue;
    }
    const LevelRows fine{memory.base[l].data(), plan.base[l].first, shape.size[l].width};
    for (uint32_t i = rows.first; i < rows.end; ++i) {
      ReduceRow(out + (i - rows.first) * size_t{coarse.width}, fine, shape.size[l], coarse.width,
                i);
    }
  }
}

// Rebuilds the band from the coarsest level, which is used unchanged, down to level 0: each rebuilt
// row is the expansion of the rebuilt level below plus the gain times the detail, that is the
// Gaussian row minus the expansion of the next Gaussian level. Level 0 goes into the samples of
// component c of the target.
template <typename Sample>
void RebuildRows(BandMemory& memory, const SharpenJob& job, const SharpenBandPlan& plan,
                 uint32_t c) {
  const PyramidShape& shape = job.shape;
  const uint32_t width = shape.size[0].width;
  float* expanded = Ensure(memory.expanded, width);
  float* expandedRebuilt = Ensure(memory.expandedRebuilt, width);
  const uint32_t top = shape.levels;
  LevelRows rebuilt{memory.base[top].data(), plan.base[top].first, shape.size[top].width};
  for (uint32_t l = top; l-- > 0;) {
    const LevelSize size = shape.size[l];
    const LevelRows base{memory.base[l + 1].data(), plan.base[l + 1].first,
                         shape.size[l + 1].width};
    const RowSpan rows = plan.rebuilt[l];
    float* out = l > 0 ? Ensure(memory.rebuilt[l], RowCount(rows) * size.width)
                       : Ensure(memory.result, width);
    const float gain = job.gains[l];
    for (uint32_t i = rows.first; i < rows.end; ++i) {
      ExpandRow(expanded, base, shape.size[l + 1], size, i);
      ExpandRow(expandedRebuilt, rebuilt, shape.size[l + 1], size, i);
      const float* gaussian = memory.base[l].data() + (i - plan.base[l].first) * size_t{size.width};
      float* row = l > 0 ? out + (i - rows.first) * size_t{size.width} : out;
      RebuildRow(row, gaussian, expanded, expandedRebuilt, gain, size.width);
      if (l == 0) {
        FloatsToSamples(PicRow<Sample>(job.target, static_cast<int32_t>(i)) + c,
                        job.target.components, row, width,
                        static_cast<float>(SampleTraits<Sample>::kFullScale));
      }
    }
    rebuilt = {out, rows.first, size.width};
  }
}

template <typename Sample>
void SharpenBand(BandMemory& memory, const SharpenJob& job, RowSpan rows) {
  const SharpenBandPlan plan = PlanSharpenBand(job.shape, rows);
  for (uint32_t c = 0; c < 3; ++c) {
    BuildGaussianRows<Sample>(memory, job, plan, c);
    RebuildRows<Sample>(memory, job, plan, c);
  }
}

}  // namespace

SharpenBandPlan PlanSharpenBand(const PyramidShape& shape, RowSpan rows) {
  SharpenBandPlan plan;
  plan.rebuilt[0] = rows;
  for (uint32_t l = 0; l < shape.levels; ++l) {
    plan.rebuilt[l + 1] =
        RowsExpandedFrom(plan.rebuilt[l], shape.size[l].height, shape.size[l + 1].height);
  }
  plan.base[shape.levels] = plan.rebuilt[shape.levels];
  for (uint32_t l = shape.levels; l-- > 0;) {
    plan.base[l] = plan.rebuilt[l];
    if (shape.Reducible(l + 1)) {
      plan.base[l] = Hull(plan.base[l], RowsReducedFrom(plan.base[l + 1], shape.size[l].height));
    }
  }
  return plan;
}

bool SharpenInBands(SBxPicBuf& target, const SBxPicBuf& source, const std::array<float, 3>& gains,
                    int32_t threads, uint32_t bandRows) {
  const PyramidShape shape =
      ShapeOfPyramid(static_cast<uint32_t>(source.width), static_cast<uint32_t>(source.height));
  const SharpenJob job{shape, source, target, gains};
  std::atomic<bool> failed{false};
  SplitRows(source.height, threads, [&](RowRange range) {
    try {
      BandMemory memory;
      for (auto y = static_cast<uint32_t>(range.first); y < static_cast<uint32_t>(range.end);
           y += bandRows) {
        const RowSpan band{y, std::min(y + bandRows, static_cast<uint32_t>(range.end))};
        VisitPyramidSample(source.bitsPerComponent,
                           [&](auto sample) { SharpenBand<decltype(sample)>(memory, job, band); });
      }
    } catch (const std::bad_alloc&) {
      NoteAllocationFailure();
      failed = true;
    }
  });
  return failed;
}
