// The graphics card's context passed between the session's threads. It is current on one thread at
// a time (gpu/gl_context.h): the owner's thread holds it from the start; a worker — the live
// preview's thread, or a job's — borrows it for one engine run. The owner lends it when a worker is
// to run on the card, and takes it back only when it needs the card itself, so that the preview's
// runs one after the other hand it over without the owner's thread taking part.
#pragma once

#include <condition_variable>
#include <mutex>

#include "gpu/gpgpu.h"

class GpuHandOver {
 public:
  // `gpu` may be null or unusable: nothing is handed over then. Its context is current on the
  // calling thread, the owner's.
  explicit GpuHandOver(CGPGPU* gpu);
  GpuHandOver(const GpuHandOver&) = delete;
  GpuHandOver& operator=(const GpuHandOver&) = delete;

  // Owner: workers may borrow the context from now on (it is released here unless it is already).
  void Lend();
  // Owner: the context is current here again, once no worker holds it; the card, or null.
  CGPGPU* TakeBack();

  // A worker's hold of the context for one scope: it waits while another worker holds it, and gets
  // no card when the context is not lent (the run then stays on the CPU) or `useGpu` is false.
  class Borrowed {
   public:
    Borrowed(GpuHandOver& handOver, bool useGpu);
    ~Borrowed();
    Borrowed(const Borrowed&) = delete;
    Borrowed& operator=(const Borrowed&) = delete;
    CGPGPU* Card() const { return card_; }

   private:
    GpuHandOver& handOver_;
    CGPGPU* card_ = nullptr;
  };

 private:
  enum class Holder { kOwner, kNobody, kWorker };

  CGPGPU* const gpu_;  // null unless usable
  std::mutex mutex_;
  std::condition_variable returned_;
  Holder holder_ = Holder::kOwner;
};
