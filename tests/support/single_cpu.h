// Runs test code with the process confined to CPU 0, so that the engine, which counts its threads
// from the affinity mask, runs single threaded; the mask is restored afterwards.
#pragma once

#include <gtest/gtest.h>
#include <sched.h>

// False, without running `work`, when CPU 0 is not available to the process.
template <typename Work>
bool OnCpuZeroOnly(const Work& work) {
  cpu_set_t saved;
  if (sched_getaffinity(0, sizeof(saved), &saved) != 0 || !CPU_ISSET(0, &saved)) return false;
  cpu_set_t first;
  CPU_ZERO(&first);
  CPU_SET(0, &first);
  if (sched_setaffinity(0, sizeof(first), &first) != 0) return false;
  work();
  EXPECT_EQ(sched_setaffinity(0, sizeof(saved), &saved), 0);
  return true;
}
