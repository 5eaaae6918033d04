#include "session/preview_worker.h"

#include <utility>

PreviewWorker::PreviewWorker() : thread_([this] { Loop(); }) {}

PreviewWorker::~PreviewWorker() {
  {
    const std::lock_guard<std::mutex> lock(mutex_);
    ending_ = true;
    waiting_.reset();
    runningStop_.Request();
  }
  changed_.notify_all();
  thread_.join();
}

void PreviewWorker::Submit(Task task, bool stopRunning) {
  {
    const std::lock_guard<std::mutex> lock(mutex_);
    waiting_ = std::move(task);
    if (stopRunning) runningStop_.Request();
  }
  changed_.notify_all();
}

void PreviewWorker::Abandon() {
  {
    const std::lock_guard<std::mutex> lock(mutex_);
    waiting_.reset();
    runningStop_.Request();
  }
  changed_.notify_all();
}

void PreviewWorker::WaitUntilIdle() {
  std::unique_lock<std::mutex> lock(mutex_);
  changed_.wait(lock, [this] { return !running_ && !waiting_; });
}

void PreviewWorker::Loop() {
  std::unique_lock<std::mutex> lock(mutex_);
  for (;;) {
    changed_.wait(lock, [this] { return ending_ || waiting_; });
    if (ending_) return;
    Task task = std::move(*waiting_);
    waiting_.reset();
    running_ = true;
    runningStop_.Clear();
    lock.unlock();
    task(runningStop_);
    lock.lock();
    running_ = false;
    changed_.notify_all();
  }
}
