// The detail pyramid applied band by band: the same result as building the whole pyramid of a
// picture and applying the gains to it (engine/detail_sharpening.h), to the bit, with the float
// rows of a band of some hundred rows alive instead of a dozen planes of the picture's size, and
// with the bands shared among the CPUs.
//
// A band of output rows needs, at each level of the pyramid, the rebuilt rows its expansion reads
// and the Gaussian rows those and the detail rows are formed from, which reach some 30 rows beyond
// the band at level 0 (window 5 at each of three levels). Each band computes these rows itself: a
// row of a level is formed from rows of the neighbouring level alone, in a fixed order, so it has
// the same value in every band that computes it, and the bands are independent of one another.
#pragma once

#include <array>
#include <cstdint>

#include "engine/detail_sharpening_rows.h"
#include "picture/pic_buf.h"

// The rows one band works with at each level: Gaussian (`base`) and rebuilt rows.
struct SharpenBandPlan {
  std::array<RowSpan, kMaxDetailLevels + 1> base{};
  std::array<RowSpan, kMaxDetailLevels + 1> rebuilt{};
};

// The rows a band of level-0 rows `rows` works with in a pyramid of `shape`.
SharpenBandPlan PlanSharpenBand(const PyramidShape& shape, RowSpan rows);

// Level-0 rows of one band: enough to keep the rows a band recomputes below a fifth of its work.
constexpr uint32_t kSharpenBandRows = 256;

// Writes components 0, 1 and 2 of `source` (three components, 8 or 16 bits, with levels: both sides
// at least 5), rebuilt with each detail level multiplied by its gain (tiny, medium, rough), into
// the same components of `target`, which has the geometry of `source`. Bands of `bandRows` rows are
// shared among `threads` threads. True, with `target` incomplete, when a thread's rows cannot be
// allocated.
bool SharpenInBands(SBxPicBuf& target, const SBxPicBuf& source, const std::array<float, 3>& gains,
                    int32_t threads, uint32_t bandRows = kSharpenBandRows);
