#include "session/live_preview.h"

#include "engine/sharpen_picture.h"
#include "profiles/profile_request.h"

namespace {

int32_t Width(const PreviewPixels& r) { return r.right - r.left; }
int32_t Height(const PreviewPixels& r) { return r.bottom - r.top; }

bool SameGeometry(const SBxPicBuf& a, const SBxPicBuf& b) {
  return a.data != nullptr && a.width == b.width && a.height == b.height &&
         a.components == b.components && a.bitsPerComponent == b.bitsPerComponent;
}

}  // namespace

bool HasRaster(const SBxPicBuf& picture) {
  return picture.data != nullptr && picture.width > 0 && picture.height > 0 &&
         picture.components > 0 && picture.bitsPerComponent > 0;
}

LivePreview::LivePreview() {
  CBxPicBufAPI::Init(previewResult_);
  CBxPicBufAPI::Init(previewDenoised_);
}

LivePreview::~LivePreview() { Release(); }

void LivePreview::Release() {
  CBxPicBufAPI::DoneHeap(previewResult_);
  CBxPicBufAPI::DoneHeap(previewDenoised_);
}

PreviewUpdateResult LivePreview::Update(PhotoDocument& document, const PreviewPixels& pixels,
                                        const IsoProfile& profile,
                                        const PreviewEngineSettings& settings, bool forced) {
  const SBxPicBuf& source = document.sourcePicture;
  SBxPicBuf& shown = document.denoisedPicture;
  if (!HasRaster(source)) return PreviewUpdateResult::kNoPhoto;
  const PreviewPixels region = ExtendedRegion(pixels, source.width, source.height);
  if (!forced && lastRegion_ == region) return PreviewUpdateResult::kUnchanged;
  if (!SameGeometry(shown, source) && CBxPicBufAPI::ReinitHeap(shown, source)) {
    return PreviewUpdateResult::kNoPhoto;
  }
  // A rectangle dragged wholly off the picture covers no pixel: the photo is shown untouched.
  const bool processed =
      !IsEmpty(pixels) && !ProcessRegion(source, pixels, region, profile, settings);
  CBxPicBufAPI::Copy(shown, source);
  if (processed) {
    CBxPicBufAPI::CopyRect(shown, previewResult_, {pixels.left, pixels.top}, {0, 0},
                           {Width(pixels), Height(pixels)});
  }
  lastRegion_ = region;
  return PreviewUpdateResult::kUpdated;
}

bool LivePreview::ProcessRegion(const SBxPicBuf& source, const PreviewPixels& pixels,
                                const PreviewPixels& region, const IsoProfile& profile,
                                const PreviewEngineSettings& settings) {
  const uint32_t components = source.components;
  const uint32_t bits = source.bitsPerComponent;
  ScopedPicBuf cut;
  if (CBxPicBufAPI::ReinitHeap(previewResult_, Width(pixels), Height(pixels), components, bits) ||
      CBxPicBufAPI::ReinitHeap(*cut, Width(region), Height(region), components, bits) ||
      CBxPicBufAPI::ReinitHeap(previewDenoised_, *cut)) {
    return true;
  }
  CBxPicBufAPI::CopyRect(*cut, source, {0, 0}, {region.left, region.top},
                         {Width(region), Height(region)});
  const NoiseLevels noise =
      components == 1 ? NoiseLevels{settings.measuredNoise.luma, 0, 0} : settings.measuredNoise;
  const EngineChoice engine{settings.quality, settings.useGpu, settings.fusion, noise};
  DenoisePicture(previewDenoised_, *cut, RequestForProfile(profile, engine),
                 RunControl(nullptr, nullptr, settings.gpu));

  // When the pyramid cannot be built the region is shown denoised but unsharpened.
  ScopedPicBuf sharpened;
  if (CBxPicBufAPI::ReinitHeap(*sharpened, previewDenoised_)) return true;
  CBxPicBufAPI::Copy(*sharpened, previewDenoised_);
  SharpenPicture(*sharpened, profile.m_dSharp1, profile.m_dSharp2, profile.m_dSharp3);
  CBxPicBufAPI::CopyRect(previewResult_, *sharpened, {0, 0},
                         {pixels.left - region.left, pixels.top - region.top},
                         {Width(pixels), Height(pixels)});
  return false;
}
