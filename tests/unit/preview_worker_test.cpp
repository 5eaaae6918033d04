// The preview's worker runs the newest task: a task handed over while another waits replaces it,
// the task in progress is stopped when asked, and Abandon leaves nothing to run.
#include "session/preview_worker.h"

#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace {

using namespace std::chrono_literals;

// What the tasks did, in order: their names, with "(stopped)" when they saw their stop flag.
class Journal {
 public:
  void Add(const std::string& entry) {
    const std::lock_guard<std::mutex> lock(mutex_);
    entries_.push_back(entry);
  }
  std::vector<std::string> Entries() {
    const std::lock_guard<std::mutex> lock(mutex_);
    return entries_;
  }

 private:
  std::mutex mutex_;
  std::vector<std::string> entries_;
};

PreviewWorker::Task Quick(Journal& journal, const std::string& name) {
  return [&journal, name](const StopFlag&) { journal.Add(name); };
}

// A worker whose first task has started and runs until it is released or asked to stop.
class PreviewWorkerTest : public ::testing::Test {
 protected:
  PreviewWorkerTest() {
    std::promise<void> started;
    std::shared_future<void> release = release_.get_future().share();
    worker_->Submit(
        [this, &started, release](const StopFlag& stop) {
          started.set_value();
          while (!stop.Requested() && release.wait_for(1ms) != std::future_status::ready) {
          }
          journal_.Add(stop.Requested() ? "first (stopped)" : "first");
        },
        false);
    started.get_future().wait();
  }
  ~PreviewWorkerTest() override {
    worker_.reset();
    if (!released_) release_.set_value();
  }
  void Release() {
    release_.set_value();
    released_ = true;
  }

  Journal journal_;
  std::promise<void> release_;
  bool released_ = false;
  std::unique_ptr<PreviewWorker> worker_ = std::make_unique<PreviewWorker>();
};

TEST_F(PreviewWorkerTest, TheNewestTaskReplacesTheOneWaitingAndFollowsTheOneInProgress) {
  worker_->Submit(Quick(journal_, "second"), false);
  worker_->Submit(Quick(journal_, "third"), false);
  Release();
  worker_->WaitUntilIdle();
  EXPECT_EQ(journal_.Entries(), (std::vector<std::string>{"first", "third"}));
}

TEST_F(PreviewWorkerTest, ATaskWhoseResultWouldBeOfNoUseIsStopped) {
  worker_->Submit(Quick(journal_, "second"), true);
  worker_->WaitUntilIdle();
  EXPECT_EQ(journal_.Entries(), (std::vector<std::string>{"first (stopped)", "second"}));
}

TEST_F(PreviewWorkerTest, AbandonStopsTheTaskInProgressAndDropsTheWaitingOne) {
  worker_->Submit(Quick(journal_, "second"), false);
  worker_->Abandon();
  worker_->WaitUntilIdle();
  EXPECT_EQ(journal_.Entries(), (std::vector<std::string>{"first (stopped)"}));

  // The worker goes on with what comes next.
  worker_->Submit(Quick(journal_, "third"), false);
  worker_->WaitUntilIdle();
  EXPECT_EQ(journal_.Entries().back(), "third");
}

TEST_F(PreviewWorkerTest, GoingAwayStopsTheTaskInProgress) {
  worker_.reset();
  EXPECT_EQ(journal_.Entries(), (std::vector<std::string>{"first (stopped)"}));
}

}  // namespace
