// The job of a batch denoising run of the desktop application, for a WorkerThread. It hands the
// graphics context over like the full-size run, reports each finished photo to the progress window
// (UM_BATCH_FILE_DONE) and the end to the main window (UM_BATCH_FINISHED with wParam 1 when the run
// was cancelled and lParam the number of results that could not be written).
#pragma once

#include <QObject>
#include <filesystem>
#include <functional>

#include "batch/batch_runner.h"

// `stop` (the progress window's Cancel) must outlive the job.
std::function<void()> BatchJob(const std::filesystem::path& root, const BatchOptions& options,
                               const StopFlag& stop, QObject* mainWindow,
                               QObject* progressWindow);
