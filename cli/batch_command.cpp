#include "cli/batch_command.h"

#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "config/localisation.h"
#include "batch/batch_progress.h"
#include "batch/batch_runner.h"
#include "batch/folder_listing.h"
#include "batch/photo_workers.h"
#include "batch/shard.h"
#include "cli/batch_report.h"
#include "cli/gpu_use.h"
#include "cli/interrupt.h"
#include "cli/profile_options.h"
#include "cli/profile_report.h"
#include "picture/photo_saving.h"
#include "config/settings.h"

namespace cli {

const std::string_view kBatchHelp =
    "  Denoises every photo below FOLDER with the stored profile of its camera and ISO, else with\n"
    "  the automatic profile from the noise measured on the photo (--profile default: the\n"
    "  built-in default profile for every photo), and writes each result under its own name\n"
    "  into a \"denoised\" subfolder of the folder that holds it. Earlier \"denoised\" folders,\n"
    "  hidden folders and links to folders are not entered; files that are not photos are passed\n"
    "  by.\n"
    "  Exit status 2 when any photo was not denoised or any folder could not be read.\n"
    "    --skip-done        leave a photo whose result is complete, newer than the photo and made\n"
    "                       with the same values by this version (by default all are redone)\n"
    "    --shard K/N        only the photos of part K of N (1 <= K <= N), split by a stable hash\n"
    "                       of their path below FOLDER: N runs anywhere cover the tree once\n"
    "    --jobs J           J photos at once in worker processes, the CPUs divided among them\n"
    "    --report FILE      append one JSON object per photo and a summary to FILE as the run\n"
    "                       goes (- for standard output; the text summary then goes to stderr)\n"
    "  docs/BATCH.md shows whole archives over many machines and how to resume.\n";

namespace {

// One line per photo (or a bar on a terminal), the elapsed and estimated total time. Photos that
// were not denoised and folders that could not be read are always named, with the reason, and
// listed once more at the end.
class BatchReporter final : public BatchObserver {
 public:
  BatchReporter(uint32_t total, bool quiet) : quiet_(quiet), terminal_(isatty(STDERR_FILENO)) {
    progress_.totalCount = total;
  }

  void PhotoDone(const std::filesystem::path& input, const std::filesystem::path&,
                 BatchOutcome outcome, const std::string& reason) override {
    ++progress_.doneCount;
    progress_.elapsedSeconds = static_cast<uint32_t>(
        std::chrono::duration_cast<std::chrono::seconds>(Clock::now() - start_).count());
    if (outcome == BatchOutcome::kFailed) {
      Problem("not denoised", input, reason);
      return;
    }
    if (!reason.empty()) Warn(input, reason);
    if (quiet_) return;
    const char* what = outcome == BatchOutcome::kDenoised      ? "denoised"
                       : outcome == BatchOutcome::kAlreadyDone ? "already done"
                                                               : "too small, skipped";
    if (terminal_) {
      std::fprintf(stderr, "\r[%u/%u] %s / %s  %s: %s\033[K", progress_.doneCount,
                   progress_.totalCount, FormatMinutesSeconds(progress_.elapsedSeconds).c_str(),
                   FormatMinutesSeconds(progress_.EstimatedTotalSeconds()).c_str(), what,
                   input.filename().c_str());
      barShown_ = true;
    } else {
      std::fprintf(stderr, "[%u/%u] %s: %s\n", progress_.doneCount, progress_.totalCount, what,
                   input.c_str());
    }
  }

  void FileSkipped(const std::filesystem::path& input, const std::string& reason) override {
    if (quiet_) return;
    ClearBar();
    std::fprintf(stderr, "stillgrain-cli: skipped (%s): %s\n", reason.c_str(), input.c_str());
  }

  void FolderSkipped(const std::filesystem::path& folder, const std::string& reason) override {
    Problem("folder not read", folder, reason);
  }

  void ClearBar() {
    if (!barShown_) return;
    std::fputs("\n", stderr);
    barShown_ = false;
  }

  // The photos and folders that were left out, once more, after the run.
  void ListProblems() {
    if (problems_.empty()) return;
    ClearBar();
    std::fprintf(stderr, "Not denoised:\n");
    for (const std::string& problem : problems_) std::fprintf(stderr, "  %s\n", problem.c_str());
  }

  uint32_t ElapsedSeconds() const { return progress_.elapsedSeconds; }

 private:
  using Clock = std::chrono::steady_clock;

  void Problem(const char* what, const std::filesystem::path& path, const std::string& reason) {
    ClearBar();
    std::fprintf(stderr, "stillgrain-cli: %s: %s (%s)\n", what, path.c_str(), reason.c_str());
    problems_.push_back(path.string() + " (" + reason + ")");
  }

  void Warn(const std::filesystem::path& path, const std::string& text) {
    ClearBar();
    std::fprintf(stderr, "stillgrain-cli: warning: %s: %s\n", path.c_str(), text.c_str());
  }

  BatchProgress progress_;
  Clock::time_point start_ = Clock::now();
  bool quiet_;
  bool terminal_;
  bool barShown_ = false;
  std::vector<std::string> problems_;
};

// What the batch adds to the options it shares with denoise.
struct ArchiveOptions {
  bool skipDone = false;
  Shard shard;
  uint32_t jobs = 1;
  std::optional<std::string> report;
};

constexpr uint32_t kMaxJobs = 256;

std::string ReadArchiveOptions(const ParsedArguments& parsed, ArchiveOptions& archive) {
  std::string error;
  for (const auto& [name, value] : parsed.options) {
    if (name == "--skip-done") {
      archive.skipDone = true;
    } else if (name == "--shard") {
      const std::optional<Shard> shard = ParseShard(value, error);
      if (!shard) return error;
      archive.shard = *shard;
    } else if (name == "--jobs") {
      const std::optional<double> jobs = ParseNumberInRange(name, value, 1, kMaxJobs, error);
      if (!jobs || *jobs != static_cast<uint32_t>(*jobs)) {
        return "--jobs wants a whole number from 1 to " + std::to_string(kMaxJobs) + ", not '" +
               std::string(value) + "'";
      }
      archive.jobs = static_cast<uint32_t>(*jobs);
    } else if (name == "--report") {
      if (value.empty()) return "--report wants a FILE, or - for standard output";
      archive.report = std::string(value);
    }
  }
  return {};
}

std::string ParseBatch(Arguments args, std::filesystem::path& folder, ProfileOptions& options,
                       ArchiveOptions& archive, bool& help) {
  ParsedArguments parsed;
  std::string error = ParseArguments(
      args,
      WithProfileOptions(
          {{"--skip-done", false}, {"--shard", true}, {"--jobs", true}, {"--report", true}}),
      parsed);
  help = parsed.help;
  if (!error.empty() || help) return error;
  if (parsed.operands.size() != 1) return "batch wants exactly one FOLDER";
  folder = std::filesystem::path(parsed.operands[0]);
  error = ReadProfileOptions(parsed, options);
  return error.empty() ? ReadArchiveOptions(parsed, archive) : error;
}

std::string Count(uint32_t count, const char* one, const char* many) {
  return std::to_string(count) + " " + (count == 1 ? one : many);
}

// The counts, then the verdict as the last line: finished, cancelled, or what was left out. The
// results kept from an earlier run are counted when they were asked for.
void PrintSummary(std::FILE* out, const BatchSummary& summary, bool skipDone, uint32_t seconds) {
  const std::string kept =
      skipDone ? ", " + std::to_string(summary.alreadyDone) + " already done" : "";
  std::fprintf(out, "%u denoised%s, %u too small, %u failed, %u skipped in %s\n",
               summary.denoised, kept.c_str(), summary.tooSmall, summary.failed, summary.skipped,
               FormatMinutesSeconds(seconds).c_str());
  if (summary.cancelled) {
    std::fprintf(out, "%s\n", LocalisedString(kStringBatchCancelled).c_str());
  } else if (summary.Complete()) {
    std::fprintf(out, "%s\n", LocalisedString(kStringBatchFinished).c_str());
  } else {
    std::string left;
    if (summary.failed > 0)
      left = Count(summary.failed, "photo was", "photos were") + " not denoised";
    if (summary.skippedFolders > 0) {
      left += (left.empty() ? "" : " and ") +
              Count(summary.skippedFolders, "folder was", "folders were") + " not read";
    }
    std::fprintf(out, "Batch denoising finished, but %s (listed above).\n", left.c_str());
  }
}

// How the photos of the run are denoised; the graphics card and the workers are added by the caller.
BatchOptions BatchOptionsFor(const ProfileOptions& options, const ArchiveOptions& archive) {
  BatchOptions batch;
  batch.engine = {options.quality, false, options.fusion, NoiseLevels{-1, -1, -1}};
  batch.acceptDamaged = options.acceptDamaged;
  batch.profileMode = options.mode;
  batch.calibration = LoadCalibrationOrWarn(options.quiet);
  batch.adjustProfile = [&options](IsoProfile& profile) { profile = options.Apply(profile); };
  batch.jpegQuality = options.jpegQuality.value_or(LoadJpegQuality());
  batch.skipDone = archive.skipDone;
  batch.shard = archive.shard;
  return batch;
}

// The report's last line. A report that could not be written fails a run that succeeded.
int Summarise(BatchReport& report, const BatchSummary& summary, double seconds,
              const ArchiveOptions& archive, int status) {
  report.Summarise(summary, seconds, archive.shard, archive.jobs, status);
  if (report.WriteFailure().empty()) return status;
  std::fprintf(stderr, "stillgrain-cli: the report could not be written: %s\n",
               report.WriteFailure().c_str());
  return status == kExitSuccess ? kExitFileError : status;
}

// Worker processes for `jobs` photos at once, each with its own graphics card when the run asks
// for one; none for a single job. The batch's own options are copied into each worker.
std::unique_ptr<PhotoWorkers> StartWorkers(uint32_t jobs, const ProfileOptions& options,
                                           const BatchOptions& batch) {
  if (jobs <= 1) return nullptr;
  auto workers = std::make_unique<PhotoWorkers>(
      jobs, [&options, &batch](const PhotoWorkers::Serve& serve) {
        const GpuUse gpu(options.gpu, true);
        BatchOptions own = batch;
        own.engine.useGpu = gpu.active();
        own.gpu = gpu.gpu();
        PhotoProcessor processor(own, &RunStopFlag());
        serve(processor);
      });
  if (workers->Running() < jobs && workers->Running() > 0 && !options.quiet) {
    std::fprintf(stderr, "stillgrain-cli: only %u of %u worker processes could be started (%s)\n",
                 workers->Running(), jobs, workers->StartFailure().c_str());
  }
  return workers;
}

}  // namespace

int RunBatch(Arguments args) {
  std::filesystem::path folder;
  ProfileOptions options;
  ArchiveOptions archive;
  bool help = false;
  const std::string error = ParseBatch(args, folder, options, archive, help);
  if (help) {
    return PrintCommandHelp(kBatchSynopsis, std::string(kBatchHelp) + std::string(kProfileOptionsHelp));
  }
  if (!error.empty()) return UsageError(kBatchSynopsis, error);
  std::error_code ignored;
  if (!std::filesystem::is_directory(folder, ignored)) {
    std::fprintf(stderr, "stillgrain-cli: no such folder: %s\n", folder.c_str());
    return kExitFileError;
  }
  const auto start = std::chrono::steady_clock::now();
  PrepareRun(options);
  InstallInterruptHandler();

  BatchReporter reporter(CountBatchImages(folder, true, archive.shard), options.quiet);
  std::unique_ptr<BatchReport> report;
  if (archive.report) {
    std::string failure;
    report = BatchReport::Open(*archive.report, folder, &reporter, failure);
    if (!report) {
      std::fprintf(stderr, "stillgrain-cli: %s\n", failure.c_str());
      return kExitFileError;
    }
  }
  BatchOptions batch = BatchOptionsFor(options, archive);
  // The workers are forked before this process opens a graphics context, which starts threads.
  const std::unique_ptr<PhotoWorkers> workers = StartWorkers(archive.jobs, options, batch);
  if (workers && workers->Running() == 0) {
    std::fprintf(stderr, "stillgrain-cli: cannot start worker processes: %s\n",
                 workers->StartFailure().c_str());
    return kExitFileError;
  }
  batch.workers = workers.get();
  // With the report on standard output, the text that would go there goes to stderr.
  const bool reportOnStdout = archive.report == "-";
  std::optional<GpuUse> gpu;
  if (!workers) {
    gpu.emplace(options.gpu, options.quiet || reportOnStdout);
    batch.engine.useGpu = gpu->active();
    batch.gpu = gpu->gpu();
  }
  BatchObserver* observer = report ? static_cast<BatchObserver*>(report.get()) : &reporter;
  const BatchSummary summary = BatchThread(folder, batch, observer, &RunStopFlag());
  reporter.ClearBar();
  reporter.ListProblems();
  if (!options.quiet || !summary.Complete()) {
    PrintSummary(reportOnStdout ? stderr : stdout, summary, archive.skipDone,
                 reporter.ElapsedSeconds());
  }
  const int status = Interrupted()        ? InterruptedExitStatus()
                     : summary.Complete() ? kExitSuccess
                                          : kExitFileError;
  if (!report) return status;
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  return Summarise(*report, summary, seconds, archive, status);
}

}  // namespace cli
