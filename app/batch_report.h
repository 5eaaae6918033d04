// The report at the end of a batch run: how it ended, how many photos were denoised, failed or
// passed by, and what went wrong with each photo that failed.
#pragma once

#include <QString>
#include <filesystem>
#include <string>
#include <vector>

#include "batch/batch_runner.h"

// A photo that was not denoised, or a folder that could not be read, and why.
struct BatchFailure {
  std::filesystem::path path;
  std::string reason;
};

// At most this many failures are listed one by one; the rest are counted.
inline constexpr std::size_t kListedFailures = 15;

QString BatchReport(const BatchSummary& summary, const std::vector<BatchFailure>& failures);
