#include "engine/non_local_means.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <vector>

#include "engine/mirror_pad.h"
#include "engine/weight_table_cache.h"
#include "picture/photo_loading.h"
#include "support/photo_files.h"
#include "support/recording_progress.h"
#include "support/test_pictures.h"

namespace {

using testpics::Picture;

// The filter written pixel by pixel, straight from its definition: for every pixel and every
// offset of the half window, the 6 × 6 patch distance summed directly over the cell-aligned block,
// weighted for the offset and its mirror. Valid when the shorter side is at least 40, so that every
// block lies inside the padded raster.
Picture ReferenceFilter(const Picture& guide, const Picture& values, double strengthTerm,
                        int32_t quality, double dynamics) {
  const NlmGeometry g = ComputeNlmGeometry(guide.buf().width, guide.buf().height, quality);
  const int32_t b = g.border;
  auto reflect = [b](int32_t k, int32_t size) {
    if (k < b) return 2 * b - k;
    if (k > size - b - 1) return 2 * (size - b - 1) - k;
    return k;
  };
  auto padded = [&](const Picture& p, int32_t y, int32_t x) {
    return p.At(reflect(x, g.paddedWidth) - b, reflect(y, g.paddedHeight) - b);
  };
  auto distance = [&](int32_t py, int32_t px, int32_t dy, int32_t dx) {
    int32_t sum = 0;
    for (int32_t r = 2 * ((py >> 1) - 1); r <= 2 * ((py >> 1) + 1) + 1; ++r) {
      for (int32_t c = 2 * ((px >> 1) - 1); c <= 2 * ((px >> 1) + 1) + 1; ++c) {
        sum += static_cast<int32_t>(std::abs(padded(guide, r + dy, c + dx) - padded(guide, r, c)));
      }
    }
    return sum;
  };
  std::vector<std::vector<int32_t>> tables(256, std::vector<int32_t>(kWeightTableEntries));
  for (int32_t level = 0; level < 256; ++level) {
    FillWeightTable(tables[level].data(), level, dynamics, strengthTerm);
  }
  const SBxPicBuf& v = values.buf();
  Picture out(v.width, v.height, 1, v.bitsPerComponent);
  const double maximum = v.bitsPerComponent == 8 ? 255 : 65535;
  const int32_t q = g.searchSide;
  for (int32_t y = 0; y < v.height; ++y) {
    for (int32_t x = 0; x < v.width; ++x) {
      const int32_t py = y + b;
      const int32_t px = x + b;
      const std::vector<int32_t>& t = tables[static_cast<int32_t>(guide.At(x, y))];
      double weights = 0;
      double sum = 0;
      for (int32_t i = 0; i <= q * q / 2; ++i) {
        const int32_t dy = i / q - q / 2;
        const int32_t dx = i % q - q / 2;
        if (dy == 0 && dx == 0) {
          weights += t[0];
          sum += t[0] * values.At(x, y);
          continue;
        }
        const double u1 = t[distance(py, px, dy, dx)];
        const double u2 = t[distance(py - dy, px - dx, dy, dx)];
        weights += u1 + u2;
        sum += u1 * padded(values, py + dy, px + dx) + u2 * padded(values, py - dy, px - dx);
      }
      out.Set(x, y, 0, std::min(std::floor(sum / weights + 0.5), maximum));
    }
  }
  return out;
}

Picture GuideOf(const Picture& values16) {
  const SBxPicBuf& v = values16.buf();
  Picture guide(v.width, v.height, 1, 8);
  for (int32_t y = 0; y < v.height; ++y) {
    for (int32_t x = 0; x < v.width; ++x) {
      guide.Set(x, y, 0, std::floor((values16.At(x, y) * 255 + 32767) / 65535));
    }
  }
  return guide;
}

Picture Noisy(int32_t w, int32_t h, uint32_t bits, uint32_t seed) {
  return testpics::AddNoise(testpics::SmoothScene(w, h, 1, bits), 12.0, seed);
}

TEST(NlmGeometry, BorderFollowsTheShorterSideUpToItsLimit) {
  struct Case {
    int32_t w, h, radius, border;
  };
  for (const Case& c : {Case{18, 100, 8, 11}, Case{40, 48, 19, 22}, Case{71, 200, 34, 37},
                        Case{72, 72, 35, 38}, Case{1000, 1100, 35, 38}}) {
    const NlmGeometry g = ComputeNlmGeometry(c.w, c.h, 3);
    EXPECT_EQ(g.radius, c.radius) << c.w << "x" << c.h;
    EXPECT_EQ(g.border, c.border) << c.w << "x" << c.h;
    EXPECT_EQ(g.paddedWidth, c.w + 2 * c.border);
    EXPECT_EQ(g.cellWidth, (c.w + 2 * c.border) / 2);
  }
  // The 1050- and 1100-pixel-wide tiles of the sequential grid have 563 and 588 cells a row.
  EXPECT_EQ(ComputeNlmGeometry(1050, 1050, 3).cellWidth, 563);
  EXPECT_EQ(ComputeNlmGeometry(1100, 1100, 3).cellWidth, 588);
}

TEST(NlmGeometry, QualitySelectsTheSearchWindowAndItsHalf) {
  struct Case {
    int32_t quality, side, offsets;
  };
  for (const Case& c : {Case{1, 7, 25}, Case{2, 13, 85}, Case{3, 21, 221}, Case{0, 21, 221},
                        Case{5, 21, 221}, Case{7, 21, 221}}) {
    const NlmGeometry g = ComputeNlmGeometry(40, 40, c.quality);
    EXPECT_EQ(g.searchSide, c.side);
    EXPECT_EQ(g.offsetCount, c.offsets);
    const NlmOffset first = OffsetAt(0, g.searchSide);
    const NlmOffset last = OffsetAt(g.offsetCount - 1, g.searchSide);
    EXPECT_EQ(first.dy, -(c.side / 2));
    EXPECT_EQ(first.dx, -(c.side / 2));
    EXPECT_EQ(last.dy, 0);
    EXPECT_EQ(last.dx, 0);
  }
}

TEST(MirrorPad, ReflectsWithoutRepeatingTheEdge) {
  // Image span [3, 7) of a 10-wide padded raster.
  EXPECT_EQ(MirrorCoordinate(2, 3, 10), 4);
  EXPECT_EQ(MirrorCoordinate(0, 3, 10), 6);
  EXPECT_EQ(MirrorCoordinate(7, 3, 10), 5);
  EXPECT_EQ(MirrorCoordinate(9, 3, 10), 3);
  EXPECT_EQ(MirrorCoordinate(5, 3, 10), 5);
  // A one-pixel image repeats its pixel; a narrow one folds again.
  EXPECT_EQ(MirrorCoordinate(0, 3, 7), 3);
  EXPECT_EQ(MirrorCoordinate(0, 5, 12), 6);

  Picture raster(8, 8, 1, 8);
  for (int32_t y = 2; y < 6; ++y) {
    for (int32_t x = 2; x < 6; ++x) raster.Set(x, y, 0, 10 * y + x);
  }
  MirrorPad(raster, 2);
  EXPECT_EQ(raster.At(0, 3), raster.At(4, 3));
  EXPECT_EQ(raster.At(7, 2), raster.At(3, 2));
  EXPECT_EQ(raster.At(3, 0), raster.At(3, 4));
  EXPECT_EQ(raster.At(0, 0), raster.At(4, 4));  // corners are point reflections
  EXPECT_EQ(raster.At(7, 7), raster.At(3, 3));
}

TEST(NonLocalMeans, MatchesThePixelByPixelDefinition8Bit) {
  struct Case {
    int32_t width, height;
    double strength;
    int32_t quality;
    double dynamics;
  };
  // 110 rows make three bands of the filter.
  for (const Case& c : {Case{48, 40, 10, 1, 0}, Case{48, 40, 6, 2, 1.5}, Case{48, 40, 14, 3, -2},
                        Case{40, 110, 12, 3, 0}, Case{40, 110, 9, 2, 0.5}}) {
    const Picture noisy = Noisy(c.width, c.height, 8, 11);
    const Picture expected =
        ReferenceFilter(noisy, noisy, std::pow(c.strength, 3.5), c.quality, c.dynamics);
    Picture out(c.width, c.height, 1, 8);
    ASSERT_FALSE(
        NonLocalMeans8(out, noisy, noisy, c.strength, c.quality, c.dynamics, nullptr, -1.0));
    EXPECT_TRUE(testpics::BitIdentical(out, expected))
        << c.width << "x" << c.height << " strength " << c.strength << " quality " << c.quality
        << " max diff " << testpics::MaxAbsDifference(out, expected);
  }
}

TEST(NonLocalMeans, MatchesThePixelByPixelDefinition16Bit) {
  struct Case {
    int32_t width, height, quality;
    double dynamics;
  };
  // 76 rows make three bands of the 16-bit filter.
  for (const Case& c : {Case{40, 44, 1, 0.8}, Case{40, 44, 3, 0.8}, Case{42, 76, 3, 0}}) {
    const Picture values = Noisy(c.width, c.height, 16, 12);
    const Picture guide = GuideOf(values);
    const Picture expected =
        ReferenceFilter(guide, values, std::pow(9.0, 3.5), c.quality, c.dynamics);
    Picture out(c.width, c.height, 1, 16);
    ASSERT_FALSE(
        NonLocalMeans16(out, values, guide, values, 9, c.quality, c.dynamics, nullptr, -1.0));
    EXPECT_TRUE(testpics::BitIdentical(out, expected))
        << c.width << "x" << c.height << " quality " << c.quality << " max diff "
        << testpics::MaxAbsDifference(out, expected);
  }
}

// The luma of a 48 × 100 cut of the camera photo (dark ground and bright lights, samples from 4 to
// 255) with light noise: real texture instead of a made-up scene. Empty when the photo has not
// been fetched.
std::optional<Picture> CameraLuma() {
  const std::filesystem::path path = testphotos::TestPhoto(testphotos::kSonyPhoto);
  if (path.empty()) return std::nullopt;
  PhotoDocument document;
  if (OpenPhotoFile(document, path, MaxPhotoPixels()) != OpenFailure::kNone) {
    ReleasePhotoDocument(document);
    return std::nullopt;
  }
  Picture cut(48, 100, 3, 8);
  CBxPicBufAPI::CopyRect(cut, document.sourcePicture, {0, 0}, {2980, 2500}, {48, 100});
  ReleasePhotoDocument(document);
  Picture yuv(48, 100, 3, 8);
  CBxPicBufAPI::ConvertRGBtoYUV(yuv, cut);
  Picture luma(48, 100, 1, 8);
  CBxPicBufAPI::ExtractComponent(luma, 0, yuv);
  return testpics::AddNoise(luma, 4.0, 31);
}

TEST(NonLocalMeans, MatchesThePixelByPixelDefinitionOnTheCameraPhoto) {
  const std::optional<Picture> luma = CameraLuma();
  if (!luma) GTEST_SKIP() << testphotos::kSonyPhoto << " has not been fetched (make photos)";
  for (int32_t quality : {1, 2, 3}) {
    const double dynamics = quality - 2.0;  // negative, zero and positive
    const Picture expected = ReferenceFilter(*luma, *luma, std::pow(8.0, 3.5), quality, dynamics);
    Picture out(48, 100, 1, 8);
    ASSERT_FALSE(NonLocalMeans8(out, *luma, *luma, 8, quality, dynamics, nullptr, -1.0));
    EXPECT_TRUE(testpics::BitIdentical(out, expected)) << "8 bits, quality " << quality;
  }
  // The same luma widened to 16 bits (v · 257 + a little more noise), guided by its 8-bit form.
  const Picture values = testpics::AddNoise(
      [&] {
        Picture wide(*luma);
        EXPECT_FALSE(CBxPicBufAPI::ConvertBpcComp(wide, 16, 1));
        return wide;
      }(),
      0.5, 32);
  const Picture guide = GuideOf(values);
  const Picture expected = ReferenceFilter(guide, values, std::pow(8.0, 3.5), 3, 1.0);
  Picture out(48, 100, 1, 16);
  ASSERT_FALSE(NonLocalMeans16(out, values, guide, values, 8, 3, 1.0, nullptr, -1.0));
  EXPECT_TRUE(testpics::BitIdentical(out, expected)) << "16 bits";
}

TEST(NonLocalMeans, MultiThreadMembersAreBitIdenticalForEveryThreadCount) {
  // Threads share the work by bands of rows: one band (38 rows) and several (200 and 150 rows,
  // 5 bands each), fewer bands than threads and more.
  struct Case {
    int32_t width, height;
  };
  for (const Case& c : {Case{60, 38}, Case{38, 200}}) {
    const Picture noisy8 = Noisy(c.width, c.height, 8, 21);
    Picture single8(c.width, c.height, 1, 8);
    ASSERT_FALSE(NonLocalMeans8(single8, noisy8, noisy8, 12, 3, 0.5, nullptr, -1.0));
    for (int32_t threads = 2; threads <= 16; ++threads) {
      Picture multi8(c.width, c.height, 1, 8);
      ASSERT_FALSE(NonLocalMeans8Multi(multi8, noisy8, noisy8, 12, 3, 0.5, threads, nullptr, -1.0));
      EXPECT_TRUE(testpics::BitIdentical(multi8, single8))
          << threads << " threads, 8 bits, " << c.width << "x" << c.height;
    }
  }
  for (const Case& c : {Case{38, 42}, Case{44, 150}}) {
    const Picture values = Noisy(c.width, c.height, 16, 22);
    const Picture guide = GuideOf(values);
    Picture single16(c.width, c.height, 1, 16);
    ASSERT_FALSE(NonLocalMeans16(single16, values, guide, values, 12, 2, -1, nullptr, -1.0));
    for (int32_t threads = 2; threads <= 16; ++threads) {
      Picture multi16(c.width, c.height, 1, 16);
      ASSERT_FALSE(
          NonLocalMeans16Multi(multi16, values, guide, values, 12, 2, -1, threads, nullptr, -1.0));
      EXPECT_TRUE(testpics::BitIdentical(multi16, single16))
          << threads << " threads, 16 bits, " << c.width << "x" << c.height;
    }
  }
}

TEST(NonLocalMeans, ConstantRasterComesBackUnchanged) {
  for (uint32_t bits : {8u, 16u}) {
    const double value = bits == 8 ? 77 : 40000;
    const Picture flat = testpics::Constant(34, 50, 1, bits, value);
    const Picture guide = testpics::Constant(34, 50, 1, 8, bits == 8 ? 77 : 156);
    for (int32_t quality : {1, 2, 3}) {
      for (double strength : {1.0, 10.0, 50.0}) {
        Picture out(34, 50, 1, bits);
        if (bits == 8) {
          NonLocalMeans8(out, flat, flat, strength, quality, 1.0, nullptr, -1.0);
        } else {
          NonLocalMeans16Multi(out, flat, guide, flat, static_cast<int32_t>(strength), quality, 1.0,
                               3, nullptr, -1.0);
        }
        EXPECT_TRUE(testpics::BitIdentical(out, flat)) << bits << " bits, quality " << quality;
      }
    }
  }
}

TEST(NonLocalMeans, SmallRastersAreCopied) {
  for (auto [w, h] : {std::pair{16, 100}, std::pair{100, 16}, std::pair{4, 4}}) {
    const Picture noisy = testpics::RandomPicture(w, h, 1, 8, 3);
    Picture out(w, h, 1, 8);
    ASSERT_FALSE(NonLocalMeans8Multi(out, noisy, noisy, 20, 3, 0, 4, nullptr, -1.0));
    EXPECT_TRUE(testpics::BitIdentical(out, noisy)) << w << "x" << h;
  }
}

TEST(NonLocalMeans, NearZeroStrengthKeepsEveryPixelOfUniquePatches) {
  const Picture random = testpics::RandomPicture(40, 40, 1, 8, 5);
  Picture out(40, 40, 1, 8);
  ASSERT_FALSE(NonLocalMeans8(out, random, random, 0.01, 3, 0, nullptr, -1.0));
  EXPECT_TRUE(testpics::BitIdentical(out, random));
}

TEST(NonLocalMeans, SmoothsNoiseOnBothDepths) {
  for (uint32_t bits : {8u, 16u}) {
    const Picture clean = testpics::SmoothScene(64, 64, 1, bits);
    // Strength 20 weighs patch distances of about 200 (σ ≈ 5 per pixel) with e^−1.
    const Picture noisy = testpics::AddNoise(clean, 5.0, 9);
    Picture out(64, 64, 1, bits);
    if (bits == 8) {
      NonLocalMeans8(out, noisy, noisy, 20, 3, 0, nullptr, -1.0);
    } else {
      NonLocalMeans16(out, noisy, GuideOf(noisy), noisy, 20, 3, 0, nullptr, -1.0);
    }
    EXPECT_GT(testpics::Psnr(clean, out), testpics::Psnr(clean, noisy) + 4.0) << bits << " bits";
  }
}

TEST(NonLocalMeans, CallingThreadSendsOneStepPerOwnOffset) {
  struct Case {
    int32_t quality, threads, steps;
  };
  // 25, 85 and 221 offsets; the calling thread's share of an offset split is t = 0, n, 2n, …,
  // whether the picture makes one band (40 rows) or several (130 rows: 3 bands).
  for (int32_t height : {40, 130}) {
    const Picture noisy = Noisy(40, height, 8, 1);
    for (const Case& c : {Case{1, 1, 25}, Case{2, 1, 85}, Case{5, 1, 221}, Case{1, 4, 7},
                          Case{3, 16, 14}, Case{2, 2, 43}}) {
      RecordingProgress progress;
      Picture out(40, height, 1, 8);
      if (c.threads == 1) {
        NonLocalMeans8(out, noisy, noisy, 10, c.quality, 0, &progress, -1.0);
      } else {
        NonLocalMeans8Multi(out, noisy, noisy, 10, c.quality, 0, c.threads, &progress, -1.0);
      }
      EXPECT_EQ(progress.Calls().size(), static_cast<size_t>(c.steps))
          << height << " rows, quality " << c.quality << ", " << c.threads << " threads";
      for (const std::string& call : progress.Calls()) EXPECT_EQ(call, "delta 1");
    }
  }
}

TEST(NonLocalMeans, CancelStopsAfterTheCurrentOffsetAndWritesNothing) {
  for (int32_t height : {40, 130}) {
    const Picture noisy = Noisy(40, height, 8, 2);
    for (int32_t threads : {1, 3}) {
      RecordingProgress progress(2);  // raises the flag during the third step
      Picture out = testpics::Constant(40, height, 1, 8, 9);
      const bool failed =
          threads == 1
              ? NonLocalMeans8(out, noisy, noisy, 10, 3, 0, progress.Run(), -1.0)
              : NonLocalMeans8Multi(out, noisy, noisy, 10, 3, 0, threads, progress.Run(), -1.0);
      EXPECT_FALSE(failed);
      EXPECT_EQ(progress.Calls().size(), 3u) << height << " rows, " << threads << " threads";
      EXPECT_EQ(out.At(20, 20), 9) << "the output was written after a cancel";
    }
  }
}

}  // namespace
