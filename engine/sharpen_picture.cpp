#include "engine/sharpen_picture.h"

#include "engine/detail_sharpening.h"

bool SharpenPicture(SBxPicBuf& picture, double gainTiny, double gainMedium, double gainRough) {
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
