// Pictures made in code for the tests: smooth scenes, noise with a fixed seed, comparisons.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "engine/footprint.h"
#include "picture/photo_document.h"
#include "picture/pic_buf.h"

namespace testpics {

// A picture buffer owned by the test; frees itself.
class Picture {
 public:
  Picture(int32_t width, int32_t height, uint32_t components, uint32_t bits);
  Picture(const Picture& other);
  Picture& operator=(const Picture&) = delete;
  ~Picture();

  SBxPicBuf& buf() { return buf_; }
  const SBxPicBuf& buf() const { return buf_; }
  operator SBxPicBuf&() { return buf_; }
  operator const SBxPicBuf&() const { return buf_; }

  // Sample access by pixel and component, whatever the depth (float samples as stored).
  double At(int32_t x, int32_t y, uint32_t c = 0) const;
  void Set(int32_t x, int32_t y, uint32_t c, double value);

 private:
  SBxPicBuf buf_;
};

// A smooth scene: gradients, a disc and soft bands, different per component, spanning most of the
// depth's range. Deterministic.
Picture SmoothScene(int32_t width, int32_t height, uint32_t components, uint32_t bits);

// Every sample set to `value`.
Picture Constant(int32_t width, int32_t height, uint32_t components, uint32_t bits, double value);

// Uniform random samples over the whole range of the depth, fixed seed.
Picture RandomPicture(int32_t width, int32_t height, uint32_t components, uint32_t bits,
                      uint32_t seed);

// A copy of `clean` with Gaussian noise of standard deviation `sigma` (in 8-bit units; scaled by 257
// at 16 bits) added with a fixed seed, rounded and clamped.
Picture AddNoise(const Picture& clean, double sigma, uint32_t seed);

// Peak signal-to-noise ratio of `test` against `reference` in dB (peak = full scale of the depth).
double Psnr(const Picture& reference, const Picture& test);

// The mean absolute sample difference of two pictures of equal geometry.
double MeanAbsDifference(const Picture& a, const Picture& b);

// True when the two rasters have the same geometry and identical bytes.
bool BitIdentical(const SBxPicBuf& a, const SBxPicBuf& b);

// The largest absolute sample difference of two rasters of equal geometry.
double MaxAbsDifference(const SBxPicBuf& a, const SBxPicBuf& b);

// The pixels of `rect` (inside the picture) as a picture of their own.
Picture CutOut(const SBxPicBuf& picture, const TileRect& rect);

// The largest sample difference inside `rect` between `whole` and `part`, which holds the pixels of
// `partRect` (containing `rect`) of a picture of the same geometry as `whole`.
double MaxDifferenceInside(const SBxPicBuf& whole, const SBxPicBuf& part, const TileRect& partRect,
                           const TileRect& rect);

// Puts `picture` into an initialised document as a freshly opened photo: the source and a copy of
// it as the shown picture.
// `destination` made a copy of `source` (its geometry, then its samples).
inline void CopyPicture(SBxPicBuf& destination, const SBxPicBuf& source) {
  EXPECT_FALSE(CBxPicBufAPI::ReinitHeap(destination, source));
  CBxPicBufAPI::Copy(destination, source);
}

inline void OpenInDocument(PhotoDocument& document, const SBxPicBuf& picture) {
  CopyPicture(document.sourcePicture, picture);
  CopyPicture(document.denoisedPicture, picture);
}

// An EXIF summary with only the maker, model and ISO texts.
inline ExifSummary Exif(const char* make, const char* model, const char* iso) {
  ExifSummary exif;
  exif.make = make;
  exif.model = model;
  exif.iso = iso;
  return exif;
}

}  // namespace testpics
