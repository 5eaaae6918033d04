#include "cli/denoise_command.h"

#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <string>

#include "cli/gpu_use.h"
#include "cli/interrupt.h"
#include "cli/photo_run.h"
#include "cli/profile_options.h"
#include "cli/profile_report.h"
#include "cli/terminal_progress.h"
#include "engine/denoise.h"
#include "engine/sharpen_picture.h"
#include "picture/allocation_failures.h"
#include "profiles/profile_request.h"

namespace cli {

const std::string_view kDenoiseHelp =
    "  Denoises one photo with the stored profile of its camera and ISO, else with the automatic\n"
    "  profile, whose strengths and detail gains follow the noise measured on the photo; sharpens\n"
    "  it with the profile's gains and saves it in its own format with its metadata and ICC\n"
    "  profile. Options that set single values override the profile's.\n"
    "    -o OUTPUT          where to write (default: INPUT's folder, \"<name>-denoised.<ext>\")\n";

namespace {

struct DenoiseRequest {
  std::filesystem::path input;
  std::filesystem::path output;
  ProfileOptions options;
};

std::string ParseDenoise(Arguments args, DenoiseRequest& request, bool& help) {
  ParsedArguments parsed;
  std::string error = ParseArguments(args, WithProfileOptions({{"-o", true}, {"--output", true}}),
                                     parsed);
  help = parsed.help;
  if (!error.empty() || help) return error;
  if (parsed.operands.size() != 1) return "denoise wants exactly one INPUT photo";
  request.input = std::filesystem::path(parsed.operands[0]);
  for (const auto& [name, value] : parsed.options) {
    if (name == "-o" || name == "--output") request.output = std::filesystem::path(value);
  }
  if (request.output.empty()) request.output = DefaultOutputPath(request.input);
  std::error_code same;
  if (std::filesystem::equivalent(request.input, request.output, same)) {
    return "the output would overwrite the input photo";
  }
  return ReadProfileOptions(parsed, request.options);
}

// The profile the photo gets after the options, and a description of where it came from.
IsoProfile ChooseProfile(const PhotoDocument& document, const ProfileOptions& options,
                         std::string& origin) {
  const ProfileSources sources = LoadProfileSources(options.mode, options.quiet);
  const ProfileDecision decision = DecideForPhoto(sources, document, options.mode);
  origin = DescribeDecision(decision, sources, document.exif, options.mode);
  return options.Apply(decision.profile);
}

// True when memory ran out on the way, which leaves the picture incomplete. Releases the photo as
// loaded.
// `gpu` is the admitted card, null for the CPU.
bool Denoise(PhotoDocument& document, const IsoProfile& profile, const ProfileOptions& options,
             CGPGPU* gpu) {
  const AllocationWatch allocations;
  const auto progress = options.quiet ? nullptr : MakeStderrProgress("denoising");
  const EngineChoice engine{options.quality, gpu != nullptr, options.fusion,
                           NoiseLevels{-1, -1, -1}};
  DenoisePicture(document.denoisedPicture, document.sourcePicture,
                 RequestForProfile(profile, engine), RunControl(progress.get(), &RunStopFlag(), gpu));
  if (progress) progress->Finish();
  // The photo as loaded is not needed any more, and sharpening and saving a large photo need the
  // memory.
  CBxPicBufAPI::DoneHeap(document.sourcePicture);
  if (!Interrupted()) {
    SharpenPicture(document.denoisedPicture, profile.m_dSharp1, profile.m_dSharp2,
                   profile.m_dSharp3);
  }
  return allocations.Failed();
}

}  // namespace

IsoProfile ProfileForPhoto(const PhotoDocument& document, const ProfileOptions& options,
                           std::string& origin) {
  return ChooseProfile(document, options, origin);
}

int RunDenoise(Arguments args) {
  DenoiseRequest request;
  bool help = false;
  const std::string error = ParseDenoise(args, request, help);
  if (help) return PrintCommandHelp(kDenoiseSynopsis, std::string(kDenoiseHelp) +
                                                          std::string(kProfileOptionsHelp));
  if (!error.empty()) return UsageError(kDenoiseSynopsis, error);
  PrepareRun(request.options);
  InstallInterruptHandler();

  if (OutputUnwritableOrReport(request.output)) return kExitFileError;
  PhotoDocument document;
  if (OpenPhotoOrReport(document, request.input, request.options.acceptDamaged)) {
    return Interrupted() ? InterruptedExitStatus() : kExitFileError;
  }
  if (CBxPicBufAPI::ReinitHeap(document.denoisedPicture, document.sourcePicture)) {
    std::fprintf(stderr, "stillgrain-cli: not enough memory for %s\n", request.input.c_str());
    return kExitFileError;
  }
  std::string origin;
  const IsoProfile profile = ChooseProfile(document, request.options, origin);
  if (!request.options.quiet && isatty(STDERR_FILENO) == 0) {
    std::fprintf(stderr, "denoising %s\n", request.input.c_str());
  }
  const GpuUse gpu(request.options.gpu, request.options.quiet);
  const auto start = std::chrono::steady_clock::now();
  const bool outOfMemory = Denoise(document, profile, request.options, gpu.active() ? gpu.gpu() : nullptr);
  if (Interrupted()) return InterruptedExitStatus();
  if (outOfMemory) {
    std::fprintf(stderr, "stillgrain-cli: not enough memory for %s\n", request.input.c_str());
    return kExitFileError;
  }
  if (SaveResultOrReport(document, request.output, request.options)) {
    return Interrupted() ? InterruptedExitStatus() : kExitFileError;
  }
  if (Interrupted()) return InterruptedExitStatus();
  const std::chrono::duration<double> seconds = std::chrono::steady_clock::now() - start;
  if (!request.options.quiet) {
    std::printf("%s -> %s\n  %d x %d, %s:\n  %s\n  %.1f s on %u threads\n", request.input.c_str(),
                request.output.c_str(), document.denoisedPicture.width,
                document.denoisedPicture.height, origin.c_str(), DescribeProfile(profile).c_str(),
                seconds.count(), EngineThreadCount());
  }
  return kExitSuccess;
}

}  // namespace cli
