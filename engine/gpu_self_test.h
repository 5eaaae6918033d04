// The engine's check that the graphics card and the CPU give the same picture, which decides
// whether hardware acceleration may be used.
#pragma once

#include <cstdint>

struct GpuSelfTestResult {
  bool passed = false;         // every component of every pixel within 5 of the CPU's
  int32_t largestDifference = 0;
};

// Denoises a 50 × 50 picture filled from rand() (component 0 = rand() mod 4 + 58, 1 = rand() mod 6
// + 137, 2 = rand() mod 6 + 187, pixel by pixel) on the GPU and on the CPU (strengths 50/50,
// quality 1) and compares. Runs on the thread that holds the GPU context; without a usable graphics
// card it fails.
GpuSelfTestResult RunGpuSelfTestDetailed();

// True when the GPU and the CPU paths agree.
bool RunGpuSelfTest();

// The effective hardware-acceleration switch for a stored "HW Accel" value: 0 when the value is 0,
// when no usable GPU context exists, or when the self-test fails; the stored value is not changed.
int32_t AdmitHardwareAcceleration(int32_t requested);
