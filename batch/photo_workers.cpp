#include "batch/photo_workers.h"

#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "batch/photo_wire.h"
#include "platform/cpu_affinity.h"
#include "platform/termination.h"

namespace {

// How long a wait for results lasts before the stop flag is looked at again (a signal that
// arrives just before the wait does not cut it short).
constexpr int kWaitMilliseconds = 200;

std::string HowItEnded(int status) {
  if (WIFSIGNALED(status)) {
    const int signal = WTERMSIG(status);
    return "the worker process was ended by signal " + std::to_string(signal) + " (" +
           strsignal(signal) + ")";
  }
  return "the worker process ended with status " + std::to_string(WEXITSTATUS(status));
}

ProcessedFile FailedFile(const PhotoTask& task, const std::string& reason) {
  ProcessedFile file;
  file.record.task = task;
  file.record.reason = reason;
  return file;
}

// The worker's side: a photo at a time until the batch closes the socket or the worker is asked
// to stop. A signal ends the wait for the next photo, so that the stop is seen at once.
void ServeTasks(int socket, PhotoProcessor& processor) {
  while (!processor.StopRequested()) {
    pollfd entry{socket, POLLIN, 0};
    const int ready = poll(&entry, 1, -1);
    if (ready < 0 && errno == EINTR) continue;
    if (ready <= 0) return;
    const std::optional<std::string> message = ReceiveMessage(socket);
    const std::optional<PhotoTask> task = message ? DecodeTask(*message) : std::nullopt;
    if (!task) return;
    if (!SendMessage(socket, EncodeResult(processor.Process(*task)))) return;
  }
}

}  // namespace

PhotoWorkers::PhotoWorkers(uint32_t count, WorkerMain main) : main_(std::move(main)) {
  count = std::max<uint32_t>(count, 1);
  const uint32_t cpus = AffinityCpuBitLength();
  workers_.resize(count);
  for (uint32_t i = 0; i < count; ++i) {
    workers_[i].cpus = std::max<uint32_t>(cpus / count + (i < cpus % count ? 1 : 0), 1);
    Start(workers_[i]);
  }
}

PhotoWorkers::~PhotoWorkers() {
  for (Worker& worker : workers_) {
    if (worker.socket >= 0) close(worker.socket);
  }
  for (Worker& worker : workers_) {
    int status = 0;
    if (worker.pid > 0) waitpid(worker.pid, &status, 0);
  }
}

uint32_t PhotoWorkers::Running() const {
  return static_cast<uint32_t>(std::count_if(workers_.begin(), workers_.end(),
                                             [](const Worker& w) { return w.pid > 0; }));
}

bool PhotoWorkers::Start(Worker& worker) {
  int sockets[2];
  if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, sockets) != 0) {
    startFailure_ = std::strerror(errno);
    return false;
  }
  // What this process has buffered for its streams would otherwise be written twice.
  std::fflush(nullptr);
  const pid_t parent = getpid();
  const pid_t pid = fork();
  if (pid == 0) {
    close(sockets[0]);
    RunWorker(sockets[1], parent, worker.cpus);
  }
  close(sockets[1]);
  if (pid < 0) {
    startFailure_ = std::strerror(errno);
    close(sockets[0]);
    return false;
  }
  worker.pid = pid;
  worker.socket = sockets[0];
  worker.task.reset();
  return true;
}

void PhotoWorkers::RunWorker(int socket, pid_t parent, uint32_t cpus) {
  // A worker whose batch is gone stops at once (and writes nothing of its photo).
  prctl(PR_SET_PDEATHSIG, SIGTERM);
  if (getppid() != parent) _exit(0);
  for (const Worker& other : workers_) {
    if (other.socket >= 0) close(other.socket);
  }
  CapCpuCount(cpus);
  int status = 0;
  try {
    main_([socket](PhotoProcessor& processor) { ServeTasks(socket, processor); });
  } catch (...) {
    status = 1;
  }
  // Leaves without the batch's exit handlers and stream buffers, which are the batch's to run.
  _exit(status);
}

PhotoWorkers::Worker* PhotoWorkers::IdleWorker() {
  for (Worker& worker : workers_) {
    if (worker.pid > 0 && !worker.task) return &worker;
  }
  return nullptr;
}

bool PhotoWorkers::AnyBusy() const {
  return std::any_of(workers_.begin(), workers_.end(),
                     [](const Worker& w) { return w.task.has_value(); });
}

void PhotoWorkers::Submit(const PhotoTask& task, const Done& done, const StopFlag* stop) {
  const auto stopped = [stop] { return stop != nullptr && stop->Requested(); };
  // Each failed hand-over replaces a worker that went while it had nothing to do; a few in a row
  // mean that no worker can be had.
  for (size_t attempt = 0; attempt <= workers_.size(); ++attempt) {
    Worker* idle = IdleWorker();
    while (idle == nullptr && AnyBusy() && !stopped()) {
      CollectSome(done, stop);
      idle = IdleWorker();
    }
    if (stopped()) return;
    if (idle == nullptr) break;
    if (SendMessage(idle->socket, EncodeTask(task))) {
      idle->task = task;
      return;
    }
    Replace(*idle, done, false);
  }
  done(FailedFile(task, "no worker process could take the photo" +
                            (startFailure_.empty() ? "" : ": " + startFailure_)));
}

void PhotoWorkers::Finish(const Done& done, const StopFlag* stop) {
  while (AnyBusy()) CollectSome(done, stop);
}

void PhotoWorkers::CollectSome(const Done& done, const StopFlag* stop) {
  const bool stopping = stop != nullptr && stop->Requested();
  if (stopping) TellWorkersToStop();
  std::vector<pollfd> entries;
  std::vector<Worker*> busy;
  for (Worker& worker : workers_) {
    if (!worker.task) continue;
    entries.push_back({worker.socket, POLLIN, 0});
    busy.push_back(&worker);
  }
  if (poll(entries.data(), entries.size(), kWaitMilliseconds) <= 0) return;
  for (size_t i = 0; i < entries.size(); ++i) {
    if (entries[i].revents == 0) continue;
    Worker& worker = *busy[i];
    const std::optional<std::string> message = ReceiveMessage(worker.socket);
    const std::optional<ProcessedFile> file = message ? DecodeResult(*message) : std::nullopt;
    if (!file) {
      Replace(worker, done, stopping);
      continue;
    }
    worker.task.reset();
    done(*file);
  }
}

void PhotoWorkers::Replace(Worker& worker, const Done& done, bool stopping) {
  close(worker.socket);
  worker.socket = -1;
  int status = 0;
  waitpid(worker.pid, &status, 0);
  worker.pid = -1;
  const std::optional<PhotoTask> task = std::move(worker.task);
  worker.task.reset();
  if (task && !stopping) done(FailedFile(*task, HowItEnded(status)));
  if (!stopping) Start(worker);
}

void PhotoWorkers::TellWorkersToStop() {
  if (stopSent_) return;
  stopSent_ = true;
  const int signal = TerminationSignal() != 0 ? TerminationSignal() : SIGTERM;
  for (const Worker& worker : workers_) {
    if (worker.pid > 0) kill(worker.pid, signal);
  }
}
