// A process-wide count of allocations that failed in the picture buffers and the engine's working
// memory. The engine keeps going when memory runs out (a tile it cannot allocate stays as it was),
// so its callers read the count before and after a run: a run during which it grew produced an
// incomplete picture that must not be saved. Runs on other threads at the same time can raise the
// count too; a caller then refuses a result that may have been fine, never the reverse.
#pragma once

#include <cstdint>

void NoteAllocationFailure();
uint64_t AllocationFailureCount();

// Remembers the count when made; `Failed()` says whether an allocation failed since.
class AllocationWatch {
 public:
  AllocationWatch() : start_(AllocationFailureCount()) {}
  bool Failed() const { return AllocationFailureCount() != start_; }

 private:
  uint64_t start_;
};
