// Multi-scale detail sharpening: the picture is split per component into a Laplacian pyramid of up
// to three detail levels over a low-resolution base, each detail level is multiplied by its gain
// ("Tiny", "Medium" and "Rough Details") and the picture is rebuilt. It runs after denoising, on a
// copy of the result; a pyramid is built for one picture, applied once and released.
//
// The pyramid works on components 0 … 2 at 8 or 16 bits; a fourth component is not part of it and
// is carried through unchanged. All arithmetic is single-precision float. Like the rest of the
// engine, the functions return true on failure.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "engine/detail_sharpening_rows.h"
#include "picture/pic_buf.h"

inline constexpr uint32_t kDetailComponents = 3;

// Float planes of one kind, indexed [component][level], each levelWidth × levelHeight values row by
// row without padding. Planes of components the picture lacks stay empty.
using DetailPlanes =
    std::array<std::array<std::vector<float>, kMaxDetailLevels + 1>, kDetailComponents>;

struct DetailPyramid {
  uint32_t components = 0;  // of the picture the pyramid was built from
  uint32_t bitsPerComponent = 0;
  int32_t width = 0;
  int32_t height = 0;
  uint32_t levels = 0;  // number of reductions, 0 to 3
  // Level 0 is the picture's size; each further level halves the previous one, truncating.
  std::array<uint32_t, kMaxDetailLevels + 1> levelWidth{};
  std::array<uint32_t, kMaxDetailLevels + 1> levelHeight{};
  // K[r][c] = w[r] · w[c] with w = (0.05, 0.25, 0.4, 0.25, 0.05).
  std::array<std::array<float, 5>, 5> kernel{};
  DetailPlanes base;    // Gaussian levels: level 0 is the component, level l + 1 reduces level l
  DetailPlanes scaled;  // work planes for the gain-multiplied detail
  DetailPlanes detail;  // Laplacian levels: base[l] minus the expansion of base[l + 1]
};

// Builds the pyramid of `picture` (8 or 16 bits, 1 to 4 components) into `pyramid`, replacing what
// it held. True when a plane or the working picture cannot be allocated, or for another depth; the
// planes allocated so far stay with the pyramid for `ReleaseDetailPyramid`.
bool BuildDetailPyramid(DetailPyramid& pyramid, const SBxPicBuf& picture);

// Rebuilds `picture` from the pyramid with each detail level multiplied by its gain: gainTiny for
// level 0 (finest), gainMedium for level 1, gainRough for level 2. Results are limited to the
// depth's range and truncated toward zero. When every gain lies within 0.00001 of 1, or the pyramid
// has no levels (a side below 5 pixels), the picture is left as it is. True, with the picture
// untouched, when its depth, size or component count differ from the pyramid's or the working
// picture cannot be allocated. Overwrites the pyramid's base planes: a pyramid serves one
// application only.
bool ApplyDetailGains(SBxPicBuf& picture, DetailPyramid& pyramid, double gainTiny,
                      double gainMedium, double gainRough);

// Frees every plane of the pyramid.
void ReleaseDetailPyramid(DetailPyramid& pyramid);
