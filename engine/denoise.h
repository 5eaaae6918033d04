// The denoising engine's public entry points.
//
// Conventions common to every engine function:
// - Functions that can fail return bool, true on failure. Most callers ignore it; the engine never
//   throws and never reports through a user interface.
// - Rasters are picture buffers (picture/pic_buf.h). The caller owns and releases its rasters; an
//   output must already exist with the input's width, height, component count and depth unless a
//   function says it re-creates it. Inputs are never changed.
// - `cancelRequested` stops a run: the engine reads it once per tile and once per filter offset.
//   After a cancel the output holds the tiles finished so far; a component that was being filtered
//   comes back equal to its input.
// - The progress sink may be null. A run initialises it to an estimate of its steps and advances it
//   by one step per filter offset of the calling thread (per tile in the CPU+GPU sharing mode).
// - `DenoisePicture` must not be entered by two threads at once: the weight table cache and
//   `cpuCount` are process-wide state without a lock.
#pragma once

#include <atomic>
#include <cstdint>

#include "picture/pic_buf.h"
#include "platform/progress_sink.h"

// Noise levels measured on a picture. They are handed down to the filters, which do not read them:
// they never influence the result.
struct NoiseLevels {
  double luma;
  double chroma;
  double reserved;
};

// Point-artefact pre-pass modes.
enum MedianMode : int32_t {
  kMedianNone = 0,    // "None (Recommended)"
  kMedianCommon = 1,  // "Common"
  kMedianStrong = 2,  // "Strong"
};

// Set by the user interface to stop a run; the engine only reads it.
extern std::atomic<uint8_t> cancelRequested;

// The engine's read of the flag (no ordering is needed: it only ends loops early).
inline bool IsCancelRequested() { return cancelRequested.load(std::memory_order_relaxed) != 0; }

// Number of CPU filter threads, recomputed at the start of every `DenoisePicture` call as the bit
// length of the process's CPU affinity mask AND the mask of online CPUs. Initially 1.
extern std::atomic<uint8_t> cpuCount;

// Denoises `in` into `out` (same geometry).
// strength: luma strength, also for one-component pictures (1 to 50).
// strengthChroma: strength for U and V (1 to 50).
// strengthChromaLarge: the coarse-scale chroma pass runs with its whole-number part when > 1.
// quality: search window, 1 → 7 × 7, 2 → 13 × 13, anything else → 21 × 21.
// dynamics: dark/light dependence, −2 to 2; positive smooths light areas more, negative dark ones.
// processInYUV: denoise a colour picture as Y, U, V.
// useGpu, fusion: run on the graphics card, optionally sharing tiles with the CPU; without a usable
//   graphics card the CPU gives the same result.
// medianMode: point-artefact pre-pass (`MedianMode`).
void DenoisePicture(SBxPicBuf& out, const SBxPicBuf& in, double strength, double strengthChroma,
                    double strengthChromaLarge, int32_t quality, double dynamics,
                    ProgressSink* progress, NoiseLevels noiseLevels, bool processInYUV, bool useGpu,
                    bool fusion, int32_t medianMode);

// Noise level of an 8-bit single-component raster, on the scale the camera profiles store. 0 for a
// raster with a side of 3 or less.
double EstimateNoise(const SBxPicBuf& raster);

// Luma and chroma noise levels of an 8-bit Y, U, V raster; stores them in the first two fields of
// `levels` and returns the luma level. Both are 0 for a raster with a side of 3 or less.
double EstimateNoiseYUV(const SBxPicBuf& raster, NoiseLevels& levels);
