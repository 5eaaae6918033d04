// Times the engine against OpenCV's non-local means on one photograph and prints, side by side, the
// plain run, the settings a photographer adds to it and OpenCV, with their throughput and ratios,
// and the machine they ran on. A benchmark, not a test: it never judges the figures.
//
//   denoise_vs_opencv [--photo PATH] [--size WxH] [--strength S] [--bits 8|16] [--threads N]
//                     [--repeat N] [--skip-opencv] [--preview]
//
// The picture is a synthetic landscape of --size (default 3000 × 2000), or with --photo an 8-bit
// colour photo, cut to --size from its middle when --size is smaller; noise of sigma 15 is added
// with a fixed seed either way.
// The engine runs, each on the same noisy picture (quality 3, Y/U/V, no GPU):
//   plain         chroma-large 0, dynamics 0, no sharpening
//   chroma-large  the coarse-scale chroma pass at 10
//   dynamics      dynamics 0.5 (the strength grows towards the highlights)
//   sharpening    the plain run followed by the detail gains 1.5 / 1.3 / 1.2 (tiny, medium, rough)
// and each is given as a ratio of its time to the plain run's. The runs take turns: --repeat N
// makes N rounds of all of them and reports the fastest of each, so that a busy moment of a shared
// machine slows one round rather than one setting.
// --bits 16 runs the engine on the picture widened to 16 bits (v · 257); OpenCV, which takes 8-bit
// colour only, keeps running on the 8-bit picture. --threads N confines the process to CPUs
// 0 … N − 1 (the engine counts its threads from the affinity mask) and gives OpenCV N threads.
// --preview times the engine's part of the live preview instead: a 200 × 200 rectangle from the
// middle of the picture, colour, chroma-large 10, computed from its region as the preview computes
// it (engine/denoise_rectangle.h: denoised, then sharpened with the same gains).
// bench/preview_latency times the whole preview in the desktop application.
//
// The engine runs at the built-in profile's strength of 10 unless --strength says otherwise. That
// strength is tuned for light noise and leaves most of the sigma-15 noise in place, which changes
// the quality of the result but not the filter's work: every offset of the search window is
// visited whatever the weights come to.
#include <sched.h>

#include <algorithm>
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
#include <vector>

#include "cli/synthetic_photo.h"
#include "engine/denoise.h"
#include "engine/denoise_rectangle.h"
#include "engine/sharpen_picture.h"
#include "picture/photo_document.h"
#include "picture/photo_loading.h"
#include "picture/pic_buf.h"

namespace {

constexpr double kSigma = 15.0;
constexpr const char kUsage[] =
    "usage: denoise_vs_opencv [--photo PATH] [--size WxH] [--strength S] [--bits 8|16]\n"
    "                         [--threads N] [--repeat N] [--skip-opencv] [--preview]\n";

// The side of the preview rectangle of the parameters panel.
constexpr int32_t kPreviewSide = 200;
// Sharpening gains of the sharpened runs and of the preview: every level of the detail pyramid is
// rebuilt.
constexpr double kGains[3] = {1.5, 1.3, 1.2};
constexpr double kDynamics = 0.5;

struct Options {
  std::string photo;  // empty: the synthetic landscape
  std::optional<synthetic::PictureSize> size;
  double strength = 10.0;
  uint32_t bits = 8;
  int threads = 0;  // 0: every CPU the process may use
  int repeat = 1;
  bool skipOpenCv = false;
  bool preview = false;
};

// The fastest run's wall-clock time and the least processor time of all threads of a run: on a
// machine shared with other work the second tells the work itself more steadily.
struct Run {
  double seconds;
  double psnr;
  double cpuSeconds = 0;
};

// Processor time of every thread of the process so far.
double CpuSeconds() {
  timespec now{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) + 1e-9 * static_cast<double>(now.tv_nsec);
}

std::optional<int> ParseCount(std::string_view text, int low, int high) {
  int value = 0;
  auto [ptr, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec != std::errc() || ptr != text.data() + text.size() || value < low || value > high) {
    return std::nullopt;
  }
  return value;
}

std::optional<Options> ParseOptions(int argc, char** argv) {
  Options options;
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (arg == "--skip-opencv") {
      options.skipOpenCv = true;
    } else if (arg == "--preview") {
      options.preview = true;
    } else if ((arg == "--bits" || arg == "--threads" || arg == "--repeat") && i + 1 < argc) {
      const std::optional<int> count = ParseCount(argv[++i], 1, arg == "--bits" ? 16 : 1000);
      if (!count) return std::nullopt;
      if (arg == "--bits") {
        if (*count != 8 && *count != 16) return std::nullopt;
        options.bits = static_cast<uint32_t>(*count);
      } else if (arg == "--threads") {
        options.threads = *count;
      } else {
        options.repeat = *count;
      }
    } else if (arg == "--photo" && i + 1 < argc) {
      options.photo = argv[++i];
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

// The fastest of `repeat` runs of `work`.
double Seconds(int repeat, const std::function<void()>& work) {
  double best = 0;
  for (int i = 0; i < repeat; ++i) {
    const auto start = std::chrono::steady_clock::now();
    work();
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    best = i == 0 ? seconds : std::min(best, seconds);
  }
  return best;
}

// Confines the process to CPUs 0 … count − 1. False when they are not all available.
bool UseFirstCpus(int count) {
  cpu_set_t allowed;
  if (sched_getaffinity(0, sizeof(allowed), &allowed) != 0) return false;
  cpu_set_t wanted;
  CPU_ZERO(&wanted);
  for (int cpu = 0; cpu < count; ++cpu) {
    if (cpu >= CPU_SETSIZE || !CPU_ISSET(cpu, &allowed)) return false;
    CPU_SET(cpu, &wanted);
  }
  return sched_setaffinity(0, sizeof(wanted), &wanted) == 0;
}

// The photo at `path` as an 8-bit B-G-R raster, cut to `size` from its middle where that is
// smaller. Prints why and returns false when the photo cannot be used.
bool LoadPhoto(SBxPicBuf& picture, const std::string& path,
               std::optional<synthetic::PictureSize> size) {
  PhotoDocument document;
  const OpenFailure failure = OpenPhotoFile(document, path, MaxPhotoPixels());
  const SBxPicBuf& photo = document.sourcePicture;
  bool usable = failure == OpenFailure::kNone;
  if (!usable) {
    std::fprintf(stderr, "denoise_vs_opencv: %s: %s\n", path.c_str(),
                 OpenFailureReason(failure).c_str());
  } else if (photo.components != 3 || photo.bitsPerComponent != 8) {
    std::fprintf(stderr, "denoise_vs_opencv: %s: not an 8-bit colour photo\n", path.c_str());
    usable = false;
  } else {
    const int32_t width = size ? std::min(size->width, photo.width) : photo.width;
    const int32_t height = size ? std::min(size->height, photo.height) : photo.height;
    usable = !CBxPicBufAPI::ReinitHeap(picture, width, height, 3, 8);
    if (usable) {
      CBxPicBufAPI::CopyRect(picture, photo, {0, 0},
                             {(photo.width - width) / 2, (photo.height - height) / 2},
                             {width, height});
    } else {
      std::fputs("denoise_vs_opencv: not enough memory for the picture\n", stderr);
    }
  }
  ReleasePhotoDocument(document);
  return usable;
}

// The picture before noise: the photo of --photo or the synthetic landscape.
bool MakeCleanPicture(const Options& options, SBxPicBuf& clean) {
  if (!options.photo.empty()) return LoadPhoto(clean, options.photo, options.size);
  const synthetic::PictureSize size = options.size.value_or(synthetic::PictureSize{3000, 2000});
  if (synthetic::MakeSmoothScene(clean, size.width, size.height)) {
    std::fputs("denoise_vs_opencv: not enough memory for the picture\n", stderr);
    return false;
  }
  return true;
}

// One setting of the engine: what it adds to the plain run.
struct Setting {
  const char* name;
  double strengthChromaLarge;
  double dynamics;
  bool sharpen;
};

// The first is the plain run, which the others are compared with.
constexpr Setting kSettings[] = {
    {"plain", 0, 0, false},
    {"chroma-large 10", 10, 0, false},
    {"dynamics 0.5", 0, kDynamics, false},
    {"gains 1.5/1.3/1.2", 0, 0, true},
};

// Denoises (and sharpens, when the setting says so) `noisy` into `out`.
void RunSetting(SBxPicBuf& out, const SBxPicBuf& noisy, const NoiseLevels& levels, double strength,
                const Setting& setting) {
  DenoiseRequest request;
  request.strength = strength;
  request.strengthChroma = strength;
  request.strengthChromaLarge = setting.strengthChromaLarge;
  request.dynamics = setting.dynamics;
  request.noiseLevels = levels;
  DenoisePicture(out, noisy, request);
  if (setting.sharpen && SharpenPicture(out, kGains[0], kGains[1], kGains[2])) {
    std::fputs("denoise_vs_opencv: not enough memory to sharpen\n", stderr);
  }
}

// PSNR of the engine's result at 8 bits, whatever depth it ran at.
double Psnr8(const SBxPicBuf& clean, const SBxPicBuf& result) {
  if (result.bitsPerComponent == 8) return synthetic::Psnr(clean, result);
  ScopedPicBuf narrowed;
  if (CBxPicBufAPI::ReinitHeap(*narrowed, result)) return 0;
  CBxPicBufAPI::Copy(*narrowed, result);
  if (CBxPicBufAPI::ConvertBpcComp(*narrowed, 8, 3)) return 0;
  return synthetic::Psnr(clean, *narrowed);
}

// Each setting once per round, `rounds` rounds; the fastest run of each setting.
std::vector<Run> TimeSettings(SBxPicBuf& out, const SBxPicBuf& clean, const SBxPicBuf& noisy,
                              const NoiseLevels& levels, double strength, int rounds) {
  std::vector<Run> runs(std::size(kSettings));
  for (int round = 0; round < rounds; ++round) {
    for (size_t k = 0; k < runs.size(); ++k) {
      const double cpuBefore = CpuSeconds();
      const double seconds =
          Seconds(1, [&] { RunSetting(out, noisy, levels, strength, kSettings[k]); });
      const double cpu = CpuSeconds() - cpuBefore;
      if (round == 0 || seconds < runs[k].seconds) {
        runs[k] = {seconds, Psnr8(clean, out), round == 0 ? cpu : runs[k].cpuSeconds};
      }
      runs[k].cpuSeconds = std::min(runs[k].cpuSeconds, cpu);
    }
  }
  return runs;
}

Run TimeOpenCv(const SBxPicBuf& clean, const SBxPicBuf& noisy, int repeat) {
  // Both keep colour pictures as B, G, R: the raster is handed over without a copy.
  const cv::Mat src(noisy.height, noisy.width, CV_8UC3, noisy.data, noisy.stride);
  cv::Mat dst;
  const double seconds =
      Seconds(repeat, [&] { cv::fastNlMeansDenoisingColored(src, dst, 10, 10, 7, 21); });
  SBxPicBuf result = noisy;
  result.data = dst.data;
  return {seconds, synthetic::Psnr(clean, result)};
}

std::string EngineLabel(uint32_t bits, double strength, const Setting& setting) {
  char label[96];
  std::snprintf(label, sizeof(label), "engine  %u-bit, quality 3, %g/%g, %s", bits, strength,
                strength, setting.name);
  return label;
}

// Times the preview of a 200 × 200 rectangle from the middle of the picture: every run, since a
// preview is recomputed on each change; prints the fastest and the median.
void TimePreview(const SBxPicBuf& noisy, const NoiseLevels& levels, double strength, int repeat) {
  DenoiseRequest request;
  request.strength = request.strengthChroma = strength;
  request.strengthChromaLarge = 10;
  request.noiseLevels = levels;
  const DetailGains gains{kGains[0], kGains[1], kGains[2]};
  const int32_t x = (noisy.width - kPreviewSide) / 2;
  const int32_t y = (noisy.height - kPreviewSide) / 2;
  const TileRect rect{x, y, x + kPreviewSide, y + kPreviewSide};
  const TileRect region = RectangleRegion(rect, request, gains, noisy.width, noisy.height);
  ScopedPicBuf shown;
  std::vector<double> times;
  for (int i = 0; i < std::max(repeat, 5); ++i) {
    times.push_back(Seconds(1, [&] {
      if (DenoiseRectangle(*shown, noisy, rect, request, gains, {})) {
        std::fputs("denoise_vs_opencv: not enough memory for the preview\n", stderr);
      }
    }));
  }
  std::sort(times.begin(), times.end());
  std::printf(
      "preview  %d x %d from its %d x %d region, %u-bit colour, chroma-large 10, "
      "denoise + sharpen %g/%g/%g: fastest %.1f ms, median %.1f ms of %zu\n",
      kPreviewSide, kPreviewSide, region.Width(), region.Height(), noisy.bitsPerComponent,
      kGains[0], kGains[1], kGains[2], 1e3 * times.front(), 1e3 * times[times.size() / 2],
      times.size());
}

// One line a run: its time and throughput, its processor time where measured, its times against the
// plain run's (when `plain` is given) and OpenCV's time against its own (`opencv` > 0).
void PrintRun(const std::string& what, const Run& run, double megapixels, const Run* plain,
              double opencv) {
  std::printf("%-52s %7.2f s %7.3f MP/s  PSNR %6.2f dB", what.c_str(), run.seconds,
              megapixels / run.seconds, run.psnr);
  if (run.cpuSeconds > 0) std::printf("  CPU %6.2f s", run.cpuSeconds);
  if (plain != nullptr) {
    std::printf("  %5.2f x plain", run.seconds / plain->seconds);
    if (run.cpuSeconds > 0) std::printf(" (CPU %4.2f x)", run.cpuSeconds / plain->cpuSeconds);
  }
  if (opencv > 0) std::printf("  OpenCV / this %5.2f", opencv / run.seconds);
  std::printf("\n");
}

}  // namespace

int main(int argc, char** argv) {
  const std::optional<Options> options = ParseOptions(argc, argv);
  if (!options) {
    std::fputs(kUsage, stderr);
    return 2;
  }
  if (options->threads > 0) {
    if (!UseFirstCpus(options->threads)) {
      std::fprintf(stderr, "denoise_vs_opencv: CPUs 0 to %d are not all available\n",
                   options->threads - 1);
      return 1;
    }
    cv::setNumThreads(options->threads);
  }
  ScopedPicBuf clean;
  if (!MakeCleanPicture(*options, *clean)) return 1;
  const int32_t width = clean->width;
  const int32_t height = clean->height;
  const double megapixels = static_cast<double>(width) * height / 1e6;

  ScopedPicBuf noisy;
  ScopedPicBuf yuv;
  ScopedPicBuf denoised;
  if (CBxPicBufAPI::ReinitHeap(*noisy, *clean) || CBxPicBufAPI::ReinitHeap(*yuv, *clean) ||
      CBxPicBufAPI::ReinitHeap(*denoised, *clean)) {
    std::fputs("denoise_vs_opencv: not enough memory for the picture\n", stderr);
    return 1;
  }
  CBxPicBufAPI::Copy(*noisy, *clean);
  synthetic::AddGaussianNoise(*noisy, kSigma, synthetic::kNoiseSeed);
  CBxPicBufAPI::ConvertRGBtoYUV(*yuv, *noisy);
  NoiseLevels levels{};
  EstimateNoiseYUV(*yuv, levels);
  // The engine's input: the noisy picture itself, or widened to 16 bits.
  ScopedPicBuf wide;
  const SBxPicBuf* input = &*noisy;
  if (options->bits == 16) {
    if (CBxPicBufAPI::ReinitHeap(*wide, *noisy)) return 1;
    CBxPicBufAPI::Copy(*wide, *noisy);
    if (CBxPicBufAPI::ConvertBpcComp(*wide, 16, 3) || CBxPicBufAPI::ReinitHeap(*denoised, *wide)) {
      return 1;
    }
    input = &*wide;
  }

  const auto [cpuModel, cpuProcessors] = CpuModelAndCount();
  std::printf("date     %s\n", Today().c_str());
  std::printf("machine  %s, %d logical CPUs\n", cpuModel.c_str(), cpuProcessors);
  std::printf(
      "picture  %s, %d x %d (%.2f MP), 8-bit B-G-R, Gaussian noise sigma %g, PSNR %.2f dB\n",
      options->photo.empty() ? "synthetic landscape" : options->photo.c_str(), width, height,
      megapixels, kSigma, synthetic::Psnr(*clean, *noisy));
  std::printf("noise    luma %.2f, chroma %.2f (engine's estimate)\n\n", levels.luma,
              levels.chroma);
  std::fflush(stdout);

  if (options->preview) {
    TimePreview(*input, levels, options->strength, options->repeat);
    std::printf("\nthreads  engine %u\n", EngineThreadCount());
    return 0;
  }
  const std::vector<Run> runs =
      TimeSettings(*denoised, *clean, *input, levels, options->strength, options->repeat);
  const unsigned engineThreads = EngineThreadCount();
  const Run opencv = options->skipOpenCv ? Run{0, 0} : TimeOpenCv(*clean, *noisy, options->repeat);
  for (size_t k = 0; k < runs.size(); ++k) {
    PrintRun(EngineLabel(options->bits, options->strength, kSettings[k]), runs[k], megapixels,
             k == 0 ? nullptr : &runs[0], opencv.seconds);
  }
  if (options->skipOpenCv) {
    std::printf("\nthreads  engine %u\n", engineThreads);
    return 0;
  }
  PrintRun("OpenCV  fastNlMeansDenoisingColored 10/10/7/21", opencv, megapixels, &runs[0], 0);
  std::printf("\nthreads  engine %u, OpenCV %d\n", engineThreads, cv::getNumThreads());
  return 0;
}
