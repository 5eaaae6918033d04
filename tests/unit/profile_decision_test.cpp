#include "profiles/profile_decision.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>

#include "engine/denoise.h"
#include "profiles/noise_calibration_file.h"
#include "profiles/profile_request.h"
#include "support/test_pictures.h"

namespace {

IsoProfile Profile(double strength, double noise) {
  IsoProfile p = BuiltInProfileStore().cameras[0].profiles[0];
  p.m_dStrength = strength;
  p.m_dImmerkaerY = p.m_dImmerkaerUV = noise;
  return p;
}

// The unknown camera with ISO 100 (the built-in profile) and 800; "NIKON / D700" with ISO 200 and
// 6400.
CameraProfileStore Store() {
  CameraProfileStore store = BuiltInProfileStore();
  StoreProfile(store, kUnknownCameraName, "800", Profile(31, 8));
  StoreProfile(store, "NIKON / D700", "200", Profile(11, 1));
  StoreProfile(store, "NIKON / D700", "6400", Profile(33, 9));
  return store;
}

using testpics::Exif;

// Levels that the calibration maps to a strength of its own, neither stored one.
PhotoNoise Noise() {
  PhotoNoise noise;
  noise.whole = {3.2, 2.1, 0};
  noise.smooth = {2.4, 1.6, 0};
  noise.coarse = {1.7, 1.2, 0};
  noise.colour = true;
  return noise;
}

TEST(ProfileDecision, StoredProfileBeatsTheAutomaticOneOnEverySurface) {
  const CameraProfileStore store = Store();
  const NoiseCalibration& table = BuiltInNoiseCalibration();
  const IsoProfile automatic = AutomaticProfile(table, Noise(), 3200);
  const ExifSummary nikon = Exif("NIKON CORPORATION", "NIKON D700", "6400");
  const ExifSummary nikonOtherIso = Exif("NIKON CORPORATION", "NIKON D700", "3200");
  const ExifSummary stranger = Exif("Acme", "X1", "800");  // the unknown camera stores ISO 800
  const struct {
    ExifSummary exif;
    ProfileMode mode;
    ChoiceSurface surface;
    ProfileRule rule;
    double strength;
  } kCases[] = {
      {nikon, ProfileMode::kAuto, ChoiceSurface::kRun, ProfileRule::kStoredProfile, 33},
      {nikon, ProfileMode::kAuto, ChoiceSurface::kPanel, ProfileRule::kStoredProfile, 33},
      // The command line and the batch want the ISO exactly; the panel takes the nearest.
      {nikonOtherIso, ProfileMode::kAuto, ChoiceSurface::kRun, ProfileRule::kAutomatic,
       automatic.m_dStrength},
      {nikonOtherIso, ProfileMode::kAuto, ChoiceSurface::kPanel, ProfileRule::kNearestProfile, 11},
      // The unknown camera's profiles are no camera's own.
      {stranger, ProfileMode::kAuto, ChoiceSurface::kRun, ProfileRule::kAutomatic,
       automatic.m_dStrength},
      {stranger, ProfileMode::kAuto, ChoiceSurface::kPanel, ProfileRule::kAutomatic,
       automatic.m_dStrength},
      {Exif("", "", ""), ProfileMode::kAuto, ChoiceSurface::kRun, ProfileRule::kAutomatic,
       automatic.m_dStrength},
      {nikon, ProfileMode::kMeasured, ChoiceSurface::kRun, ProfileRule::kAutomatic,
       automatic.m_dStrength},
      {nikon, ProfileMode::kDefault, ChoiceSurface::kRun, ProfileRule::kBuiltInDefault, 10},
      {stranger, ProfileMode::kDefault, ChoiceSurface::kPanel, ProfileRule::kBuiltInDefault, 10},
  };
  for (const auto& c : kCases) {
    const ProfileDecision d = DecideProfile(store, c.exif, Noise(), table, c.mode, c.surface);
    const std::string what = c.exif.make + " ISO " + c.exif.iso + " mode " +
                             std::to_string(static_cast<int>(c.mode)) + " surface " +
                             std::to_string(static_cast<int>(c.surface));
    EXPECT_EQ(d.rule, c.rule) << what;
    EXPECT_DOUBLE_EQ(d.profile.m_dStrength, c.strength) << what;
    EXPECT_EQ(d.noise.smooth.luma, Noise().smooth.luma) << what;
  }
  // The automatic profile is neither stored one, and carries what a stored profile would.
  EXPECT_NE(automatic.m_dStrength, 33.0);
  EXPECT_NE(automatic.m_dStrength, 11.0);
  EXPECT_EQ(automatic.isoValue, 3200u);
  EXPECT_EQ(automatic.m_dImmerkaerY, 3.2);
  EXPECT_EQ(automatic.m_dImmerkaerUV, 2.1);
  EXPECT_EQ(automatic.m_dDynamics, 0.0);
  EXPECT_EQ(automatic.m_iUseMedian, kMedianNone);
}

TEST(ProfileDecision, CameraWithoutProfilesGetsTheAutomaticOne) {
  CameraProfileStore store = Store();
  store.cameras.push_back(CameraEntry{"Acme / X1", {}, {}});  // as a damaged file may leave it
  const ProfileDecision d =
      DecideProfile(store, Exif("Acme", "X1", "100"), Noise(), BuiltInNoiseCalibration(),
                    ProfileMode::kAuto, ChoiceSurface::kPanel);
  EXPECT_EQ(d.rule, ProfileRule::kAutomatic);
}

TEST(ProfileDecision, ModesAndRulesHaveTheirNames) {
  EXPECT_EQ(ProfileModeNamed("auto"), ProfileMode::kAuto);
  EXPECT_EQ(ProfileModeNamed("measured"), ProfileMode::kMeasured);
  EXPECT_EQ(ProfileModeNamed("default"), ProfileMode::kDefault);
  EXPECT_FALSE(ProfileModeNamed("Auto"));
  EXPECT_EQ(RuleName(ProfileRule::kStoredProfile), "stored");
  EXPECT_EQ(RuleName(ProfileRule::kNearestProfile), "nearest");
  EXPECT_EQ(RuleName(ProfileRule::kAutomatic), "measured");
  EXPECT_EQ(RuleName(ProfileRule::kBuiltInDefault), "default");
}

// Fine texture of high contrast over most of a smooth scene: the estimator reads it as noise over
// the whole picture, but the smooth parts show the picture is clean.
testpics::Picture Textured(uint32_t components) {
  testpics::Picture picture = testpics::SmoothScene(192, 128, components, 8);
  std::mt19937 random(7);
  for (int32_t y = 0; y < 128; ++y) {
    for (int32_t x = 0; x < 128; ++x) {
      const double texture = (random() % 2 ? 40.0 : -40.0) * (((x / 3 + y / 2) % 2) ? 1 : 0.5);
      for (uint32_t c = 0; c < components; ++c) {
        picture.Set(x, y, c, std::clamp(picture.At(x, y, c) + texture, 20.0, 235.0));
      }
    }
  }
  return picture;
}

TEST(ProfileDecision, CleanTexturedPhotoIsLeftAloneAndANoisyOneIsNot) {
  const NoiseCalibration& table = BuiltInNoiseCalibration();
  for (const uint32_t components : {1u, 3u}) {
    const testpics::Picture clean = Textured(components);
    const PhotoNoise cleanNoise = MeasurePhotoNoiseInDetail(clean);
    const IsoProfile cleanProfile = AutomaticProfile(table, cleanNoise, 0);
    // Over the whole picture the texture reads like strong noise; the smooth parts read what 8-bit
    // rounding leaves, below the levels of the clean-photo guard.
    EXPECT_GT(cleanNoise.whole.luma, 3.0) << components;
    EXPECT_LT(ReadLevels(table, cleanNoise).luma, 0.9) << components;
    EXPECT_LE(cleanProfile.m_dStrength, 4.0) << components;
    EXPECT_LE(cleanProfile.m_dStrengthChroma, 6.0) << components;
    EXPECT_EQ(cleanProfile.m_dSharp1, 1.0) << components;
    // Denoised so, the texture is all but untouched.
    testpics::Picture result(clean);
    DenoisePicture(result, clean, RequestForProfile(cleanProfile, EngineChoice{}));
    EXPECT_GT(testpics::Psnr(clean, result), 40.0) << components;

    const testpics::Picture noisy = testpics::AddNoise(clean, 12.0, 5);
    const PhotoNoise noisyNoise = MeasurePhotoNoiseInDetail(noisy);
    EXPECT_GT(noisyNoise.smooth.luma, 2.0) << components;
    EXPECT_GT(AutomaticProfile(table, noisyNoise, 0).m_dStrength, 15.0) << components;
    EXPECT_EQ(noisyNoise.colour, components == 3);
  }
}

// `scene` with noise as JPEG leaves it where a photo is smooth: in each block of 8 × 8 pixels only
// the lowest frequencies of the block's transform (i + j < 4), each of deviation σ.
testpics::Picture WithBlockNoise(const testpics::Picture& scene, double sigma, uint32_t seed) {
  constexpr double kPi = 3.14159265358979;
  testpics::Picture noisy(scene);
  std::mt19937 random(seed);
  std::normal_distribution<double> amplitude(0.0, sigma);
  for (int32_t by = 0; by + 8 <= scene.buf().height; by += 8) {
    for (int32_t bx = 0; bx + 8 <= scene.buf().width; bx += 8) {
      double a[4][4] = {};
      for (int32_t i = 0; i < 4; ++i) {
        for (int32_t j = 0; i + j < 4; ++j) a[i][j] = amplitude(random);
      }
      for (int32_t y = 0; y < 8; ++y) {
        for (int32_t x = 0; x < 8; ++x) {
          double value = scene.At(bx + x, by + y);
          for (int32_t i = 0; i < 4; ++i) {
            for (int32_t j = 0; i + j < 4; ++j) {
              value +=
                  a[i][j] * std::cos(kPi * i * (x + 0.5) / 8) * std::cos(kPi * j * (y + 0.5) / 8);
            }
          }
          noisy.Set(bx + x, by + y, 0, std::clamp(std::round(value), 0.0, 255.0));
        }
      }
    }
  }
  return noisy;
}

TEST(ProfileDecision, NoiseThatJpegFlattenedIsReadAcrossItsBlockLines) {
  // Inside the blocks such noise reads as little, across their lines more; white noise reads alike
  // on and off the lines.
  const testpics::Picture scene = testpics::SmoothScene(192, 128, 1, 8);
  const PhotoNoise blocky = MeasurePhotoNoiseInDetail(WithBlockNoise(scene, 6.0, 7));
  EXPECT_GT(blocky.gridLuma, 1.25 * blocky.smooth.luma);
  const PhotoNoise white = MeasurePhotoNoiseInDetail(testpics::AddNoise(scene, 6.0, 2));
  EXPECT_NEAR(white.gridLuma, white.smooth.luma, 0.15 * white.smooth.luma);
}

TEST(ProfileDecision, SixteenBitPhotosAreReadOnTheEightBitScale) {
  // The same scene and noise (σ 9 on the 8-bit scale) at both depths: a 16-bit photo is measured
  // on its 8-bit copy, so the table gives it the strengths of the 8-bit one.
  for (const uint32_t components : {1u, 3u}) {
    const PhotoNoise eight = MeasurePhotoNoiseInDetail(
        testpics::AddNoise(testpics::SmoothScene(160, 120, components, 8), 9.0, 4));
    const PhotoNoise sixteen = MeasurePhotoNoiseInDetail(
        testpics::AddNoise(testpics::SmoothScene(160, 120, components, 16), 9.0, 4));
    EXPECT_NEAR(sixteen.smooth.luma, eight.smooth.luma, 0.1 * eight.smooth.luma) << components;
    const IsoProfile a = AutomaticProfile(BuiltInNoiseCalibration(), eight, 0);
    const IsoProfile b = AutomaticProfile(BuiltInNoiseCalibration(), sixteen, 0);
    EXPECT_NEAR(b.m_dStrength, a.m_dStrength, 2.0) << components;
    EXPECT_NEAR(b.m_dStrengthChroma, a.m_dStrengthChroma, 2.0) << components;
    EXPECT_GT(b.m_dStrength, 10.0) << components;
  }
}

TEST(ProfileDecision, ClippedPartsDoNotPassForSmoothOnes) {
  // Noise over a picture whose left half is white: the white half shows no noise, but it is not
  // read as the smooth part that tells the level.
  testpics::Picture picture = testpics::SmoothScene(128, 96, 1, 8);
  for (int32_t y = 0; y < 96; ++y) {
    for (int32_t x = 0; x < 64; ++x) picture.Set(x, y, 0, 255);
  }
  const testpics::Picture noisy = testpics::AddNoise(picture, 8.0, 9);
  const PhotoNoise noise = MeasurePhotoNoiseInDetail(noisy);
  EXPECT_GT(noise.smooth.luma, 0.8 * noise.whole.luma);
}

}  // namespace
