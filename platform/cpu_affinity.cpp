#include "platform/cpu_affinity.h"

#include <sched.h>

#include <algorithm>
#include <atomic>
#include <charconv>
#include <fstream>
#include <string>

namespace {

constexpr uint32_t kMaxCpus = CPU_SETSIZE;

std::atomic<uint32_t> cpuCountCap{0};

void SetBit(CpuMask& mask, uint32_t cpu) {
  if (cpu >= kMaxCpus) return;
  if (mask.size() <= cpu / 64) mask.resize(cpu / 64 + 1, 0);
  mask[cpu / 64] |= uint64_t{1} << (cpu % 64);
}

bool ParseNumber(std::string_view text, uint32_t& value) {
  const char* end = text.data() + text.size();
  auto [ptr, ec] = std::from_chars(text.data(), end, value);
  return ec == std::errc() && ptr == end;
}

CpuMask ProcessMask() {
  CpuMask mask;
  cpu_set_t set;
  CPU_ZERO(&set);
  if (sched_getaffinity(0, sizeof(set), &set) != 0) return mask;
  for (uint32_t cpu = 0; cpu < kMaxCpus; ++cpu) {
    if (CPU_ISSET(cpu, &set)) SetBit(mask, cpu);
  }
  return mask;
}

// The "system mask": the CPUs that are online now. When the list cannot be read, every CPU counts
// as online, so the process mask alone decides.
CpuMask OnlineMask() {
  std::ifstream file("/sys/devices/system/cpu/online");
  std::string line;
  if (!file || !std::getline(file, line)) return CpuMask(kMaxCpus / 64, ~uint64_t{0});
  return ParseCpuList(line);
}

}  // namespace

uint32_t MaskBitLength(const CpuMask& mask) {
  for (size_t w = mask.size(); w-- > 0;) {
    if (mask[w] != 0) {
      return static_cast<uint32_t>(w * 64 + 64 - __builtin_clzll(mask[w]));
    }
  }
  return 0;
}

CpuMask ParseCpuList(std::string_view list) {
  CpuMask mask;
  while (!list.empty()) {
    const size_t comma = list.find(',');
    std::string_view piece = list.substr(0, comma);
    list = comma == std::string_view::npos ? std::string_view() : list.substr(comma + 1);
    while (!piece.empty() && (piece.back() == '\n' || piece.back() == ' ')) piece.remove_suffix(1);
    const size_t dash = piece.find('-');
    uint32_t first = 0;
    uint32_t last = 0;
    if (dash == std::string_view::npos) {
      if (!ParseNumber(piece, first)) continue;
      last = first;
    } else if (!ParseNumber(piece.substr(0, dash), first) ||
               !ParseNumber(piece.substr(dash + 1), last) || last < first) {
      continue;
    }
    for (uint32_t cpu = first; cpu <= std::min(last, kMaxCpus - 1); ++cpu) SetBit(mask, cpu);
  }
  return mask;
}

uint32_t AffinityCpuBitLength() {
  CpuMask mask = ProcessMask();
  const CpuMask online = OnlineMask();
  for (size_t w = 0; w < mask.size(); ++w) mask[w] &= w < online.size() ? online[w] : 0;
  const uint32_t length = std::max<uint32_t>(MaskBitLength(mask), 1);
  const uint32_t cap = cpuCountCap.load(std::memory_order_relaxed);
  return cap == 0 ? length : std::min(length, cap);
}

void CapCpuCount(uint32_t count) { cpuCountCap.store(count, std::memory_order_relaxed); }

bool LimitProcessToCpus(uint32_t count) {
  cpu_set_t set;
  CPU_ZERO(&set);
  if (count == 0 || sched_getaffinity(0, sizeof(set), &set) != 0) return true;
  cpu_set_t limited;
  CPU_ZERO(&limited);
  uint32_t kept = 0;
  for (uint32_t cpu = 0; cpu < kMaxCpus && kept < count; ++cpu) {
    if (CPU_ISSET(cpu, &set)) {
      CPU_SET(cpu, &limited);
      ++kept;
    }
  }
  return sched_setaffinity(0, sizeof(limited), &limited) != 0;
}
