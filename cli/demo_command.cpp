#include "cli/demo_command.h"

#include <chrono>
#include <cstdio>
#include <optional>
#include <string>

#include "cli/option_parser.h"
#include "cli/synthetic_photo.h"
#include "cli/terminal_progress.h"
#include "engine/denoise.h"
#include "engine/non_local_means.h"
#include "picture/pic_buf.h"

namespace cli {

namespace {

struct DemoOptions {
  synthetic::PictureSize size{1200, 800};
  // Light sensor noise: what the built-in profile's strength of 10 is tuned for. At that strength
  // the filter leaves noise much above sigma 7 in place.
  double sigma = 5.0;
  int32_t quality = 3;
  double strength = 10.0;
  bool help = false;
};

constexpr OptionSpec kDemoOptions[] = {
    {"--size", true}, {"--sigma", true}, {"--quality", true}, {"--strength", true}};

// Fills `options` from the arguments. Returns an error message, empty on success.
std::string ParseDemoOptions(Arguments args, DemoOptions& options) {
  ParsedArguments parsed;
  std::string error = ParseArguments(args, kDemoOptions, parsed);
  if (!error.empty()) return error;
  if (!parsed.operands.empty()) return "unexpected argument '" + std::string(parsed.operands[0]) + "'";
  options.help = parsed.help;
  for (const auto& [name, value] : parsed.options) {
    if (name == "--size") {
      const auto size = synthetic::ParsePictureSize(value);
      if (!size) return "--size wants WxH with sides from 1 to 20000, not '" + std::string(value) + "'";
      options.size = *size;
    } else if (name == "--sigma") {
      const auto sigma = ParseNumberInRange(name, value, 0, 100, error);
      if (!sigma) return error;
      options.sigma = *sigma;
    } else if (name == "--strength") {
      const auto strength = ParseNumberInRange(name, value, 1, 50, error);
      if (!strength) return error;
      options.strength = *strength;
    } else {
      const auto quality = ParseNumberInRange(name, value, 1, 3, error);
      if (!quality || *quality != static_cast<int32_t>(*quality)) {
        return "--quality wants 1, 2 or 3, not '" + std::string(value) + "'";
      }
      options.quality = static_cast<int32_t>(*quality);
    }
  }
  return {};
}

NoiseLevels MeasureNoise(const SBxPicBuf& bgr) {
  NoiseLevels levels{};
  ScopedPicBuf yuv;
  if (CBxPicBufAPI::ReinitHeap(*yuv, bgr)) return levels;
  CBxPicBufAPI::ConvertRGBtoYUV(*yuv, bgr);
  EstimateNoiseYUV(*yuv, levels);
  return levels;
}

int OutOfMemory() {
  std::fprintf(stderr, "stillgrain-cli: not enough memory for the demo picture\n");
  return kExitFileError;
}

}  // namespace

int RunDemo(Arguments args) {
  DemoOptions options;
  const std::string error = ParseDemoOptions(args, options);
  if (!error.empty()) return UsageError(kDemoSynopsis, error);
  if (options.help) return PrintCommandHelp(kDemoSynopsis, kDemoHelp);

  const auto [width, height] = options.size;
  ScopedPicBuf clean;
  ScopedPicBuf noisy;
  ScopedPicBuf denoised;
  if (synthetic::MakeSmoothScene(*clean, width, height) ||
      CBxPicBufAPI::ReinitHeap(*noisy, *clean) || CBxPicBufAPI::ReinitHeap(*denoised, *clean)) {
    return OutOfMemory();
  }
  CBxPicBufAPI::Copy(*noisy, *clean);
  synthetic::AddGaussianNoise(*noisy, options.sigma, synthetic::kNoiseSeed);

  const NoiseLevels before = MeasureNoise(*noisy);
  const auto progress = MakeStderrProgress("denoising");
  const auto start = std::chrono::steady_clock::now();
  DenoisePicture(*denoised, *noisy, options.strength, options.strength, 0.0, options.quality, 0.0,
                 progress.get(), before, /*processInYUV=*/true, /*useGpu=*/false, /*fusion=*/false,
                 kMedianNone);
  const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
  if (progress) progress->Finish();
  const NoiseLevels after = MeasureNoise(*denoised);

  std::printf("picture       %d x %d, 3 components of 8 bits, Gaussian noise sigma %g\n", width,
              height, options.sigma);
  std::printf("settings      quality %d (%d x %d search window), strength %g for luma and chroma\n",
              options.quality, SearchWindowSide(options.quality), SearchWindowSide(options.quality),
              options.strength);
  std::printf("                   before     after\n");
  std::printf("noise luma     %10.2f %9.2f\n", before.luma, after.luma);
  std::printf("noise chroma   %10.2f %9.2f\n", before.chroma, after.chroma);
  std::printf("PSNR (dB)      %10.2f %9.2f\n", synthetic::Psnr(*clean, *noisy),
              synthetic::Psnr(*clean, *denoised));
  std::printf("elapsed       %.3f s on %u threads\n", elapsed.count(),
              EngineThreadCount());
  return kExitSuccess;
}

}  // namespace cli
