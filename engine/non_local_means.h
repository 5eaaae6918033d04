// The CPU non-local-means filter on one component.
//
// Every output pixel is the weighted mean of the pixels of a square search window around it. The
// weight of a neighbour falls with the distance between the 6 × 6 patches around the two pixels,
// measured on an 8-bit guide, through the weight table of the centre pixel's intensity.
//
// The filter works offset by offset rather than pixel by pixel: for one offset d it forms the
// absolute differences between the guide and the guide shifted by d, sums them over 2 × 2 cells and
// then over 3 × 3 cells, which gives the 6 × 6 patch distance of every pixel to its partner at
// p + d in three passes of simple adds. The same distance map also serves the mirrored offset −d
// (the distance of p − d to p), so only half of the window plus its centre is visited.
//
// Four members compute the same result:
//   8-bit single / multi-thread   averages the guide itself, 32-bit unsigned sums;
//   16-bit single / multi-thread  averages a full-depth value raster, 64-bit unsigned sums.
// Every sum is an exact integer: an 8-bit sum is at most 441 weights of 10000 times 255 < 2^32, a
// 16-bit one at most 441 · 10000 · 65535 < 2^39. So neither the order in which offsets are added
// nor the split of the work among threads can change a result bit. The 16-bit quotient is formed
// in double from these integers; a straightforward filter summing in double gets the very same
// doubles, since every partial sum is a whole number below 2^53 and therefore exact.
//
// The work is cut into bands of rows (engine/non_local_means.cpp): each thread takes one band at
// a time through every offset of the half window (engine/nlm_offset_passes.h), so a band's sums
// stay in cache, and writes the band's result rows when it is done.
#pragma once

#include <cstdint>

#include "engine/footprint.h"
#include "engine/run_control.h"
#include "picture/pic_buf.h"

// The geometry of one filter call on a W × H raster (both even).
struct NlmGeometry {
  int32_t width = 0;
  int32_t height = 0;
  int32_t radius = 0;        // v = min(2⌊min(W, H)/2⌋ − 1, 71) div 2, at most 35
  int32_t border = 0;        // B = v + 3
  int32_t paddedWidth = 0;   // W + 2B
  int32_t paddedHeight = 0;  // H + 2B
  int32_t cellWidth = 0;     // padded width div 2
  int32_t cellHeight = 0;    // padded height div 2
  int32_t searchSide = 0;    // Q = 7, 13 or 21 for quality 1, 2 or anything else
  int32_t searchRadius = 0;  // Q div 2
  int32_t offsetCount = 0;   // ⌊Q²/2⌋ + 1: half of the window and its centre
};

NlmGeometry ComputeNlmGeometry(int32_t width, int32_t height, int32_t quality);

// Side of the search window for a quality value.
int32_t SearchWindowSide(int32_t quality);

// What a result pixel depends on (engine/footprint.h): the guide and values within the search
// radius plus half the 6 × 6 patch; 2 × 2 cells counted from the raster's origin; a padding radius
// that follows the raster's smaller side up to 72 pixels. The graphics card's filter has the same
// cells, patches and padding.
Footprint NlmFootprint(int32_t quality);

// Offset number t of the visited half window: t div Q − R rows, t mod Q − R columns. The last one,
// t = ⌊Q²/2⌋, is the centre (0, 0).
struct NlmOffset {
  int32_t dy;
  int32_t dx;
};
NlmOffset OffsetAt(int32_t t, int32_t searchSide);

// Rasters with a side of 16 or less are copied unchanged. Each member returns true when the weight
// tables (or its working memory) cannot be had, before writing the output, and false otherwise. A
// cancelled run leaves the output unwritten. `out` is (re)created with the input's geometry.
bool NonLocalMeans8(SBxPicBuf& out, const SBxPicBuf& in, const SBxPicBuf& guide, double strength,
                    int32_t quality, double dynamics, const RunControl& run, double noiseLevel);
bool NonLocalMeans8Multi(SBxPicBuf& out, const SBxPicBuf& in, const SBxPicBuf& guide,
                         double strength, int32_t quality, double dynamics, int32_t threadCount,
                         const RunControl& run, double noiseLevel);
bool NonLocalMeans16(SBxPicBuf& out, const SBxPicBuf& in, const SBxPicBuf& guide,
                     const SBxPicBuf& values, int32_t strength, int32_t quality, double dynamics,
                     const RunControl& run, double noiseLevel);
bool NonLocalMeans16Multi(SBxPicBuf& out, const SBxPicBuf& in, const SBxPicBuf& guide,
                          const SBxPicBuf& values, int32_t strength, int32_t quality,
                          double dynamics, int32_t threadCount, const RunControl& run,
                          double noiseLevel);
