// The owner's thread of a session in tests without a toolkit: calls queued by the workers run when
// the test says so.
#pragma once

#include <chrono>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

class OwnerQueue {
 public:
  std::function<void(std::function<void()>)> Poster() {
    return [this](std::function<void()> call) {
      const std::lock_guard<std::mutex> lock(mutex_);
      calls_.push_back(std::move(call));
    };
  }

  void RunPending() {
    std::deque<std::function<void()>> calls;
    {
      const std::lock_guard<std::mutex> lock(mutex_);
      calls.swap(calls_);
    }
    for (const auto& call : calls) call();
  }

  // Runs the queued calls until `done` holds or a minute has passed; returns `done()`.
  template <typename Done>
  bool RunUntil(const Done& done) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (!done() && std::chrono::steady_clock::now() < deadline) {
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
      RunPending();
    }
    return done();
  }

 private:
  std::mutex mutex_;
  std::deque<std::function<void()>> calls_;
};
