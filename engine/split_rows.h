// Work cut into bands of whole rows, one band a thread. The passes that use it compute each output
// row from the input alone, so where the rows are cut changes no value: only how many threads
// share the work.
#pragma once

#include <algorithm>
#include <cstdint>
#include <system_error>
#include <thread>
#include <vector>

#include "picture/pic_buf.h"

// Rows [first, end) of a pass.
struct RowRange {
  int32_t first;
  int32_t end;
};

// Runs pass(range) over the rows [0, count) cut into one range per thread, on the calling thread
// and threads − 1 helpers: fewer for small rasters, where starting a thread would cost more than it
// saves, and all on the calling thread when the system refuses a thread. At most 16 threads.
template <typename Pass>
void SplitRows(int32_t count, int32_t threads, const Pass& pass) {
  constexpr int32_t kRowsPerThread = 64;
  const int32_t parts = std::clamp(count / kRowsPerThread, 1, std::clamp(threads, 1, 16));
  auto range = [&](int32_t part) {
    return RowRange{count * part / parts, count * (part + 1) / parts};
  };
  std::vector<std::thread> helpers;
  int32_t part = 1;
  try {
    for (; part < parts; ++part) helpers.emplace_back([&, part] { pass(range(part)); });
  } catch (const std::system_error&) {
  }
  pass(range(0));
  for (int32_t rest = part; rest < parts; ++rest) pass(range(rest));
  for (std::thread& helper : helpers) helper.join();
}

// A record over the rows of `buf` in `rows`, sharing its pixels. It owns nothing: never release
// it through the picture buffer functions.
inline SBxPicBuf RowsOf(const SBxPicBuf& buf, RowRange rows) {
  SBxPicBuf view = buf;
  view.data = buf.data + static_cast<int64_t>(rows.first) * buf.stride;
  view.height = rows.end - rows.first;
  view.size = view.stride * view.height;
  return view;
}

// Runs the per-pixel operation op(dst, src) (a colour conversion, a component copy) on matching
// bands of rows of two rasters, in parallel. Rasters of different heights or without pixels go to
// `op` whole, which then applies its own checks.
template <typename Op>
void SplitPixelOp(SBxPicBuf& dst, const SBxPicBuf& src, int32_t threads, const Op& op) {
  if (dst.data == nullptr || src.data == nullptr || dst.height != src.height) {
    op(dst, src);
    return;
  }
  SplitRows(src.height, threads, [&](RowRange rows) {
    SBxPicBuf dstRows = RowsOf(dst, rows);
    op(dstRows, RowsOf(src, rows));
  });
}

// `CBxPicBufAPI::CopyRect` with the rectangle's rows cut among the threads. For two distinct
// rasters only: bands copied at once within one raster could overwrite each other's source rows.
inline void CopyRectInBands(SBxPicBuf& dst, const SBxPicBuf& src, CBxPoint<int> dstPoint,
                            CBxPoint<int> srcPoint, CBxSize<int> size, int32_t threads) {
  SplitRows(std::max(size.height, 0), threads, [&](RowRange rows) {
    CBxPicBufAPI::CopyRect(dst, src, {dstPoint.x, dstPoint.y + rows.first},
                           {srcPoint.x, srcPoint.y + rows.first},
                           {size.width, rows.end - rows.first});
  });
}
