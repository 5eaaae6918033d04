#include "cli/demo_command.h"

#include <charconv>
#include <chrono>
#include <cstdio>
#include <optional>
#include <string>

#include "cli/synthetic_photo.h"
#include "cli/terminal_progress.h"
#include "engine/denoise.h"
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

std::optional<double> ParseNumber(std::string_view text) {
  double value = 0;
  const char* end = text.data() + text.size();
  auto [ptr, ec] = std::from_chars(text.data(), end, value);
  if (ec != std::errc() || ptr != end) return std::nullopt;
  return value;
}

int SearchWindow(int32_t quality) { return quality == 1 ? 7 : quality == 2 ? 13 : 21; }

// Fills `options` from the arguments. Returns an error message, empty on success.
std::string ParseDemoOptions(Arguments args, DemoOptions& options) {
  for (size_t i = 0; i < args.size(); ++i) {
    std::string_view name = args[i];
    std::optional<std::string_view> value;
    if (name == "-h" || name == "--help") {
      options.help = true;
      return {};
    }
    if (const size_t eq = name.find('='); name.starts_with("--") && eq != std::string_view::npos) {
      value = name.substr(eq + 1);
      name = name.substr(0, eq);
    }
    if (name != "--size" && name != "--sigma" && name != "--quality" && name != "--strength") {
      return "unknown option '" + std::string(args[i]) + "'";
    }
    if (!value) {
      if (i + 1 == args.size()) return "option '" + std::string(name) + "' needs a value";
      value = args[++i];
    }
    const std::string shown = "'" + std::string(*value) + "'";
    if (name == "--size") {
      const auto size = synthetic::ParsePictureSize(*value);
      if (!size) return "--size wants WxH with sides from 1 to 20000, not " + shown;
      options.size = *size;
    } else if (name == "--sigma") {
      const auto sigma = ParseNumber(*value);
      if (!sigma || !(*sigma >= 0 && *sigma <= 100)) {
        return "--sigma wants a number from 0 to 100, not " + shown;
      }
      options.sigma = *sigma;
    } else if (name == "--strength") {
      const auto strength = ParseNumber(*value);
      if (!strength || !(*strength >= 1 && *strength <= 50)) {
        return "--strength wants a number from 1 to 50, not " + shown;
      }
      options.strength = *strength;
    } else {
      if (*value != "1" && *value != "2" && *value != "3") {
        return "--quality wants 1, 2 or 3, not " + shown;
      }
      options.quality = (*value)[0] - '0';
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
  return kExitFailure;
}

}  // namespace

int RunDemo(Arguments args) {
  DemoOptions options;
  const std::string error = ParseDemoOptions(args, options);
  if (!error.empty()) return UsageError(kDemoSynopsis, error);
  if (options.help) {
    std::printf("usage: stillgrain-cli %.*s\n%.*s", static_cast<int>(kDemoSynopsis.size()),
                kDemoSynopsis.data(), static_cast<int>(kDemoHelp.size()), kDemoHelp.data());
    return kExitSuccess;
  }

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
              options.quality, SearchWindow(options.quality), SearchWindow(options.quality),
              options.strength);
  std::printf("                   before     after\n");
  std::printf("noise luma     %10.2f %9.2f\n", before.luma, after.luma);
  std::printf("noise chroma   %10.2f %9.2f\n", before.chroma, after.chroma);
  std::printf("PSNR (dB)      %10.2f %9.2f\n", synthetic::Psnr(*clean, *noisy),
              synthetic::Psnr(*clean, *denoised));
  std::printf("elapsed       %.3f s on %u threads\n", elapsed.count(),
              static_cast<unsigned>(cpuCount.load()));
  return kExitSuccess;
}

}  // namespace cli
