// Times the engine against OpenCV's non-local means on one synthetic photograph and prints the
// throughput of each, their ratio and the machine they ran on. A benchmark, not a test: it never
// judges the figures.
//
//   denoise_vs_opencv [--size WxH] [--strength S] [--skip-opencv]
//
// The engine runs at the built-in profile's strength of 10 unless --strength says otherwise. That
// strength is tuned for light noise and leaves most of the sigma-15 noise in place, which changes
// the quality of the result but not the filter's work: every offset of the search window is
// visited whatever the weights come to.
#include <charconv>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <fstream>
#include <functional>
#include <opencv2/core.hpp>
#include <opencv2/photo.hpp>
#include <optional>
#include <string>
#include <string_view>

#include "cli/synthetic_photo.h"
#include "engine/denoise.h"
#include "picture/pic_buf.h"

namespace {

constexpr double kSigma = 15.0;
constexpr const char kUsage[] =
    "usage: denoise_vs_opencv [--size WxH] [--strength S] [--skip-opencv]\n";

struct Options {
  synthetic::PictureSize size{3000, 2000};
  double strength = 10.0;
  bool skipOpenCv = false;
};

struct Run {
  double seconds;
  double psnr;
};

std::optional<Options> ParseOptions(int argc, char** argv) {
  Options options;
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (arg == "--skip-opencv") {
      options.skipOpenCv = true;
    } else if (arg == "--size" && i + 1 < argc) {
      const auto size = synthetic::ParsePictureSize(argv[++i]);
      if (!size) return std::nullopt;
      options.size = *size;
    } else if (arg == "--strength" && i + 1 < argc) {
      const std::string_view text = argv[++i];
      double strength = 0;
      auto [ptr, ec] = std::from_chars(text.data(), text.data() + text.size(), strength);
      if (ec != std::errc() || ptr != text.data() + text.size() ||
          !(strength >= 1 && strength <= 50)) {
        return std::nullopt;
      }
      options.strength = strength;
    } else {
      return std::nullopt;
    }
  }
  return options;
}

// "model name" of the first processor in /proc/cpuinfo, and the number of processors listed.
std::pair<std::string, int> CpuModelAndCount() {
  std::ifstream cpuinfo("/proc/cpuinfo");
  std::string line;
  std::string model = "unknown CPU";
  int count = 0;
  bool haveModel = false;
  while (std::getline(cpuinfo, line)) {
    if (line.starts_with("processor")) ++count;
    if (!haveModel && line.starts_with("model name")) {
      const size_t colon = line.find(':');
      if (colon != std::string::npos) {
        model = line.substr(line.find_first_not_of(' ', colon + 1));
        haveModel = true;
      }
    }
  }
  return {model, count};
}

std::string Today() {
  const std::time_t now = std::time(nullptr);
  char text[32];
  std::strftime(text, sizeof(text), "%Y-%m-%d %H:%M %Z", std::localtime(&now));
  return text;
}

double Seconds(const std::function<void()>& work) {
  const auto start = std::chrono::steady_clock::now();
  work();
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

Run TimeEngine(SBxPicBuf& out, const SBxPicBuf& clean, const SBxPicBuf& noisy,
               const NoiseLevels& levels, double strength, double strengthChromaLarge) {
  const double seconds = Seconds([&] {
    DenoisePicture(out, noisy, strength, strength, strengthChromaLarge, 3, 0.0, nullptr, levels,
                   /*processInYUV=*/true, /*useGpu=*/false, /*fusion=*/false, kMedianNone);
  });
  return {seconds, synthetic::Psnr(clean, out)};
}

Run TimeOpenCv(const SBxPicBuf& clean, const SBxPicBuf& noisy) {
  // Both keep colour pictures as B, G, R: the raster is handed over without a copy.
  const cv::Mat src(noisy.height, noisy.width, CV_8UC3, noisy.data, noisy.stride);
  cv::Mat dst;
  const double seconds = Seconds([&] { cv::fastNlMeansDenoisingColored(src, dst, 10, 10, 7, 21); });
  SBxPicBuf result = noisy;
  result.data = dst.data;
  return {seconds, synthetic::Psnr(clean, result)};
}

std::string EngineLabel(double strength, int strengthChromaLarge) {
  char label[64];
  std::snprintf(label, sizeof(label), "engine  quality 3, %g/%g, chroma-large %d", strength,
                strength, strengthChromaLarge);
  return label;
}

void PrintRun(const std::string& what, const Run& run, double megapixels) {
  std::printf("%-46s %8.2f s %8.3f MP/s   PSNR %6.2f dB\n", what.c_str(), run.seconds,
              megapixels / run.seconds, run.psnr);
}

}  // namespace

int main(int argc, char** argv) {
  const std::optional<Options> options = ParseOptions(argc, argv);
  if (!options) {
    std::fputs(kUsage, stderr);
    return 2;
  }
  const auto [width, height] = options->size;
  const double megapixels = static_cast<double>(width) * height / 1e6;

  ScopedPicBuf clean;
  ScopedPicBuf noisy;
  ScopedPicBuf yuv;
  ScopedPicBuf denoised;
  if (synthetic::MakeSmoothScene(*clean, width, height) ||
      CBxPicBufAPI::ReinitHeap(*noisy, *clean) || CBxPicBufAPI::ReinitHeap(*yuv, *clean) ||
      CBxPicBufAPI::ReinitHeap(*denoised, *clean)) {
    std::fputs("denoise_vs_opencv: not enough memory for the picture\n", stderr);
    return 1;
  }
  CBxPicBufAPI::Copy(*noisy, *clean);
  synthetic::AddGaussianNoise(*noisy, kSigma, synthetic::kNoiseSeed);
  CBxPicBufAPI::ConvertRGBtoYUV(*yuv, *noisy);
  NoiseLevels levels{};
  EstimateNoiseYUV(*yuv, levels);

  const auto [cpuModel, cpuProcessors] = CpuModelAndCount();
  std::printf("date     %s\n", Today().c_str());
  std::printf("machine  %s, %d logical CPUs\n", cpuModel.c_str(), cpuProcessors);
  std::printf("picture  %d x %d (%.2f MP), 8-bit B-G-R, Gaussian noise sigma %g, PSNR %.2f dB\n",
              width, height, megapixels, kSigma, synthetic::Psnr(*clean, *noisy));
  std::printf("noise    luma %.2f, chroma %.2f (engine's estimate)\n\n", levels.luma,
              levels.chroma);
  std::fflush(stdout);

  const Run plain = TimeEngine(*denoised, *clean, *noisy, levels, options->strength, 0.0);
  const unsigned engineThreads = cpuCount.load();
  PrintRun(EngineLabel(options->strength, 0), plain, megapixels);
  std::fflush(stdout);
  const Run large = TimeEngine(*denoised, *clean, *noisy, levels, options->strength, 10.0);
  PrintRun(EngineLabel(options->strength, 10), large, megapixels);
  std::fflush(stdout);

  if (options->skipOpenCv) {
    std::printf("\nthreads  engine %u\n", engineThreads);
    return 0;
  }
  const Run opencv = TimeOpenCv(*clean, *noisy);
  PrintRun("OpenCV  fastNlMeansDenoisingColored 10/10/7/21", opencv, megapixels);
  std::printf("\nthreads  engine %u, OpenCV %d\n", engineThreads, cv::getNumThreads());
  std::printf(
      "ratio    engine / OpenCV throughput: %.2f (chroma-large 0), %.2f (chroma-large 10)\n",
      opencv.seconds / plain.seconds, opencv.seconds / large.seconds);
  return 0;
}
