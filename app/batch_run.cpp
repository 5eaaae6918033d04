#include "app/batch_run.h"

#include "app/private_messages.h"
#include "app/worker_gpu_context.h"

namespace {

// Forwards every finished photo to the progress window; files that are no photos make no step.
class ProgressWindowObserver : public BatchObserver {
 public:
  explicit ProgressWindowObserver(QObject* progressWindow) : progressWindow_(progressWindow) {}

  void PhotoDone(const std::filesystem::path&, const std::filesystem::path&, BatchOutcome,
                 const std::string&) override {
    PostPrivateMessage(progressWindow_, UM_BATCH_FILE_DONE);
  }
  void FileSkipped(const std::filesystem::path&, const std::string&) override {}
  void FolderSkipped(const std::filesystem::path&, const std::string&) override {}

 private:
  QObject* const progressWindow_;  // lives until UM_BATCH_FINISHED is handled
};

}  // namespace

std::function<void()> BatchJob(const std::filesystem::path& root, const BatchOptions& options,
                               const StopFlag& stop, QObject* mainWindow,
                               QObject* progressWindow) {
  return [root, options, &stop, mainWindow, progressWindow] {
    SendPrivateMessage(mainWindow, UM_WORKER_GL, 1);
    BatchSummary summary;
    {
      const WorkerGpuContext context(options.gpu, options.engine.useGpu);
      ProgressWindowObserver observer(progressWindow);
      summary = BatchThread(root, options, &observer, &stop);
    }
    SendPrivateMessage(mainWindow, UM_WORKER_GL, 0);
    PostPrivateMessage(mainWindow, UM_BATCH_FINISHED, summary.cancelled ? 1 : 0,
                       static_cast<intptr_t>(summary.failed));
  };
}
