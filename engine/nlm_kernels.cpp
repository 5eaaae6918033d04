#include "engine/nlm_kernels.h"

#include <atomic>

// Built in engine/nlm_kernels_avx2.cpp and engine/nlm_kernels_avx512.cpp; to be called only on a
// processor with AVX2, or AVX-512.
const NlmRowKernels& NlmKernelsAvx2Unchecked();
const NlmRowKernels& NlmKernelsAvx512Unchecked();

namespace {

std::atomic<const NlmRowKernels*> chosenKernels{nullptr};

}  // namespace

const NlmRowKernels* NlmKernelsAvx2() {
  static const bool available = __builtin_cpu_supports("avx2");
  return available ? &NlmKernelsAvx2Unchecked() : nullptr;
}

// The processor's support as the run-time library reports it, which includes the system's saving
// of the 512-bit registers.
const NlmRowKernels* NlmKernelsAvx512() {
  static const bool available =
      __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw") &&
      __builtin_cpu_supports("avx512vl") && __builtin_cpu_supports("avx512vnni");
  return available ? &NlmKernelsAvx512Unchecked() : nullptr;
}

const NlmRowKernels& ActiveNlmKernels() {
  if (const NlmRowKernels* chosen = chosenKernels.load(std::memory_order_relaxed)) return *chosen;
  static const NlmRowKernels& automatic = NlmKernelsAvx512() != nullptr ? *NlmKernelsAvx512()
                                          : NlmKernelsAvx2() != nullptr ? *NlmKernelsAvx2()
                                                                        : NlmKernelsSse2();
  return automatic;
}

void UseNlmKernels(const NlmRowKernels* kernels) {
  chosenKernels.store(kernels, std::memory_order_relaxed);
}
