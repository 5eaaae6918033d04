#include "cli/batch_command.h"

#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "config/localisation.h"
#include "batch/batch_progress.h"
#include "batch/batch_runner.h"
#include "batch/folder_listing.h"
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
    "  Exit status 2 when any photo was not denoised or any folder could not be read.\n";

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
    const char* what = outcome == BatchOutcome::kDenoised ? "denoised" : "too small, skipped";
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

std::string ParseBatch(Arguments args, std::filesystem::path& folder, ProfileOptions& options,
                       bool& help) {
  ParsedArguments parsed;
  std::string error = ParseArguments(args, WithProfileOptions({}), parsed);
  help = parsed.help;
  if (!error.empty() || help) return error;
  if (parsed.operands.size() != 1) return "batch wants exactly one FOLDER";
  folder = std::filesystem::path(parsed.operands[0]);
  return ReadProfileOptions(parsed, options);
}

std::string Count(uint32_t count, const char* one, const char* many) {
  return std::to_string(count) + " " + (count == 1 ? one : many);
}

// The counts, then the verdict as the last line: finished, cancelled, or what was left out.
void PrintSummary(const BatchSummary& summary, uint32_t seconds) {
  std::printf("%u denoised, %u too small, %u failed, %u skipped in %s\n", summary.denoised,
              summary.tooSmall, summary.failed, summary.skipped,
              FormatMinutesSeconds(seconds).c_str());
  if (summary.cancelled) {
    std::printf("%s\n", LocalisedString(kStringBatchCancelled).c_str());
  } else if (summary.Complete()) {
    std::printf("%s\n", LocalisedString(kStringBatchFinished).c_str());
  } else {
    std::string left;
    if (summary.failed > 0)
      left = Count(summary.failed, "photo was", "photos were") + " not denoised";
    if (summary.skippedFolders > 0) {
      left += (left.empty() ? "" : " and ") +
              Count(summary.skippedFolders, "folder was", "folders were") + " not read";
    }
    std::printf("Batch denoising finished, but %s (listed above).\n", left.c_str());
  }
}

}  // namespace

int RunBatch(Arguments args) {
  std::filesystem::path folder;
  ProfileOptions options;
  bool help = false;
  const std::string error = ParseBatch(args, folder, options, help);
  if (help) {
    return PrintCommandHelp(kBatchSynopsis, std::string(kBatchHelp) + std::string(kProfileOptionsHelp));
  }
  if (!error.empty()) return UsageError(kBatchSynopsis, error);
  std::error_code ignored;
  if (!std::filesystem::is_directory(folder, ignored)) {
    std::fprintf(stderr, "stillgrain-cli: no such folder: %s\n", folder.c_str());
    return kExitFileError;
  }
  PrepareRun(options);
  InstallInterruptHandler();

  const GpuUse gpu(options.gpu, options.quiet);
  BatchOptions batch;
  batch.engine = {options.quality, gpu.active(), options.fusion, NoiseLevels{-1, -1, -1}};
  batch.gpu = gpu.gpu();
  batch.acceptDamaged = options.acceptDamaged;
  batch.profileMode = options.mode;
  batch.calibration = LoadCalibrationOrWarn(options.quiet);
  batch.adjustProfile = [&options](IsoProfile& profile) { profile = options.Apply(profile); };
  batch.jpegQuality = options.jpegQuality.value_or(LoadJpegQuality());
  BatchReporter reporter(CountBatchImages(folder), options.quiet);
  const BatchSummary summary = BatchThread(folder, batch, &reporter, &RunStopFlag());
  reporter.ClearBar();
  reporter.ListProblems();
  if (!options.quiet || !summary.Complete()) PrintSummary(summary, reporter.ElapsedSeconds());
  if (Interrupted()) return InterruptedExitStatus();
  return summary.Complete() ? kExitSuccess : kExitFileError;
}

}  // namespace cli
