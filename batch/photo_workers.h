// Worker processes that take the photos of one batch, several at once, for machines with more
// cores than one photo keeps busy (small photos spend much of their time in decoding, measuring and
// encoding, which run on one core). Each worker is a fork of the batch, made before any photo is
// opened; it takes one photo at a time over its socket, processes it with a PhotoProcessor of its
// own and sends back what it gave. The CPUs of the batch are divided among the workers, so that
// each photo's filters run on its share.
//
// Processes rather than threads: the engine's weight-table cache is process-wide and has no lock
// (`DenoisePicture` is not entered by two threads at once), and so are the count of failed
// allocations that tells a run whether memory ran out, the image libraries' message capture and
// the signal that asked the process to end. A worker has all of these to itself, the engine is
// used exactly as in a single run, and its results are byte-identical to a single run's. A photo
// that crashes a decoder ends one worker, not the batch: that photo is reported as failed and a new
// worker takes the place of the old one.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "batch/photo_processor.h"
#include "engine/run_control.h"

class PhotoWorkers {
 public:
  using Done = std::function<void(const ProcessedFile&)>;
  using Serve = std::function<void(PhotoProcessor&)>;
  // What a worker process runs once it has started, with its share of the CPUs set: it prepares
  // what its photos need (the options, a graphics card of its own), makes their processor and
  // hands it to `serve`, which returns when the batch has no further photo for the worker or the
  // worker is asked to stop.
  using WorkerMain = std::function<void(const Serve& serve)>;

  // Starts `count` workers. Call it while the process has a single thread, before any graphics
  // context or engine run: a fork copies only the calling thread.
  PhotoWorkers(uint32_t count, WorkerMain main);
  // Ends the workers and waits for them.
  ~PhotoWorkers();
  PhotoWorkers(const PhotoWorkers&) = delete;
  PhotoWorkers& operator=(const PhotoWorkers&) = delete;

  // How many workers run: fewer than asked when the system refused to start some, and
  // `StartFailure()` says why.
  uint32_t Running() const;
  const std::string& StartFailure() const { return startFailure_; }

  // Hands `task` to an idle worker; while every worker is busy, first waits for one to finish and
  // passes what it gave to `done`. Once `stop` is raised nothing more is handed out: the workers
  // are told to stop (with the signal that stopped this process, else SIGTERM) and the photos
  // they had are not written.
  void Submit(const PhotoTask& task, const Done& done, const StopFlag* stop);
  // Waits until every worker is done with its photo, passing what each gave to `done`.
  void Finish(const Done& done, const StopFlag* stop);

 private:
  struct Worker {
    pid_t pid = -1;
    int socket = -1;
    uint32_t cpus = 1;
    std::optional<PhotoTask> task;  // the photo in hand
  };

  bool Start(Worker& worker);
  [[noreturn]] void RunWorker(int socket, pid_t parent, uint32_t cpus);
  // The worker's process has ended (or cannot be reached): it is reaped, its photo reported as
  // failed, and a new worker started in its place unless the batch is stopping.
  void Replace(Worker& worker, const Done& done, bool stopping);
  // Waits until a busy worker sends what it gave, or a while when `stop` is raised first.
  void CollectSome(const Done& done, const StopFlag* stop);
  void TellWorkersToStop();
  Worker* IdleWorker();
  bool AnyBusy() const;

  WorkerMain main_;
  std::vector<Worker> workers_;
  std::string startFailure_;
  bool stopSent_ = false;
};
