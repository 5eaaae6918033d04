// The one worker thread of a full-size run or of a batch run. The user-interface thread starts it,
// learns of its end through a message, and joins it.
#pragma once

#include <atomic>
#include <functional>
#include <thread>

class WorkerThread {
 public:
  WorkerThread() = default;
  WorkerThread(const WorkerThread&) = delete;
  WorkerThread& operator=(const WorkerThread&) = delete;
  ~WorkerThread() { Join(); }

  // Starts `job` on a new thread; false when a job is still active.
  bool Start(std::function<void()> job) {
    if (Active()) return false;
    finished_ = false;
    thread_ = std::thread([this, job = std::move(job)] {
      job();
      finished_ = true;
    });
    return true;
  }
  // Started and not joined yet.
  bool Active() const { return thread_.joinable(); }
  // The job has returned (it has sent its last message); Join then returns at once.
  bool Finished() const { return finished_; }
  void Join() {
    if (thread_.joinable()) thread_.join();
  }

 private:
  std::thread thread_;
  std::atomic<bool> finished_{false};
};
