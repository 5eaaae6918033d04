// Checksums of whole `DenoisePicture` results, recorded from the straightforward per-offset filter
// before any of its passes were shaped for speed. Every later change to the filter must keep them:
// a differing checksum means a changed output bit somewhere in the picture.
//
// To re-record the table after an intended change of the output, run the test with
// STILLGRAIN_PRINT_GOLDEN=1 and paste the printed rows.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "engine/denoise.h"
#include "engine/nlm_kernels.h"
#include "support/kernel_forms.h"
#include "support/single_cpu.h"
#include "support/test_pictures.h"

namespace {

using testpics::Picture;

enum class Scene { kRandom, kSmoothNoisy };

struct GoldenCase {
  const char* name;
  int32_t width, height;
  uint32_t components, bits;
  Scene scene;
  double strength, strengthChroma, strengthChromaLarge;
  int32_t quality;
  double dynamics;
  bool yuv;
  int32_t median;
  uint64_t checksum;
};

// FNV-1a over the sample bytes of every row, in order.
uint64_t Checksum(const SBxPicBuf& p) {
  uint64_t hash = 14695981039346656037ull;
  const size_t rowBytes = static_cast<size_t>(p.width) * p.components * (p.bitsPerComponent / 8);
  for (int32_t y = 0; y < p.height; ++y) {
    const uint8_t* row = PicRow<uint8_t>(p, y);
    for (size_t i = 0; i < rowBytes; ++i) {
      hash ^= row[i];
      hash *= 1099511628211ull;
    }
  }
  return hash;
}

// Random samples are squeezed into a band of 16 grey levels (in 8-bit units) so that patches are
// close enough for the weights to matter; the smooth scene carries light noise for the same reason.
Picture Input(const GoldenCase& c) {
  if (c.scene == Scene::kRandom) {
    Picture p = testpics::RandomPicture(c.width, c.height, c.components, c.bits, 17);
    const double scale = c.bits == 8 ? 1.0 : 257.0;
    for (int32_t y = 0; y < c.height; ++y) {
      for (int32_t x = 0; x < c.width; ++x) {
        for (uint32_t k = 0; k < c.components; ++k) {
          p.Set(x, y, k, 96 * scale + std::fmod(p.At(x, y, k), 16 * scale));
        }
      }
    }
    return p;
  }
  return testpics::AddNoise(testpics::SmoothScene(c.width, c.height, c.components, c.bits), 4.0,
                            23);
}

struct Checksums {
  uint64_t input;
  uint64_t output;
};

Checksums DenoisedChecksum(const GoldenCase& c) {
  const Picture in = Input(c);
  Picture out(c.width, c.height, c.components, c.bits);
  DenoisePicture(out, in, c.strength, c.strengthChroma, c.strengthChromaLarge, c.quality,
                 c.dynamics, nullptr, NoiseLevels{-1.0, -1.0, -1.0}, c.yuv, false, false, c.median);
  return {Checksum(in), Checksum(out)};
}

constexpr auto kRandom = Scene::kRandom;
constexpr auto kSmooth = Scene::kSmoothNoisy;

// name, size, components, bits, scene, strengths (luma, chroma, chroma-large), quality, dynamics,
// Y/U/V, median mode, checksum.
const GoldenCase kCases[] = {
    {"grey8 smooth q3", 64, 48, 1, 8, kSmooth, 10, 10, 0, 3, 0, false, kMedianNone,
     0x7077631f9bcd6db6ull},
    {"grey8 random odd q1 dark", 61, 47, 1, 8, kRandom, 12, 12, 0, 1, -1, false, kMedianNone,
     0x6d6061d42a36bb33ull},
    {"grey8 smooth q2 light", 97, 33, 1, 8, kSmooth, 8, 8, 0, 2, 1.5, false, kMedianNone,
     0x5a11dc26e18d7322ull},
    {"grey8 random q3 strong", 40, 90, 1, 8, kRandom, 30, 30, 0, 3, 0.5, false, kMedianCommon,
     0x5a2b6b4444f79a9dull},
    {"grey8 smooth weak", 50, 52, 1, 8, kSmooth, 7, 7, 0, 3, 0, false, kMedianNone,
     0x315d00b3e5dc60afull},
    {"grey16 smooth q3", 64, 48, 1, 16, kSmooth, 10, 10, 0, 3, 0, false, kMedianNone,
     0x71bb6a3ff0cb93b7ull},
    {"grey16 random odd q2 dark", 45, 63, 1, 16, kRandom, 14, 14, 0, 2, -0.5, false, kMedianNone,
     0xfb4c8b3b9c9efb1bull},
    {"grey16 smooth q1 blurred light", 80, 40, 1, 16, kSmooth, 30, 30, 0, 1, 2, false,
     kMedianStrong, 0x1b082d6326b71869ull},
    {"colour8 smooth q3", 72, 56, 3, 8, kSmooth, 10, 12, 0, 3, 0, true, kMedianNone,
     0x3b13300e202e2282ull},
    {"colour8 smooth q2 large", 90, 70, 3, 8, kSmooth, 9, 11, 10, 2, 0.5, true, kMedianNone,
     0xd3ed58ac3648c3f9ull},
    {"colour8 random odd q1 large", 33, 41, 3, 8, kRandom, 12, 15, 10, 1, 0, true, kMedianCommon,
     0xc470a33815d7a5baull},
    {"colour8 as components", 50, 50, 3, 8, kSmooth, 10, 10, 0, 3, -1, false, kMedianNone,
     0xe45319f10a402eceull},
    {"colour8 smooth q3 large wide", 300, 200, 3, 8, kSmooth, 10, 10, 10, 3, 0, true, kMedianNone,
     0x4d516b278038c223ull},
    {"colour8 blurred q1", 60, 44, 3, 8, kSmooth, 28, 40, 0, 1, 1, true, kMedianNone,
     0x67d7adb13ccb3197ull},
    {"colour16 smooth odd q3 large", 77, 51, 3, 16, kSmooth, 10, 12, 10, 3, -1, true, kMedianStrong,
     0x9845d50e9ddf12ebull},
    {"colour16 random q1", 64, 64, 3, 16, kRandom, 11, 13, 0, 1, 0, true, kMedianNone,
     0x2d556ef67112eadbull},
    {"colour16 smooth q2 large wide", 180, 120, 3, 16, kSmooth, 10, 10, 10, 2, 0.5, true,
     kMedianNone, 0x6e9d67ca3aac305aull},
    {"colour8 tiled q1 large", 1100, 60, 3, 8, kSmooth, 10, 10, 10, 1, 0, true, kMedianNone,
     0xfedb4d130e6af47bull},
    {"grey16 tiled q2", 1100, 60, 1, 16, kSmooth, 12, 12, 0, 2, -0.5, false, kMedianNone,
     0xee872098acc7d84dull},
};

bool PrintRequested() { return std::getenv("STILLGRAIN_PRINT_GOLDEN") != nullptr; }

void ExpectGoldenChecksums(const std::string& label) {
  for (const GoldenCase& c : kCases) {
    const Checksums checksums = DenoisedChecksum(c);
    if (PrintRequested()) {
      std::printf("%s  %-34s 0x%016llxull\n", label.c_str(), c.name,
                  static_cast<unsigned long long>(checksums.output));
      continue;
    }
    // A case whose output is its input would guard nothing of the filter.
    EXPECT_NE(checksums.output, checksums.input) << c.name << " comes back unchanged";
    EXPECT_EQ(checksums.output, c.checksum) << c.name << " (" << label << ")";
  }
}

// Every form of the filter's kernels the processor runs.
TEST(EngineGolden, OutputsKeepTheirRecordedChecksums) {
  for (const NlmRowKernels* kernels : KernelForms()) {
    UseNlmKernels(kernels);
    ExpectGoldenChecksums(std::string("all CPUs, ") + kernels->name);
  }
  UseNlmKernels(nullptr);
}

// The engine takes its thread count from the affinity mask; with CPU 0 alone it runs single
// threaded, which must give the same bits.
TEST(EngineGolden, OneThreadGivesTheSameChecksums) {
  if (!OnCpuZeroOnly([] { ExpectGoldenChecksums("one CPU"); })) {
    GTEST_SKIP() << "CPU 0 is not available to this process";
  }
}

}  // namespace
