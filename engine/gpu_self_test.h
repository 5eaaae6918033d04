// The engine's check that the graphics card and the CPU give the same picture, which decides
// whether hardware acceleration may be used.
#pragma once

#include <cstdint>

#include "config/settings.h"

class CGPGPU;

struct GpuSelfTestResult {
  bool passed = false;         // every component of every pixel within 5 of the CPU's
  int32_t largestDifference = 0;
};

// Denoises a 50 × 50 picture filled from rand() (component 0 = rand() mod 4 + 58, 1 = rand() mod 6
// + 137, 2 = rand() mod 6 + 187, pixel by pixel) on the GPU and on the CPU (strengths 50/50,
// quality 1) and compares. Runs on the thread that holds the context of `gpu`; without a usable
// graphics card (null, or not usable) it fails.
GpuSelfTestResult RunGpuSelfTestDetailed(CGPGPU* gpu);

// True when the GPU and the CPU paths agree.
bool RunGpuSelfTest(CGPGPU* gpu);

// The effective hardware-acceleration switch for a stored "HW Accel" value: 0 when the value is 0,
// when `gpu` is not a usable card, or when the self-test fails; the stored value is not changed.
int32_t AdmitHardwareAcceleration(int32_t requested, CGPGPU* gpu);

// What a run of the desktop application uses: the card when "HW Accel" is admitted by it (above),
// and the tiles shared with the CPU when "GPUCPUFusion" is set too.
struct AccelerationChoice {
  bool useGpu = false;
  bool fusion = false;
};
AccelerationChoice AdmitAcceleration(const StartupSettings& stored, CGPGPU* gpu);
