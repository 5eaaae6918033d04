#include "cli/photo_run.h"

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <system_error>
#include <vector>

#include "config/localisation.h"
#include "config/settings.h"
#include "cli/interrupt.h"
#include "picture/library_messages.h"
#include "picture/photo_loading.h"
#include "picture/photo_saving.h"

namespace cli {

namespace {

void PrintLibraryDetail() {
  const std::string detail = LastLibraryMessage();
  if (VerboseLibraryMessages() && !detail.empty()) std::fprintf(stderr, "  %s\n", detail.c_str());
}

// "stillgrain-cli: <message>: PATH", the way the localised messages (which end in ':' or '!') read.
void ReportFileError(const std::string& message, const std::filesystem::path& path) {
  const char* separator = !message.empty() && message.back() == ':' ? " " : ": ";
  std::fprintf(stderr, "stillgrain-cli: %s%s%s\n", message.c_str(), separator, path.c_str());
  PrintLibraryDetail();
}

void ReportWarnings(const std::filesystem::path& path, const std::vector<std::string>& warnings) {
  for (const std::string& warning : warnings) {
    std::fprintf(stderr, "stillgrain-cli: warning: %s: %s\n", path.c_str(), warning.c_str());
  }
}

void ReportOpenFailure(const std::filesystem::path& input, const OpenOutcome& outcome) {
  switch (outcome.failure) {
    case OpenFailure::kNotAPhoto:
    case OpenFailure::kUnreadable:
      ReportFileError(LocalisedString(kStringImageFormatNotSupported), input);
      return;
    case OpenFailure::kDamaged:
      std::fprintf(
          stderr, "stillgrain-cli: %s %s: %s\n  (--accept-damaged denoises what can be read)\n",
          LocalisedString(kStringPhotoDamaged).c_str(), input.c_str(), outcome.damage.c_str());
      return;
    case OpenFailure::kTooLarge:
    case OpenFailure::kOutOfMemory:
      ReportFileError(OpenFailureReason(outcome.failure), input);
      return;
    default:
      std::fprintf(stderr, "stillgrain-cli: cannot open %s: %s\n", input.c_str(),
                   OpenFailureReason(outcome.failure).c_str());
  }
}

// Why a write to `output` cannot succeed, or empty when nothing speaks against it.
std::string WhyUnwritable(const std::filesystem::path& output) {
  std::error_code error;
  if (std::filesystem::is_directory(output, error)) return "it is a folder";
  const std::filesystem::path folder =
      output.parent_path().empty() ? std::filesystem::path(".") : output.parent_path();
  const std::filesystem::file_status status = std::filesystem::status(folder, error);
  if (!std::filesystem::exists(status)) return "there is no folder " + folder.string();
  if (!std::filesystem::is_directory(status)) return folder.string() + " is not a folder";
  if (access(folder.c_str(), W_OK | X_OK) != 0) return std::strerror(errno);
  return {};
}

}  // namespace

bool OpenPhotoOrReport(PhotoDocument& document, const std::filesystem::path& input,
                       bool acceptDamaged) {
  const OpenOutcome outcome =
      OpenPhotoFile(document, input, OpenOptions{MaxPhotoPixels(), acceptDamaged});
  if (outcome.failure != OpenFailure::kNone) {
    ReportOpenFailure(input, outcome);
    return true;
  }
  ReportWarnings(input, outcome.notes);
  return false;
}

bool OutputUnwritableOrReport(const std::filesystem::path& output) {
  const std::string why = WhyUnwritable(output);
  if (why.empty()) return false;
  std::fprintf(stderr, "stillgrain-cli: %s %s (%s)\n",
               LocalisedString(kStringOutputNotWritten).c_str(), output.c_str(), why.c_str());
  return true;
}

bool SaveResultOrReport(PhotoDocument& document, const std::filesystem::path& output,
                        const ProfileOptions& options) {
  std::vector<std::string> warnings;
  const SaveFailure failure =
      SavePhoto(document, output, options.jpegQuality.value_or(LoadJpegQuality()), &warnings);
  if (failure == SaveFailure::kUnsupportedFormat) {
    ReportFileError(LocalisedString(kStringImageFormatNotSupported), output);
    return true;
  }
  if (Interrupted()) return true;
  if (failure == SaveFailure::kNone) {
    ReportWarnings(output, warnings);
    return false;
  }
  const std::string why = WhyUnwritable(output);
  ReportFileError(LocalisedString(kStringOutputNotWritten), output);
  if (!why.empty()) std::fprintf(stderr, "  (%s)\n", why.c_str());
  return true;
}

std::filesystem::path DefaultOutputPath(const std::filesystem::path& input) {
  std::filesystem::path name = input.stem();
  name += "-denoised";
  name += input.extension();
  return input.parent_path() / name;
}

std::string DescribeProfile(const IsoProfile& p) {
  char text[256];
  std::snprintf(text, sizeof(text),
                "strength %.2f, chroma %.2f, chroma-large %.2f, dynamics %.2f, sharpen "
                "%.2f/%.2f/%.2f, median %d",
                p.m_dStrength, p.m_dStrengthChroma, p.m_dStrengthChromaLarge, p.m_dDynamics,
                p.m_dSharp1, p.m_dSharp2, p.m_dSharp3, p.m_iUseMedian);
  return text;
}

}  // namespace cli
