#include "cli/photo_run.h"

#include <cstdio>

#include "app/localisation.h"
#include "app/settings.h"
#include "picture/image_errors.h"
#include "picture/library_messages.h"
#include "picture/photo_loading.h"
#include "picture/photo_saving.h"

namespace cli {

namespace {

void ReportFileError(const std::string& message, const std::filesystem::path& path) {
  const char* separator = !message.empty() && message.back() == ':' ? " " : ": ";
  std::fprintf(stderr, "stillgrain-cli: %s%s%s\n", message.c_str(), separator, path.c_str());
  const std::string detail = LastLibraryMessage();
  if (VerboseLibraryMessages() && !detail.empty()) std::fprintf(stderr, "  %s\n", detail.c_str());
}

}  // namespace

bool OpenPhotoOrReport(PhotoDocument& document, const std::filesystem::path& input) {
  const OpenFailure failure = OpenPhotoFile(document, input, MaxPhotoPixels());
  if (failure == OpenFailure::kNone) return false;
  const std::string message = failure == OpenFailure::kUnreadable
                                  ? LocalisedString(kStringImageFormatNotSupported)
                                  : OpenFailureReason(failure);
  ReportFileError(message, input);
  return true;
}

bool SaveResultOrReport(PhotoDocument& document, const std::filesystem::path& output,
                        const std::filesystem::path& input, const ProfileOptions& options) {
  try {
    if (!SavePhotoAtQuality(document, output, input,
                            options.jpegQuality.value_or(LoadJpegQuality()))) {
      return false;
    }
    ReportFileError(LocalisedString(kStringOutputNotWritten), output);
  } catch (const UnsupportedImageFormat& error) {
    ReportFileError(LocalisedString(kStringImageFormatNotSupported),
                    error.what()[0] != '\0' ? std::filesystem::path(error.what()) : output);
  } catch (const ImageReadError&) {
    ReportFileError(LocalisedString(kStringImageFormatNotSupported), input);
  }
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
