#include "engine/split_rows.h"

#include <gtest/gtest.h>

#include <atomic>
#include <memory>

#include "engine/denoise_tile.h"
#include "support/test_pictures.h"

namespace {

using testpics::Picture;

TEST(SplitRows, EveryRowRunsExactlyOnceWhateverTheThreadCount) {
  for (int32_t count : {0, 1, 63, 64, 129, 1000}) {
    for (int32_t threads : {1, 2, 3, 7, 16, 40}) {
      auto runs = std::make_unique<std::atomic<int32_t>[]>(count + 1);
      for (int32_t y = 0; y < count; ++y) runs[y] = 0;
      SplitRows(count, threads, [&](RowRange rows) {
        for (int32_t y = rows.first; y < rows.end; ++y) ++runs[y];
      });
      for (int32_t y = 0; y < count; ++y) {
        ASSERT_EQ(runs[y], 1) << "row " << y << " of " << count << ", " << threads << " threads";
      }
    }
  }
}

// The banded form of a per-pixel operation against the same operation on the whole raster; both
// start from a copy of `dst`.
template <typename Op>
void ExpectBandsMatchWhole(const Picture& dst, const Picture& src, const Op& op) {
  const SBxPicBuf& s = src.buf();
  Picture whole(dst);
  op(whole.buf(), s);
  for (int32_t threads : {2, 3, 16}) {
    Picture banded(dst);
    SplitPixelOp(banded.buf(), s, threads, op);
    EXPECT_TRUE(testpics::BitIdentical(whole, banded))
        << s.width << " × " << s.height << " at " << s.bitsPerComponent << " bits, " << threads
        << " threads";
  }
}

TEST(SplitPixelOp, ConversionsAndComponentCopiesMatchTheWholeRaster) {
  for (uint32_t bits : {8u, 16u}) {
    for (int32_t height : {1, 65, 301}) {
      const Picture rgb = testpics::RandomPicture(37, height, 3, bits, 7);
      const Picture plane = testpics::RandomPicture(37, height, 1, bits, 8);
      const Picture other = testpics::RandomPicture(37, height, 3, bits, 9);
      ExpectBandsMatchWhole(other, rgb, &CBxPicBufAPI::ConvertRGBtoYUV);
      ExpectBandsMatchWhole(other, rgb, &CBxPicBufAPI::ConvertYUVtoRGB);
      ExpectBandsMatchWhole(plane, rgb, [](SBxPicBuf& component, const SBxPicBuf& picture) {
        CBxPicBufAPI::ExtractComponent(component, 2, picture);
      });
      ExpectBandsMatchWhole(other, plane, [](SBxPicBuf& picture, const SBxPicBuf& component) {
        CBxPicBufAPI::InsertComponent(picture, 1, component);
      });
    }
  }
}

TEST(CopyRectInBands, MatchesOneCopyOfTheRectangle) {
  const Picture src = testpics::RandomPicture(90, 300, 3, 16, 10);
  struct Case {
    CBxPoint<int> dstPoint, srcPoint;
    CBxSize<int> size;
  };
  // Inside both rasters, at their edges, and partly outside them (clipped).
  const Case cases[] = {{{0, 0}, {0, 0}, {90, 300}},
                        {{5, 11}, {20, 3}, {40, 250}},
                        {{-4, -9}, {10, 40}, {70, 280}},
                        {{60, 200}, {0, 0}, {90, 300}},
                        {{0, 0}, {0, 0}, {0, 0}}};
  for (const Case& c : cases) {
    Picture whole = testpics::Constant(80, 270, 3, 16, 123);
    CBxPicBufAPI::CopyRect(whole, src, c.dstPoint, c.srcPoint, c.size);
    for (int32_t threads : {1, 2, 5}) {
      Picture banded = testpics::Constant(80, 270, 3, 16, 123);
      CopyRectInBands(banded, src, c.dstPoint, c.srcPoint, c.size, threads);
      EXPECT_TRUE(testpics::BitIdentical(whole, banded))
          << "at " << c.dstPoint.x << "," << c.dstPoint.y << ", " << threads << " threads";
    }
  }
}

// Every serial step of a tile (conversions, component copies, padding, the even-sized planes) is
// shared by the filter threads: the tile must not change with their number.
TEST(SplitRows, ColourTilesAreBitIdenticalForEveryThreadCount) {
  DenoiseRequest params;
  params.strength = params.strengthChroma = 12;
  params.strengthChromaLarge = 10;
  params.quality = 1;
  params.processInYUV = true;
  for (uint32_t bits : {8u, 16u}) {
    const Picture noisy = testpics::AddNoise(testpics::SmoothScene(161, 301, 3, bits), 12.0, 11);
    Picture reference(161, 301, 3, bits);
    DenoiseTile(reference, noisy, params, nullptr, 1);
    for (int32_t threads : {2, 3, 16}) {
      Picture out(161, 301, 3, bits);
      DenoiseTile(out, noisy, params, nullptr, threads);
      EXPECT_TRUE(testpics::BitIdentical(reference, out))
          << bits << " bits, " << threads << " threads";
    }
  }
}

}  // namespace
