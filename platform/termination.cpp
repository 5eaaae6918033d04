#include "platform/termination.h"

#include <atomic>

namespace {

std::atomic<int> recordedSignal{0};
static_assert(std::atomic<int>::is_always_lock_free);

}  // namespace

void RecordTerminationSignal(int signal) {
  int none = 0;
  recordedSignal.compare_exchange_strong(none, signal);
}

int TerminationSignal() { return recordedSignal.load(); }

void ClearTerminationSignal() { recordedSignal.store(0); }
