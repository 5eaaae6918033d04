// The forms of the filter's row kernels this processor runs, for tests that compare them: SSE2
// always, AVX2 and AVX-512 where available, the widest last (the one the filter chooses).
#pragma once

#include <vector>

#include "engine/nlm_kernels.h"

inline std::vector<const NlmRowKernels*> KernelForms() {
  std::vector<const NlmRowKernels*> forms{&NlmKernelsSse2()};
  for (const NlmRowKernels* wider : {NlmKernelsAvx2(), NlmKernelsAvx512()}) {
    if (wider != nullptr) forms.push_back(wider);
  }
  return forms;
}
