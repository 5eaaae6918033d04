// The preview's worker runs the newest task: a task handed over while another waits replaces it,
// the task in progress is stopped when asked, and Abandon leaves nothing to run.
#include "session/preview_worker.h"

#include <gtest/gtest.h>

#include <chrono>
#include <future>
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

// A task that says it has started and then runs until `release` is ready or it is asked to stop.
PreviewWorker::Task Blocking(Journal& journal, const std::string& name, std::promise<void>& started,
                             std::shared_future<void> release) {
  return [&journal, name, &started, release](const StopFlag& stop) {
    started.set_value();
    while (!stop.Requested() && release.wait_for(1ms) != std::future_status::ready) {
    }
    journal.Add(stop.Requested() ? name + " (stopped)" : name);
  };
}

PreviewWorker::Task Quick(Journal& journal, const std::string& name) {
  return [&journal, name](const StopFlag&) { journal.Add(name); };
}

TEST(PreviewWorker, TheNewestTaskReplacesTheOneWaitingAndFollowsTheOneInProgress) {
  Journal journal;
  std::promise<void> started;
  std::promise<void> release;
  PreviewWorker worker;
  worker.Submit(Blocking(journal, "first", started, release.get_future().share()), false);
  started.get_future().wait();
  worker.Submit(Quick(journal, "second"), false);
  worker.Submit(Quick(journal, "third"), false);
  release.set_value();
  worker.WaitUntilIdle();
  EXPECT_EQ(journal.Entries(), (std::vector<std::string>{"first", "third"}));
}

TEST(PreviewWorker, ATaskWhoseResultWouldBeOfNoUseIsStopped) {
  Journal journal;
  std::promise<void> started;
  std::promise<void> never;
  PreviewWorker worker;
  worker.Submit(Blocking(journal, "first", started, never.get_future().share()), false);
  started.get_future().wait();
  worker.Submit(Quick(journal, "second"), true);
  worker.WaitUntilIdle();
  EXPECT_EQ(journal.Entries(), (std::vector<std::string>{"first (stopped)", "second"}));
}

TEST(PreviewWorker, AbandonStopsTheTaskInProgressAndDropsTheWaitingOne) {
  Journal journal;
  std::promise<void> started;
  std::promise<void> never;
  PreviewWorker worker;
  worker.Submit(Blocking(journal, "first", started, never.get_future().share()), false);
  started.get_future().wait();
  worker.Submit(Quick(journal, "second"), false);
  worker.Abandon();
  worker.WaitUntilIdle();
  EXPECT_EQ(journal.Entries(), (std::vector<std::string>{"first (stopped)"}));

  // The worker goes on with what comes next.
  worker.Submit(Quick(journal, "third"), false);
  worker.WaitUntilIdle();
  EXPECT_EQ(journal.Entries().back(), "third");
}

TEST(PreviewWorker, GoingAwayStopsTheTaskInProgress) {
  Journal journal;
  std::promise<void> started;
  std::promise<void> never;
  {
    PreviewWorker worker;
    worker.Submit(Blocking(journal, "first", started, never.get_future().share()), false);
    started.get_future().wait();
  }
  EXPECT_EQ(journal.Entries(), (std::vector<std::string>{"first (stopped)"}));
}

}  // namespace
