#include "picture/pic_buf.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <thread>
#include <vector>

#include "support/test_pictures.h"

namespace {

using testpics::Picture;
using API = CBxPicBufAPI;

// A record that releases its storage at the end of the test, for the cases where a test drives
// ReinitHeap itself.
struct Record {
  Record() { API::Init(buf); }
  ~Record() { API::DoneHeap(buf); }
  SBxPicBuf buf;
};

TEST(PicBufGeometry, RowsArePacked) {
  struct Case {
    uint32_t components;
    uint32_t bits;
    int32_t stride;  // for a width of 7
  };
  const Case cases[] = {{1, 8, 7},   {3, 8, 21},  {4, 8, 28},  {1, 16, 14},  {3, 16, 42},
                        {4, 16, 56}, {1, 32, 28}, {3, 32, 84}, {4, 32, 112}, {2, 16, 28}};
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.components << " x " << c.bits << " bits");
    Record r;
    ASSERT_FALSE(API::ReinitHeap(r.buf, 7, 5, c.components, c.bits));
    EXPECT_NE(r.buf.data, nullptr);
    EXPECT_EQ(r.buf.stride, c.stride);
    EXPECT_EQ(r.buf.size, c.stride * 5);
    API::DoneHeap(r.buf);
    EXPECT_EQ(r.buf.data, nullptr);
    EXPECT_EQ(r.buf.size, 0);
  }
}

TEST(PicBufGeometry, RejectedGeometryReleasesAndLeavesTheRecordEmpty) {
  struct Case {
    int32_t width;
    int32_t height;
    uint32_t components;
    uint32_t bits;
  };
  constexpr int32_t kMax = std::numeric_limits<int32_t>::max();
  const Case cases[] = {{kMax, kMax, 4, 32},
                        {kMax, 1, 2, 8},
                        {-1, 5, 3, 8},
                        {5, -1, 3, 8},
                        {5, 5, 0, 8},
                        {5, 5, 5, 8},
                        {5, 5, 3, 12},
                        {kMax, kMax, 0xFFFFFFFFu, 0xFFFFFFF8u}};
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message()
                 << c.width << " x " << c.height << " x " << c.components << " x " << c.bits);
    Record r;
    ASSERT_FALSE(API::ReinitHeap(r.buf, 4, 4, 3, 8));
    EXPECT_TRUE(API::ReinitHeap(r.buf, c.width, c.height, c.components, c.bits));
    EXPECT_EQ(r.buf.data, nullptr);
    EXPECT_EQ(r.buf.size, 0);
  }
}

// Only a row is limited (the 32-bit stride); a raster may hold more than 2 GiB, as a 16-bit colour
// photo of 400 megapixels does. The storage is not touched, so no memory is used.
TEST(PicBufGeometry, RastersBeyondTwoGibibytesAreHeld) {
  Record r;
  ASSERT_FALSE(API::ReinitHeap(r.buf, 24000, 16000, 3, 16));
  EXPECT_NE(r.buf.data, nullptr);
  EXPECT_EQ(r.buf.size, int64_t{24000} * 16000 * 6);
  EXPECT_EQ(r.buf.stride, 24000 * 6);
}

TEST(PicBufGeometry, GeometryWithoutPixelsIsValidAndEmpty) {
  Record r;
  EXPECT_FALSE(API::ReinitHeap(r.buf, 0, 5, 3, 8));
  EXPECT_EQ(r.buf.data, nullptr);
  EXPECT_EQ(r.buf.size, 0);
  EXPECT_EQ(r.buf.height, 5);
}

TEST(PicBufGeometry, EqualByteSizeKeepsTheAllocation) {
  Record r;
  ASSERT_FALSE(API::ReinitHeap(r.buf, 10, 10, 3, 8));
  const uint8_t* first = r.buf.data;
  ASSERT_FALSE(API::ReinitHeap(r.buf, 30, 5, 1, 16));
  EXPECT_EQ(r.buf.data, first);
  EXPECT_EQ(r.buf.stride, 60);
  Picture like(2, 3, 4, 32);
  ASSERT_FALSE(API::ReinitHeap(r.buf, like));
  EXPECT_EQ(r.buf.size, 96);
  EXPECT_EQ(r.buf.components, 4u);
}

TEST(PicBufCopy, CopyRecreatesADestinationOfAnotherGeometry) {
  const Picture src = testpics::RandomPicture(13, 7, 3, 16, 1);
  Picture dst(2, 2, 1, 8);
  API::Copy(dst, src);
  EXPECT_TRUE(testpics::BitIdentical(dst, src));
}

// Checks `dst` after CopyRect against the pixel-by-pixel meaning of the call: a pixel inside the
// rectangle whose source lies inside `src` comes from there, every other pixel keeps its value.
void ExpectRectCopied(const Picture& before, const Picture& after, const Picture& src,
                      CBxPoint<int> dstPoint, CBxPoint<int> srcPoint, CBxSize<int> size) {
  const SBxPicBuf& d = after.buf();
  for (int32_t y = 0; y < d.height; ++y) {
    for (int32_t x = 0; x < d.width; ++x) {
      const int64_t rx = int64_t{x} - dstPoint.x;
      const int64_t ry = int64_t{y} - dstPoint.y;
      const int64_t sx = rx + srcPoint.x;
      const int64_t sy = ry + srcPoint.y;
      const bool copied = rx >= 0 && ry >= 0 && rx < size.width && ry < size.height && sx >= 0 &&
                          sy >= 0 && sx < src.buf().width && sy < src.buf().height;
      for (uint32_t c = 0; c < d.components; ++c) {
        const double expected = copied
                                    ? src.At(static_cast<int32_t>(sx), static_cast<int32_t>(sy), c)
                                    : before.At(x, y, c);
        ASSERT_EQ(after.At(x, y, c), expected) << "at " << x << ", " << y;
      }
    }
  }
}

TEST(PicBufCopy, CopyRectClipsToBothRasters) {
  struct Case {
    CBxPoint<int> dstPoint;
    CBxPoint<int> srcPoint;
    CBxSize<int> size;
  };
  constexpr int kHuge = std::numeric_limits<int>::max();
  const Case cases[] = {
      {{7, 3}, {0, 0}, {5, 4}},          // the whole source placed inside a larger raster
      {{2, 1}, {1, 1}, {3, 2}},          // an inner part
      {{-2, -1}, {0, 0}, {5, 4}},        // sticking out at the destination's top left
      {{0, 0}, {-3, -2}, {6, 6}},        // starting before the source
      {{17, 8}, {0, 0}, {5, 4}},         // sticking out at the destination's bottom right
      {{1, 1}, {2, 1}, {kHuge, kHuge}},  // as much as fits
      {{25, 0}, {0, 0}, {5, 4}},         // entirely outside the destination
      {{0, 0}, {9, 0}, {5, 4}},          // entirely outside the source
      {{3, 3}, {0, 0}, {-4, 2}},         // an empty rectangle
  };
  const Picture src = testpics::RandomPicture(5, 4, 3, 16, 2);
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << "dst " << c.dstPoint.x << "," << c.dstPoint.y << " src "
                                      << c.srcPoint.x << "," << c.srcPoint.y);
    const Picture before = testpics::RandomPicture(20, 10, 3, 16, 3);
    Picture after(before);
    API::CopyRect(after, src, c.dstPoint, c.srcPoint, c.size);
    ExpectRectCopied(before, after, src, c.dstPoint, c.srcPoint, c.size);
  }
}

TEST(PicBufCopy, CopyRectWithinOneRasterReadsBeforeWriting) {
  const Picture before = testpics::RandomPicture(9, 8, 1, 8, 4);
  for (const CBxPoint<int> dstPoint : {CBxPoint<int>{1, 2}, CBxPoint<int>{0, -1}}) {
    Picture after(before);
    API::CopyRect(after, after, dstPoint, {0, 0}, {8, 7});
    ExpectRectCopied(before, after, before, dstPoint, {0, 0}, {8, 7});
  }
}

TEST(PicBufComponents, ExtractThenInsertRestoresEveryDepth) {
  for (const uint32_t bits : {8u, 16u, 32u}) {
    SCOPED_TRACE(bits);
    const Picture original = testpics::RandomPicture(9, 6, 4, bits, 5);
    Picture rebuilt(9, 6, 4, bits);
    for (uint32_t c = 0; c < 4; ++c) {
      Picture plane(9, 6, 1, bits);
      API::ExtractComponent(plane, c, original);
      EXPECT_EQ(plane.At(8, 5), original.At(8, 5, c));
      API::InsertComponent(rebuilt, c, plane);
    }
    EXPECT_TRUE(testpics::BitIdentical(rebuilt, original));
  }
}

// A one-row picture holding every value of an integer depth, in order.
Picture AllValues(uint32_t bits) {
  const int32_t count = 1 << bits;
  Picture p(count, 1, 1, bits);
  for (int32_t v = 0; v < count; ++v) p.Set(v, 0, 0, v);
  return p;
}

TEST(PicBufDepth, IntegerToFloatAndBackIsLossless) {
  for (const uint32_t bits : {8u, 16u}) {
    SCOPED_TRACE(bits);
    const Picture original = AllValues(bits);
    Picture p(original);
    const double full = (1 << bits) - 1;
    ASSERT_FALSE(API::ConvertBpcComp(p, 32, 1));
    EXPECT_EQ(p.At(0, 0), 0.0);
    EXPECT_EQ(p.At(p.buf().width - 1, 0), 1.0);
    EXPECT_NEAR(p.At(100, 0), 100 / full, 1e-7);
    ASSERT_FALSE(API::ConvertBpcComp(p, bits, 1));
    EXPECT_TRUE(testpics::BitIdentical(p, original));
  }
}

TEST(PicBufDepth, EightAndSixteenBitsConvertToTheNearestValue) {
  Picture up = AllValues(8);
  ASSERT_FALSE(API::ConvertBpcComp(up, 16, 1));
  for (int32_t v = 0; v < 256; ++v) ASSERT_EQ(up.At(v, 0), v * 257.0);
  Picture down = AllValues(16);
  ASSERT_FALSE(API::ConvertBpcComp(down, 8, 1));
  // 65535 = 255 · 257, so v / 257 is v on the 8-bit scale; no value lies halfway.
  for (int32_t v = 0; v < 65536; ++v) ASSERT_EQ(down.At(v, 0), std::floor(v / 257.0 + 0.5)) << v;
}

TEST(PicBufDepth, FloatToIntegerClampsAndRoundsHalfUp) {
  const float values[] = {-0.25f, 0.5f, 1.5f, std::numeric_limits<float>::quiet_NaN(), 0.2f};
  const double expected[] = {0, 128, 255, 0, 51};
  Picture p(5, 1, 1, 32);
  for (int32_t x = 0; x < 5; ++x) p.Set(x, 0, 0, values[x]);
  ASSERT_FALSE(API::ConvertBpcComp(p, 8, 1));
  for (int32_t x = 0; x < 5; ++x) EXPECT_EQ(p.At(x, 0), expected[x]) << x;
}

TEST(PicBufComponents, ComponentConversions) {
  struct Case {
    uint32_t fromBits;
    std::vector<double> from;
    uint32_t toBits;
    std::vector<double> to;
  };
  const Case cases[] = {
      {8, {77}, 8, {77, 77, 77}},       // grey is replicated
      {8, {77}, 8, {77, 77, 77, 255}},  // an added alpha is opaque
      {8, {10, 20, 30}, 8, {10, 20, 30, 255}},
      {8, {10, 20, 30, 40}, 8, {10, 20, 30}},  // alpha is dropped
      {8, {255, 0, 0}, 8, {29}},               // luminance of B, G, R
      {8, {0, 255, 0}, 8, {150}},
      {8, {0, 0, 255, 9}, 8, {76}},
      {8, {10, 20, 30}, 8, {22}},
      {8, {50, 9}, 8, {50, 50, 50, 9}},  // grey with alpha keeps its alpha
      {8, {0, 0, 255, 9}, 8, {76, 9}},
      {8, {0, 255, 0}, 16, {38469}},  // luminance rounded on the new scale
      {16, {0, 0, 65535}, 8, {76}},
      {8, {51}, 32, {0.2, 0.2, 0.2, 1.0}},
  };
  for (const Case& c : cases) {
    const auto inComps = static_cast<uint32_t>(c.from.size());
    const auto outComps = static_cast<uint32_t>(c.to.size());
    SCOPED_TRACE(::testing::Message() << inComps << "x" << c.fromBits << " -> " << outComps << "x"
                                      << c.toBits << ", first " << c.from[0]);
    Picture p(2, 1, inComps, c.fromBits);
    for (uint32_t i = 0; i < inComps; ++i) p.Set(1, 0, i, c.from[i]);
    ASSERT_FALSE(API::ConvertBpcComp(p, c.toBits, outComps));
    ASSERT_EQ(p.buf().components, outComps);
    ASSERT_EQ(p.buf().bitsPerComponent, c.toBits);
    for (uint32_t i = 0; i < outComps; ++i) EXPECT_NEAR(p.At(1, 0, i), c.to[i], 1e-7) << i;
  }
}

TEST(PicBufDepth, UnsupportedTargetLeavesTheBufferUnchanged) {
  const Picture original = testpics::RandomPicture(4, 3, 3, 8, 6);
  Picture p(original);
  const uint8_t* data = p.buf().data;
  EXPECT_TRUE(API::ConvertBpcComp(p, 12, 3));
  EXPECT_TRUE(API::ConvertBpcComp(p, 8, 5));
  EXPECT_EQ(p.buf().data, data);
  EXPECT_TRUE(testpics::BitIdentical(p, original));
}

// Converts to YUV and back (the way back in place) and returns the largest error.
double YuvRoundTripError(const Picture& rgb) {
  Picture yuv(rgb);
  API::ConvertRGBtoYUV(yuv, rgb);
  API::ConvertYUVtoRGB(yuv, yuv);
  return testpics::MaxAbsDifference(yuv, rgb);
}

TEST(PicBufYuv, EveryEightBitColourSurvivesARoundTrip) {
  Picture rgb(4096, 4096, 3, 8);
  for (int32_t y = 0; y < 4096; ++y) {
    uint8_t* row = PicRow<uint8_t>(rgb.buf(), y);
    for (int32_t x = 0; x < 4096; ++x) {
      const uint32_t colour = static_cast<uint32_t>(y) * 4096 + static_cast<uint32_t>(x);
      for (int c = 0; c < 3; ++c) row[x * 3 + c] = static_cast<uint8_t>(colour >> (8 * c));
    }
  }
  EXPECT_LE(YuvRoundTripError(rgb), 1.0);
}

TEST(PicBufYuv, SixteenBitColoursSurviveARoundTrip) {
  EXPECT_LE(YuvRoundTripError(testpics::RandomPicture(1024, 1024, 3, 16, 7)), 1.0);
  // A lattice that includes black, white and the fully saturated corners.
  Picture lattice(32, 32 * 32, 3, 16);
  for (int32_t i = 0; i < 32 * 32 * 32; ++i) {
    for (uint32_t c = 0; c < 3; ++c) {
      const int32_t level = (i >> (5 * c)) & 31;
      lattice.Set(i % 32, i / 32, c, std::round(level * 65535.0 / 31));
    }
  }
  EXPECT_LE(YuvRoundTripError(lattice), 1.0);
}

TEST(PicBufYuv, FloatRoundTripIsCloseAndUnclamped) {
  Picture rgb = testpics::RandomPicture(64, 64, 3, 32, 8);
  rgb.Set(0, 0, 2, 1.25);
  EXPECT_LE(YuvRoundTripError(rgb), 1e-5);
}

TEST(PicBufYuv, GreyHasNeutralChroma) {
  for (const uint32_t bits : {8u, 16u, 32u}) {
    const double full = bits == 32 ? 1.0 : (1 << bits) - 1.0;
    const double offset = bits == 32 ? 0.5 : (full + 1) / 2;
    for (const double level : {0.0, 0.3, 1.0}) {
      const double grey = bits == 32 ? level : std::round(level * full);
      SCOPED_TRACE(::testing::Message() << bits << " bits, grey " << grey);
      const Picture rgb = testpics::Constant(3, 2, 3, bits, grey);
      Picture yuv(rgb);
      API::ConvertRGBtoYUV(yuv, rgb);
      EXPECT_NEAR(yuv.At(2, 1, 0), grey, 1e-6);
      EXPECT_NEAR(yuv.At(2, 1, 1), offset, 1e-6);
      EXPECT_NEAR(yuv.At(2, 1, 2), offset, 1e-6);
    }
  }
}

TEST(PicBufYuv, PrimariesFollowTheMatrixInBgrOrder) {
  struct Case {
    double b, g, r;
    double y, u, v;
  };
  // Saturated blue and red reach U or V of 255.5 before clamping.
  const Case cases[] = {
      {255, 0, 0, 29, 255, 107}, {0, 255, 0, 150, 44, 21}, {0, 0, 255, 76, 85, 255}};
  for (const Case& c : cases) {
    Picture p(1, 1, 3, 8);
    p.Set(0, 0, 0, c.b);
    p.Set(0, 0, 1, c.g);
    p.Set(0, 0, 2, c.r);
    API::ConvertRGBtoYUV(p, p);
    EXPECT_EQ(p.At(0, 0, 0), c.y);
    EXPECT_EQ(p.At(0, 0, 1), c.u);
    EXPECT_EQ(p.At(0, 0, 2), c.v);
  }
}

TEST(PicBufYuv, InPlaceMatchesSeparateBuffers) {
  using Convert = void (*)(SBxPicBuf&, const SBxPicBuf&);
  for (const Convert convert : {Convert{&API::ConvertRGBtoYUV}, Convert{&API::ConvertYUVtoRGB}}) {
    const Picture src = testpics::RandomPicture(31, 17, 3, 16, 9);
    Picture separate(src);
    convert(separate, src);
    Picture inPlace(src);
    convert(inPlace, inPlace);
    EXPECT_TRUE(testpics::BitIdentical(inPlace, separate));
  }
}

TEST(PicBufFill, SetConstRectFillsOnlyTheClippedRectangle) {
  Picture p(10, 6, 3, 16);
  API::SetConst(p, CBxRect<int>{-2, 1, 4, 3}, 0xAB);
  API::SetConst(p, CBxRect<int>{8, 4, 20, 9}, 0xCD);
  for (int32_t y = 0; y < 6; ++y) {
    const uint8_t* row = PicRow<uint8_t>(p.buf(), y);
    for (int32_t i = 0; i < p.buf().stride; ++i) {
      const int32_t x = i / 6;
      const int expected = (x < 4 && y >= 1 && y < 3) ? 0xAB : (x >= 8 && y >= 4) ? 0xCD : 0;
      ASSERT_EQ(row[i], expected) << "byte " << i << " of row " << y;
    }
  }
}

// YUV and back to 8-bit grey: every converter that keeps a scratch state would show here.
Picture Pipeline(const Picture& input) {
  Picture p(input);
  API::ConvertRGBtoYUV(p, p);
  EXPECT_FALSE(API::ConvertBpcComp(p, 32, 3));
  EXPECT_FALSE(API::ConvertBpcComp(p, 8, 1));
  return p;
}

TEST(PicBufThreads, ConcurrentConversionsMatchSerialOnes) {
  constexpr int kThreads = 4;
  std::vector<Picture> inputs;
  std::vector<Picture> serial;
  for (int i = 0; i < kThreads; ++i) {
    inputs.push_back(testpics::RandomPicture(300, 200, 3, 16, 100 + i));
    serial.push_back(Pipeline(inputs.back()));
  }
  std::vector<Picture> parallel(inputs);
  std::vector<std::thread> threads;
  for (int i = 0; i < kThreads; ++i) {
    threads.emplace_back([&, i] {
      for (int round = 0; round < 5; ++round) {
        Picture result = Pipeline(inputs[i]);
        API::Copy(parallel[i], result);
      }
    });
  }
  for (std::thread& t : threads) t.join();
  for (int i = 0; i < kThreads; ++i) EXPECT_TRUE(testpics::BitIdentical(parallel[i], serial[i]));
}

}  // namespace
