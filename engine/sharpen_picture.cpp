#include "engine/sharpen_picture.h"

#include <cmath>

#include "engine/detail_sharpening.h"

namespace {

// Gains this close to 1 rebuild the picture unchanged, so the pyramid (a dozen float planes of the
// picture's size) is not built for them at all.
bool IsIdentity(double gain) { return std::abs(gain - 1.0) < 0.00001; }

}  // namespace

bool SharpenPicture(SBxPicBuf& picture, double gainTiny, double gainMedium, double gainRough) {
  if (IsIdentity(gainTiny) && IsIdentity(gainMedium) && IsIdentity(gainRough)) return false;
  ScopedPicBuf copy;
  if (picture.data == nullptr || CBxPicBufAPI::ReinitHeap(*copy, picture)) return true;
  CBxPicBufAPI::Copy(*copy, picture);
  if (CBxPicBufAPI::ConvertBpcComp(*copy, picture.bitsPerComponent, 3)) return true;
  DetailPyramid pyramid;
  bool failed = BuildDetailPyramid(pyramid, *copy) || copy->components != pyramid.components ||
                ApplyDetailGains(*copy, pyramid, gainTiny, gainMedium, gainRough);
  ReleaseDetailPyramid(pyramid);
  failed = failed ||
           CBxPicBufAPI::ConvertBpcComp(*copy, picture.bitsPerComponent, picture.components);
  if (!failed) CBxPicBufAPI::Copy(picture, *copy);
  return failed;
}
