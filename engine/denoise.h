// The denoising engine's public entry points.
//
// Conventions common to every engine function:
// - Functions that can fail return bool, true on failure. Most callers ignore it; the engine never
//   throws and never reports through a user interface.
// - Rasters are picture buffers (picture/pic_buf.h). The caller owns and releases its rasters; an
//   output must already exist with the input's width, height, component count and depth unless a
//   function says it re-creates it. Inputs are never changed.
// - A run's control travels with it (engine/run_control.h): its stop flag, read once per tile and
//   once per filter offset, and its progress sink. After a stop the output holds the tiles finished
//   so far; a component that was being filtered comes back equal to its input.
// - The progress sink may be null. A run initialises it to an estimate of its steps and advances it
//   by one step per filter offset of the calling thread (per tile in the CPU+GPU sharing mode).
// - The one process-wide state of the engine is the weight table cache
//   (engine/weight_table_cache.h), which has no lock: `DenoisePicture` must not be entered by two
//   threads at once.
#pragma once

#include <atomic>
#include <cstdint>

#include "engine/denoise_request.h"
#include "engine/footprint.h"
#include "engine/run_control.h"
#include "picture/pic_buf.h"

// Denoises `in` into `out` (same geometry) with the values of `request`; `run` carries the progress
// sink and the stop flag of this run (both may be null). With `needed`, the part of the picture the
// caller uses, `out` is the result inside it and may hold other samples outside: work that only
// the rest needs may be left out.
void DenoisePicture(SBxPicBuf& out, const SBxPicBuf& in, const DenoiseRequest& request,
                    const RunControl& run = {}, const TileRect* needed = nullptr);

// The same with the values one by one, in the order the engine has always documented them:
// strength, strengthChroma, strengthChromaLarge, quality, dynamics, processInYUV, useGpu, fusion and
// medianMode as the fields of DenoiseRequest; `gpu` is the card that useGpu refers to. A run of
// this form cannot be stopped.
void DenoisePicture(SBxPicBuf& out, const SBxPicBuf& in, double strength, double strengthChroma,
                    double strengthChromaLarge, int32_t quality, double dynamics,
                    ProgressSink* progress, NoiseLevels noiseLevels, bool processInYUV, bool useGpu,
                    bool fusion, int32_t medianMode, CGPGPU* gpu = nullptr);

// The number of CPU filter threads a run uses: the bit length of the process's CPU affinity mask
// AND the mask of online CPUs (at most 255; the filters use up to 16).
uint32_t EngineThreadCount();

// Noise level of an 8-bit single-component raster, on the scale the camera profiles store. 0 for a
// raster with a side of 3 or less.
double EstimateNoise(const SBxPicBuf& raster);

// The same level as EstimateNoise, of component 0 of an 8-bit raster, read only where the mask
// straddles a line of a grid of `grid` pixels (a column or row x with x mod grid = grid − 1 or 0,
// counted from the raster's own origin). JPEG quantises blocks of 8 × 8 pixels apart, so the noise
// that compression flattens inside a block still shows as steps across the block lines; elsewhere
// the level is that of EstimateNoise. 0 when no position of the interior lies on a line.
double EstimateNoiseAcrossGrid(const SBxPicBuf& raster, int32_t grid);

// Luma and chroma noise levels of an 8-bit Y, U, V raster; stores them in the first two fields of
// `levels` and returns the luma level. Both are 0 for a raster with a side of 3 or less.
double EstimateNoiseYUV(const SBxPicBuf& raster, NoiseLevels& levels);
