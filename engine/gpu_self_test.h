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

// Why the desktop application's runs use the graphics card or stay on the CPU.
enum class AccelerationVerdict {
  kAdmitted,        // the card passed the self-test and was faster than the CPU
  kNoCard,          // no usable OpenGL context
  kSelfTestFailed,  // the card's picture differs from the CPU's
  kSlowerThanCpu,   // the card was slower than the CPU in the timed probe (a software renderer)
};

struct AccelerationAdmission {
  AccelerationVerdict verdict = AccelerationVerdict::kNoCard;
  int32_t largestDifference = 0;  // of the self-test
  // The timed probe on each side, in seconds (0 when it did not run); the card's time is where it
  // was stopped when it fell behind.
  double cpuSeconds = 0;
  double gpuSeconds = 0;
  bool Admitted() const { return verdict == AccelerationVerdict::kAdmitted; }
};

// The probe's verdict from its times: the card must be faster than the CPU.
AccelerationVerdict JudgeProbe(double gpuSeconds, double cpuSeconds);

// The self-test, then the timed probe: a noisy 320 × 320 picture denoised at `quality` as the
// desktop application runs it, first on the CPU, then on the card. The card is stopped as soon as
// it has taken as long as the CPU, so a slow card costs little more than twice the CPU's time.
// Runs on the thread that holds the card's context.
AccelerationAdmission AdmitGraphicsCard(CGPGPU* gpu, int32_t quality);

// What a run of the desktop application uses: the card when "HW Accel" asks for it and the card
// is admitted (above), and the tiles shared with the CPU when "GPUCPUFusion" is set too.
struct AccelerationChoice {
  bool useGpu = false;
  bool fusion = false;
};
AccelerationChoice AdmitAcceleration(const StartupSettings& stored,
                                     const AccelerationAdmission& card);
