#include "picture/allocation_failures.h"

#include <atomic>

namespace {

std::atomic<uint64_t> failures{0};

}  // namespace

void NoteAllocationFailure() { failures.fetch_add(1, std::memory_order_relaxed); }

uint64_t AllocationFailureCount() { return failures.load(std::memory_order_relaxed); }
