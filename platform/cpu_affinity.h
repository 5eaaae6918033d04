// How many CPUs this process may run on, as the engine counts them.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

// A set of CPUs as 64-bit words, lowest CPU first.
using CpuMask = std::vector<uint64_t>;

// Bit length (index of the highest set bit plus one) of a mask; 0 for an empty mask. A mask of
// 0b1011 has bit length 4.
uint32_t MaskBitLength(const CpuMask& mask);

// Parses a kernel CPU list such as "0-3,8,10-11" (the format of /sys/devices/system/cpu/online).
// Malformed pieces are ignored.
CpuMask ParseCpuList(std::string_view list);

// Bit length of the process affinity mask AND the mask of online CPUs; at least 1, and at most the
// cap below when one is set.
uint32_t AffinityCpuBitLength();

// Caps the count that AffinityCpuBitLength gives this process (0 lifts the cap). A batch worker
// process, one of several that share the machine's CPUs, takes its share this way: its filters run
// that many threads, and the scheduler still places them on any CPU of the process.
void CapCpuCount(uint32_t count);

// Restricts the process to the first `count` CPUs of its affinity mask, so that the engine's thread
// count (the mask's bit length) is at most `count` where the CPUs are numbered without gaps. True on
// failure.
bool LimitProcessToCpus(uint32_t count);
