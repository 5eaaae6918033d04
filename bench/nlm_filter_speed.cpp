// Times the CPU filter itself on one thread, in nanoseconds per pixel and search offset, for every
// form of its row kernels this processor runs and for dynamics 0 and 0.5: the figure the filter's
// speed work is judged by (docs/PERFORMANCE.md). A benchmark, not a test.
//
//   nlm_filter_speed PHOTO [--side N] [--strength S] [--rounds N] [--form NAME]
//
// The picture is the luma (BT.601) of an N × N cut (default 1100, a tile of the sequential grid
// with its margins) from the middle of an 8-bit colour photo, filtered at quality 3 (220 offsets
// and the centre) with strength S (default 20). The forms and settings take turns for N rounds
// (default 3) and the fastest run of each is reported, so that a busy moment of a shared machine
// slows one round rather than one form. --form runs one form alone (SSE2, AVX2 or AVX-512), as a
// profiler or an instruction count wants.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

#include "engine/nlm_kernels.h"
#include "engine/non_local_means.h"
#include "picture/photo_document.h"
#include "picture/photo_loading.h"
#include "picture/pic_buf.h"

namespace {

// The luma of the side × side middle of `path`, or false with a message.
bool LoadLuma(SBxPicBuf& luma, const char* path, int32_t side) {
  PhotoDocument document;
  const OpenFailure failure = OpenPhotoFile(document, path, MaxPhotoPixels());
  const SBxPicBuf& photo = document.sourcePicture;
  bool usable = failure == OpenFailure::kNone && photo.components == 3 &&
                photo.bitsPerComponent == 8 && photo.width >= side && photo.height >= side;
  if (usable) {
    ScopedPicBuf cut;
    usable = !CBxPicBufAPI::ReinitHeap(*cut, side, side, 3, 8) &&
             !CBxPicBufAPI::ReinitHeap(luma, side, side, 1, 8);
    if (usable) {
      CBxPicBufAPI::CopyRect(*cut, photo, {0, 0},
                             {(photo.width - side) / 2, (photo.height - side) / 2}, {side, side});
      CBxPicBufAPI::ConvertRGBtoYUV(*cut, *cut);
      CBxPicBufAPI::ExtractComponent(luma, 0, *cut);
    }
  }
  if (!usable)
    std::fprintf(stderr, "nlm_filter_speed: %s: not an 8-bit colour photo of %d x %d\n", path, side,
                 side);
  ReleasePhotoDocument(document);
  return usable;
}

double ThreadSeconds() {
  timespec now{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) + 1e-9 * static_cast<double>(now.tv_nsec);
}

// The processor time of one filter call: on a machine shared with other work it leaves out the
// time the thread waits for a CPU, which the wall clock does not.
double SecondsOf(SBxPicBuf& out, const SBxPicBuf& luma, double strength, double dynamics) {
  const double start = ThreadSeconds();
  NonLocalMeans8(out, luma, luma, strength, 3, dynamics, {}, -1.0);
  return ThreadSeconds() - start;
}

}  // namespace

int main(int argc, char** argv) {
  int32_t side = 1100;
  double strength = 20;
  int rounds = 3;
  const char* onlyForm = nullptr;
  bool usable = argc >= 2;
  for (int i = 2; usable && i < argc; ++i) {
    if (i + 1 >= argc) {
      usable = false;
    } else if (std::strcmp(argv[i], "--side") == 0) {
      side = std::atoi(argv[++i]);
      usable = side >= 64;
    } else if (std::strcmp(argv[i], "--strength") == 0) {
      strength = std::atof(argv[++i]);
      usable = strength >= 1 && strength <= 50;
    } else if (std::strcmp(argv[i], "--form") == 0) {
      onlyForm = argv[++i];
    } else if (std::strcmp(argv[i], "--rounds") == 0) {
      rounds = std::atoi(argv[++i]);
      usable = rounds >= 1;
    } else {
      usable = false;
    }
  }
  if (!usable) {
    std::fputs(
        "usage: nlm_filter_speed PHOTO [--side N] [--strength S] [--rounds N] [--form NAME]\n",
        stderr);
    return 2;
  }
  ScopedPicBuf luma;
  ScopedPicBuf out;
  if (!LoadLuma(*luma, argv[1], side)) return 1;

  std::vector<const NlmRowKernels*> forms;
  for (const NlmRowKernels* form : {&NlmKernelsSse2(), NlmKernelsAvx2(), NlmKernelsAvx512()}) {
    if (form != nullptr && (onlyForm == nullptr || std::strcmp(form->name, onlyForm) == 0)) {
      forms.push_back(form);
    }
  }
  if (forms.empty()) {
    std::fprintf(stderr, "nlm_filter_speed: this processor has no %s form\n", onlyForm);
    return 2;
  }
  // The filter receives twice the user's dynamics.
  const double dynamics[] = {0.0, 1.0};
  std::vector<double> best(forms.size() * 2, 0);
  for (int round = 0; round < rounds; ++round) {
    for (size_t f = 0; f < forms.size(); ++f) {
      UseNlmKernels(forms[f]);
      for (size_t d = 0; d < 2; ++d) {
        const double seconds = SecondsOf(*out, *luma, strength, dynamics[d]);
        double& slot = best[2 * f + d];
        slot = round == 0 ? seconds : std::min(slot, seconds);
      }
    }
  }
  UseNlmKernels(nullptr);
  const NlmGeometry g = ComputeNlmGeometry(side, side, 3);
  const double pixelOffsets = static_cast<double>(side) * side * g.offsetCount;
  std::printf(
      "luma %d x %d of %s, strength %g, quality 3 (%d offsets), one thread, processor time, "
      "best of %d\n",
      side, side, argv[1], strength, g.offsetCount, rounds);
  std::printf("%-8s %22s %22s %9s\n", "kernels", "dynamics 0", "dynamics 0.5", "ratio");
  for (size_t f = 0; f < forms.size(); ++f) {
    const double plain = best[2 * f];
    const double dynamic = best[2 * f + 1];
    std::printf("%-8s %8.3f s %6.3f ns %8.3f s %6.3f ns %8.2f x\n", forms[f]->name, plain,
                1e9 * plain / pixelOffsets, dynamic, 1e9 * dynamic / pixelOffsets, dynamic / plain);
  }
  return 0;
}
