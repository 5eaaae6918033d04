#include "cli/preview_command.h"

#include <algorithm>
#include <cstdio>
#include <string>

#include "cli/denoise_command.h"
#include "cli/gpu_use.h"
#include "cli/interrupt.h"
#include "cli/photo_run.h"
#include "cli/profile_options.h"
#include "engine/denoise_rectangle.h"
#include "picture/allocation_failures.h"
#include "profiles/profile_request.h"

namespace cli {

const std::string_view kPreviewHelp =
    "  Writes the rectangle of N x N pixels whose top-left corner is pixel X,Y of the photo,\n"
    "  denoised and sharpened exactly as `denoise` with the same options gives it there, from its\n"
    "  surroundings alone: what the desktop application's preview shows for these values (its\n"
    "  sliders move them to their steps first). A rectangle reaching past the photo's right or\n"
    "  bottom side is cut there.\n"
    "    --at X,Y           the rectangle's top-left corner, in pixels from the photo's top-left\n"
    "    --size N           its side, 1 to 100000 (default 200)\n"
    "    -o OUTPUT          where to write it\n";

namespace {

constexpr int32_t kDefaultSide = 200;
constexpr double kLargestCoordinate = 999999;

struct PreviewArguments {
  std::filesystem::path input;
  std::filesystem::path output;
  int32_t x = 0;
  int32_t y = 0;
  int32_t side = kDefaultSide;
  ProfileOptions options;
};

// "--at X,Y": two whole numbers from 0.
std::string ReadCorner(std::string_view text, PreviewArguments& arguments) {
  const size_t comma = text.find(',');
  if (comma == std::string_view::npos) return "--at wants the corner as X,Y such as 120,80";
  std::string error;
  const auto coordinate = [&error](std::string_view part) {
    return ParseWholeNumberInRange("--at", part, 0, kLargestCoordinate, error);
  };
  const std::optional<int32_t> x = coordinate(text.substr(0, comma));
  const std::optional<int32_t> y = x ? coordinate(text.substr(comma + 1)) : std::nullopt;
  if (!x || !y) return error;
  arguments.x = *x;
  arguments.y = *y;
  return {};
}

std::string ParsePreview(Arguments args, PreviewArguments& arguments, bool& help) {
  ParsedArguments parsed;
  std::string error = ParseArguments(
      args,
      WithProfileOptions({{"-o", true}, {"--output", true}, {"--at", true}, {"--size", true}}),
      parsed);
  help = parsed.help;
  if (!error.empty() || help) return error;
  if (parsed.operands.size() != 1) return "preview wants exactly one INPUT photo";
  arguments.input = std::filesystem::path(parsed.operands[0]);
  for (const auto& [name, value] : parsed.options) {
    if (name == "-o" || name == "--output") arguments.output = std::filesystem::path(value);
    if (name == "--at") error = ReadCorner(value, arguments);
    if (name == "--size") {
      const auto side = ParseWholeNumberInRange(name, value, 1, 100000, error);
      if (side) arguments.side = *side;
    }
    if (!error.empty()) return error;
  }
  if (!parsed.Has("--at")) return "preview wants the rectangle's corner: --at X,Y";
  if (arguments.output.empty()) return "preview wants -o OUTPUT";
  std::error_code same;
  if (std::filesystem::equivalent(arguments.input, arguments.output, same)) {
    return "the output would overwrite the input photo";
  }
  return ReadProfileOptions(parsed, arguments.options);
}

// The rectangle's part of the photo's alpha plane, when it has one.
void CutAlpha(PhotoDocument& preview, const SBxPicBuf& alpha, const TileRect& rect) {
  if (alpha.data == nullptr ||
      CBxPicBufAPI::ReinitHeap(preview.alphaPlane, rect.Width(), rect.Height(), alpha.components,
                               alpha.bitsPerComponent)) {
    return;
  }
  CBxPicBufAPI::CopyRect(preview.alphaPlane, alpha, {0, 0}, {rect.x0, rect.y0},
                         {rect.Width(), rect.Height()});
}

}  // namespace

int RunPreview(Arguments args) {
  PreviewArguments arguments;
  bool help = false;
  const std::string error = ParsePreview(args, arguments, help);
  if (help) {
    return PrintCommandHelp(kPreviewSynopsis,
                            std::string(kPreviewHelp) + std::string(kProfileOptionsHelp));
  }
  if (!error.empty()) return UsageError(kPreviewSynopsis, error);
  const ProfileOptions& options = arguments.options;
  PrepareRun(options);
  InstallInterruptHandler();

  if (OutputUnwritableOrReport(arguments.output)) return kExitFileError;
  PhotoDocument document;
  if (OpenPhotoOrReport(document, arguments.input, options.acceptDamaged)) {
    return Interrupted() ? InterruptedExitStatus() : kExitFileError;
  }
  const SBxPicBuf& photo = document.sourcePicture;
  if (arguments.x >= photo.width || arguments.y >= photo.height) {
    return UsageError(kPreviewSynopsis, "the corner " + std::to_string(arguments.x) + "," +
                                            std::to_string(arguments.y) + " lies outside the " +
                                            std::to_string(photo.width) + " x " +
                                            std::to_string(photo.height) + " photo");
  }
  const TileRect rect{arguments.x, arguments.y, std::min(arguments.x + arguments.side, photo.width),
                      std::min(arguments.y + arguments.side, photo.height)};
  std::string origin;
  const IsoProfile profile = ProfileForPhoto(document, options, origin);
  const GpuUse gpu(options.gpu, options.quiet);
  CGPGPU* card = gpu.active() ? gpu.gpu() : nullptr;
  const EngineChoice engine{options.quality, card != nullptr, options.fusion, {-1, -1, -1}};

  PhotoDocument preview;
  preview.metadata = document.metadata;
  const AllocationWatch allocations;
  const bool failed = DenoiseRectangle(
      preview.denoisedPicture, photo, rect, RequestForProfile(profile, engine),
      {profile.m_dSharp1, profile.m_dSharp2, profile.m_dSharp3},
      RunControl(nullptr, &RunStopFlag(), card));
  if (Interrupted()) return InterruptedExitStatus();
  if (failed || allocations.Failed()) {
    std::fprintf(stderr, "stillgrain-cli: not enough memory for %s\n", arguments.input.c_str());
    return kExitFileError;
  }
  CutAlpha(preview, document.alphaPlane, rect);
  if (SaveResultOrReport(preview, arguments.output, options)) {
    return Interrupted() ? InterruptedExitStatus() : kExitFileError;
  }
  if (!options.quiet) {
    std::printf("%s -> %s\n  %d x %d at %d,%d, %s:\n  %s\n", arguments.input.c_str(),
                arguments.output.c_str(), rect.Width(), rect.Height(), rect.x0, rect.y0,
                origin.c_str(), DescribeProfile(profile).c_str());
  }
  return kExitSuccess;
}

}  // namespace cli
