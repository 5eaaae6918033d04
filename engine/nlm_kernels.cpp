#include "engine/nlm_kernels.h"

#include <atomic>

// Built in engine/nlm_kernels_avx2.cpp; to be called only on a processor with AVX2.
const NlmRowKernels& NlmKernelsAvx2Unchecked();

namespace {

std::atomic<const NlmRowKernels*> chosenKernels{nullptr};

}  // namespace

const NlmRowKernels* NlmKernelsAvx2() {
  static const bool available = __builtin_cpu_supports("avx2");
  return available ? &NlmKernelsAvx2Unchecked() : nullptr;
}

const NlmRowKernels& ActiveNlmKernels() {
  if (const NlmRowKernels* chosen = chosenKernels.load(std::memory_order_relaxed)) return *chosen;
  static const NlmRowKernels& automatic =
      NlmKernelsAvx2() != nullptr ? *NlmKernelsAvx2() : NlmKernelsSse2();
  return automatic;
}

void UseNlmKernels(const NlmRowKernels* kernels) {
  chosenKernels.store(kernels, std::memory_order_relaxed);
}
