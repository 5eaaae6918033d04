#include "session/gpu_hand_over.h"

#include "gpu/gl_context.h"

GpuHandOver::GpuHandOver(CGPGPU* gpu) : gpu_(gpu != nullptr && gpu->usable ? gpu : nullptr) {}

void GpuHandOver::Lend() {
  const std::lock_guard<std::mutex> lock(mutex_);
  if (gpu_ == nullptr || holder_ != Holder::kOwner || ReleaseGpuContext(*gpu_)) return;
  holder_ = Holder::kNobody;
}

CGPGPU* GpuHandOver::TakeBack() {
  std::unique_lock<std::mutex> lock(mutex_);
  returned_.wait(lock, [this] { return holder_ != Holder::kWorker; });
  if (gpu_ != nullptr && holder_ == Holder::kNobody && !AcquireGpuContext(*gpu_)) {
    holder_ = Holder::kOwner;
  }
  return holder_ == Holder::kOwner ? gpu_ : nullptr;
}

GpuHandOver::Borrowed::Borrowed(GpuHandOver& handOver, bool useGpu) : handOver_(handOver) {
  if (!useGpu || handOver.gpu_ == nullptr) return;
  std::unique_lock<std::mutex> lock(handOver.mutex_);
  handOver.returned_.wait(lock, [&] { return handOver.holder_ != Holder::kWorker; });
  if (handOver.holder_ == Holder::kNobody && !AcquireGpuContext(*handOver.gpu_)) {
    handOver.holder_ = Holder::kWorker;
    card_ = handOver.gpu_;
  }
}

GpuHandOver::Borrowed::~Borrowed() {
  if (card_ == nullptr) return;
  const std::lock_guard<std::mutex> lock(handOver_.mutex_);
  ReleaseGpuContext(*card_);
  handOver_.holder_ = Holder::kNobody;
  handOver_.returned_.notify_all();
}
