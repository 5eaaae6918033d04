// The thread on which the live preview computes, one task at a time and the newest first: a task
// handed over while another waits replaces it (the older never runs), and may stop the one in
// progress when its result would be of no use. The owner's thread only hands tasks over; it waits
// only in WaitUntilIdle, which a job calls on its own thread before it runs the engine (the engine
// runs one picture at a time: its weight table cache is process-wide).
#pragma once

#include <condition_variable>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>

#include "engine/run_control.h"

class PreviewWorker {
 public:
  // One computation; it reads `stop` as its run's stop flag.
  using Task = std::function<void(const StopFlag& stop)>;

  PreviewWorker();
  // Stops the task in progress, drops the waiting one and ends the thread.
  ~PreviewWorker();
  PreviewWorker(const PreviewWorker&) = delete;
  PreviewWorker& operator=(const PreviewWorker&) = delete;

  // Hands `task` over in place of the waiting one; `stopRunning` asks the task in progress to stop.
  void Submit(Task task, bool stopRunning);
  // Drops the waiting task and asks the one in progress to stop.
  void Abandon();
  // Returns once no task runs or waits.
  void WaitUntilIdle();

 private:
  void Loop();

  std::mutex mutex_;
  std::condition_variable changed_;
  std::optional<Task> waiting_;
  bool running_ = false;
  bool ending_ = false;
  StopFlag runningStop_;  // of the task in progress
  std::thread thread_;    // started last, joined first
};
