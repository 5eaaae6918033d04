// The measuring step of the noise calibration (tools/fit_noise_calibration.py drives it): denoises
// one noisy photo of the corpus at every strength of a list and prints, as one JSON object, the
// PSNR of the results against the clean photo; or prints the noise measured on a photo.
//
//   calibration_sweep CLEAN NOISY STRENGTHS GAINS
//     STRENGTHS  comma-separated strengths, e.g. 0,2,4,8,16
//     GAINS      detail gain sets T,M,R separated by ';', e.g. "1,1,1;0.8,1,1"
//   calibration_sweep --noise NOISY
//     only the noise measured on the photo (MeasurePhotoNoiseInDetail): whole, smooth, coarse, grid
//
// The engine denoises Y with the luma strength and U, V with the chroma strength, each on its own,
// so one run per strength serves every pair: a pair's picture takes Y from one run and U, V from
// another. The object holds
//   strengths   the strengths run (class Sweep tells which), in the order of the list
//   split       PSNR without sharpening, [luma strength][chroma strength]
//   sweep       PSNR with chroma 1.5 × strength (at most 50; the listed strength nearest to it),
//               [strength][gain set]
//   bestChroma  per luma strength, the chroma strength of the best split PSNR
//   tuned       PSNR of the pair (strength, bestChroma) sharpened, [strength][gain set]
// Sharpening is tried only where it can matter: for luma strengths whose best split PSNR is within
// 1.5 dB of the best of all, and for the two strengths on either side of the engine's pre-blur
// (the strongest listed strength of 25 or less and the gentlest above it): the results jump there,
// so the fit must never interpolate across it, and attenuated fine detail just below it can stand
// in for the blur, which costs detailed photos much. The other rows of sweep and tuned are null.
// The rows and columns follow `strengths`. The run uses one CPU, so that two sweeps can share two
// cores.
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "engine/denoise.h"
#include "engine/sharpen_picture.h"
#include "picture/photo_loading.h"
#include "platform/cpu_affinity.h"
#include "profiles/photo_noise.h"

namespace {

struct Gains {
  double tiny, medium, rough;
};

// The pixels of a picture as doubles, B, G, R interleaved (or grey).
using Samples = std::vector<double>;

std::vector<double> ParseList(std::string_view text, char separator) {
  std::vector<double> values;
  while (!text.empty()) {
    const size_t end = std::min(text.find(separator), text.size());
    values.push_back(std::stod(std::string(text.substr(0, end))));
    text.remove_prefix(std::min(end + 1, text.size()));
  }
  return values;
}

std::vector<Gains> ParseGains(std::string_view text) {
  std::vector<Gains> sets;
  for (size_t start = 0; start < text.size();) {
    const size_t end = std::min(text.find(';', start), text.size());
    const std::vector<double> g = ParseList(text.substr(start, end - start), ',');
    if (g.size() == 3) sets.push_back({g[0], g[1], g[2]});
    start = end + 1;
  }
  return sets;
}

Samples SamplesOf(const SBxPicBuf& picture) {
  Samples samples;
  samples.reserve(static_cast<size_t>(picture.width) * picture.height * picture.components);
  for (int32_t y = 0; y < picture.height; ++y) {
    const uint8_t* row = PicRow<uint8_t>(picture, y);
    samples.insert(samples.end(), row,
                   row + static_cast<size_t>(picture.width) * picture.components);
  }
  return samples;
}

void StoreSamples(SBxPicBuf& picture, const Samples& samples) {
  const size_t rowSamples = static_cast<size_t>(picture.width) * picture.components;
  for (int32_t y = 0; y < picture.height; ++y) {
    uint8_t* row = PicRow<uint8_t>(picture, y);
    for (size_t i = 0; i < rowSamples; ++i) {
      const double v = std::floor(samples[y * rowSamples + i] + 0.5);
      row[i] = static_cast<uint8_t>(std::clamp(v, 0.0, 255.0));
    }
  }
}

double Psnr(const Samples& a, const Samples& b) {
  double sum = 0;
  for (size_t i = 0; i < a.size(); ++i) sum += (a[i] - b[i]) * (a[i] - b[i]);
  const double mse = std::max(sum / static_cast<double>(a.size()), 1e-10);
  return 10.0 * std::log10(255.0 * 255.0 / mse);
}

// Y of `luma`'s pixels with U, V of `chroma`'s, rounded to whole values as the engine's result is.
Samples Combined(const Samples& luma, const Samples& chroma) {
  Samples out(luma.size());
  for (size_t i = 0; i + 2 < luma.size(); i += 3) {
    const auto yOf = [](const double* p) { return 0.114 * p[0] + 0.587 * p[1] + 0.299 * p[2]; };
    const double y = yOf(&luma[i]);
    const double yc = yOf(&chroma[i]);
    const double b = y + (chroma[i] - yc);
    const double r = y + (chroma[i + 2] - yc);
    out[i] = b;
    out[i + 2] = r;
    out[i + 1] = (y - 0.114 * b - 0.299 * r) / 0.587;
  }
  for (double& v : out) v = std::clamp(std::floor(v + 0.5), 0.0, 255.0);
  return out;
}

// A row of numbers; an empty row is null.
std::string JsonRow(const std::vector<double>& values) {
  if (values.empty()) return "null";
  std::string row = "[";
  for (size_t i = 0; i < values.size(); ++i) {
    char number[32];
    std::snprintf(number, sizeof(number), "%s%.4f", i ? ", " : "", values[i]);
    row += number;
  }
  return row + "]";
}

std::string JsonRows(const std::vector<std::vector<double>>& rows) {
  std::string text = "[";
  for (size_t i = 0; i < rows.size(); ++i) text += (i ? ",\n  " : "") + JsonRow(rows[i]);
  return text + "]";
}

// The runs of one noisy photo: first every third strength of the list, then every strength near
// the best luma and chroma strengths found and near 1.5 times the luma one (where the runs with
// chroma 1.5 × strength have their best). Strengths far from the best are only
// seen coarsely, which is all the fit needs of them.
class Sweep {
 public:
  Sweep(PhotoDocument& noisy, const Samples& reference, std::vector<double> strengths)
      : source_(noisy.sourcePicture),
        out_(noisy.denoisedPicture),
        reference_(reference),
        strengths_(std::move(strengths)),
        runs_(strengths_.size()) {}

  void RunCoarse() {
    for (size_t i = 0; i < strengths_.size(); i += 3) Run(i);
    Run(strengths_.size() - 1);
  }

  // The listed strengths on either side of the pre-blur: always run, always sharpened.
  void RunAroundPreBlur() {
    for (const std::optional<size_t> i : AroundPreBlur()) {
      if (i) Run(*i);
    }
  }

  void RunNearBest() {
    const auto [luma, chroma] = BestPair();
    for (const double centre : {luma, chroma, 1.5 * luma}) {
      for (size_t i = 0; i < strengths_.size(); ++i) {
        if (strengths_[i] >= centre / kNear - 1 && strengths_[i] <= centre * kNear + 1) Run(i);
      }
    }
  }

  // The JSON members of the results (split, sweep, bestChroma, tuned and the strengths run).
  std::string Results(const std::vector<Gains>& gains) {
    const std::vector<size_t> done = Done();
    std::vector<std::vector<double>> split;
    std::vector<std::vector<double>> sweep;
    std::vector<std::vector<double>> tuned;
    std::vector<double> strengths;
    std::vector<double> bestChroma;
    for (const size_t luma : done) {
      std::vector<double> row;
      for (const size_t chroma : done) row.push_back(Psnr(Pair(luma, chroma), reference_));
      split.push_back(row);
    }
    const double bestOfAll = Best(split);
    const auto [below, above] = AroundPreBlur();
    for (size_t l = 0; l < done.size(); ++l) {
      const auto& row = split[l];
      const size_t best =
          static_cast<size_t>(std::max_element(row.begin(), row.end()) - row.begin());
      strengths.push_back(strengths_[done[l]]);
      bestChroma.push_back(strengths_[done[best]]);
      const bool near =
          row[best] >= bestOfAll - kSharpenedWithin || done[l] == below || done[l] == above;
      tuned.push_back(near ? SharpenedPsnrs(Pair(done[l], done[best]), gains)
                           : std::vector<double>());
      const size_t sweepChroma = NearestDone(std::min(1.5 * strengths_[done[l]], 50.0));
      sweep.push_back(near ? SharpenedPsnrs(Pair(done[l], sweepChroma), gains)
                           : std::vector<double>());
    }
    return "\"strengths\": " + JsonRow(strengths) + ",\n\"split\": " + JsonRows(split) +
           ",\n\"sweep\": " + JsonRows(sweep) + ",\n\"bestChroma\": " + JsonRow(bestChroma) +
           ",\n\"tuned\": " + JsonRows(tuned);
  }

 private:
  static constexpr double kNear = 1.23;            // two steps of the fit's list
  static constexpr double kSharpenedWithin = 1.5;  // dB below the best split PSNR
  static constexpr double kPreBlurAbove = 25.0;    // the engine blurs Y first above this strength

  // The strongest listed strength without the pre-blur and the gentlest with it, where listed.
  std::array<std::optional<size_t>, 2> AroundPreBlur() const {
    std::array<std::optional<size_t>, 2> around;
    auto& [below, above] = around;
    for (size_t i = 0; i < strengths_.size(); ++i) {
      const double s = strengths_[i];
      if (s <= kPreBlurAbove && (!below || s > strengths_[*below])) below = i;
      if (s > kPreBlurAbove && (!above || s < strengths_[*above])) above = i;
    }
    return around;
  }

  void Run(size_t i) {
    if (!runs_[i].empty()) return;
    DenoisePicture(out_, source_, strengths_[i], strengths_[i], 0, 3, 0, nullptr,
                   NoiseLevels{-1, -1, -1}, true, false, false, kMedianNone);
    runs_[i] = SamplesOf(out_);
  }

  std::vector<size_t> Done() const {
    std::vector<size_t> done;
    for (size_t i = 0; i < runs_.size(); ++i) {
      if (!runs_[i].empty()) done.push_back(i);
    }
    return done;
  }

  size_t NearestDone(double wanted) const {
    size_t nearest = 0;
    for (const size_t i : Done()) {
      if (std::abs(strengths_[i] - wanted) < std::abs(strengths_[nearest] - wanted)) nearest = i;
    }
    return nearest;
  }

  Samples Pair(size_t luma, size_t chroma) const {
    return source_.components == 3 ? Combined(runs_[luma], runs_[chroma]) : runs_[luma];
  }

  static double Best(const std::vector<std::vector<double>>& rows) {
    double best = 0;
    for (const auto& row : rows) best = std::max(best, *std::max_element(row.begin(), row.end()));
    return best;
  }

  // The luma and chroma strengths of the best pair run so far.
  std::pair<double, double> BestPair() const {
    std::pair<double, double> best{0, 0};
    double bestPsnr = -1;
    for (const size_t luma : Done()) {
      for (const size_t chroma : Done()) {
        const double psnr = Psnr(Pair(luma, chroma), reference_);
        if (psnr > bestPsnr) {
          bestPsnr = psnr;
          best = {strengths_[luma], strengths_[chroma]};
        }
      }
    }
    return best;
  }

  std::vector<double> SharpenedPsnrs(const Samples& samples, const std::vector<Gains>& sets) {
    std::vector<double> psnrs;
    for (const Gains& g : sets) {
      StoreSamples(out_, samples);
      SharpenPicture(out_, g.tiny, g.medium, g.rough);
      psnrs.push_back(Psnr(SamplesOf(out_), reference_));
    }
    return psnrs;
  }

  const SBxPicBuf& source_;
  SBxPicBuf& out_;
  const Samples& reference_;
  std::vector<double> strengths_;
  std::vector<Samples> runs_;  // per strength, luma and chroma both at it; empty until run
};

bool Open(PhotoDocument& document, const char* path) {
  const OpenOutcome outcome = OpenPhotoFile(document, path, OpenOptions{uint64_t{1} << 32, false});
  if (outcome.failure != OpenFailure::kNone || document.sourcePicture.bitsPerComponent != 8) {
    std::fprintf(stderr, "calibration_sweep: cannot use %s (an 8-bit photo is needed)\n", path);
    return false;
  }
  return true;
}

}  // namespace

int NoiseOnly(const char* path) {
  PhotoDocument photo;
  if (!Open(photo, path)) return 2;
  const PhotoNoise noise = MeasurePhotoNoiseInDetail(photo.sourcePicture);
  std::printf(
      "{\"luma\": %.4f, \"chroma\": %.4f, \"smoothLuma\": %.4f, \"smoothChroma\": %.4f, "
      "\"coarseLuma\": %.4f, \"coarseChroma\": %.4f, \"gridLuma\": %.4f}\n",
      noise.whole.luma, noise.whole.chroma, noise.smooth.luma, noise.smooth.chroma,
      noise.coarse.luma, noise.coarse.chroma, noise.gridLuma);
  return 0;
}

int main(int argc, char** argv) {
  if (argc == 3 && std::string_view(argv[1]) == "--noise") return NoiseOnly(argv[2]);
  if (argc != 5) {
    std::fprintf(stderr,
                 "usage: calibration_sweep CLEAN NOISY STRENGTHS GAINS\n"
                 "       calibration_sweep --noise NOISY\n");
    return 1;
  }
  LimitProcessToCpus(1);
  PhotoDocument clean;
  PhotoDocument noisy;
  if (!Open(clean, argv[1]) || !Open(noisy, argv[2])) return 2;
  if (CBxPicBufAPI::ReinitHeap(noisy.denoisedPicture, noisy.sourcePicture)) {
    std::fprintf(stderr, "calibration_sweep: not enough memory\n");
    return 2;
  }
  const std::vector<Gains> gains = ParseGains(argv[4]);
  const Samples reference = SamplesOf(clean.sourcePicture);
  Sweep sweep(noisy, reference, ParseList(argv[3], ','));
  sweep.RunCoarse();
  sweep.RunAroundPreBlur();
  sweep.RunNearBest();
  std::printf("{%s}\n", sweep.Results(gains).c_str());
  return 0;
}
