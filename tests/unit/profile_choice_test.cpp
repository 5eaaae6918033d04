#include "profiles/profile_choice.h"

#include <gtest/gtest.h>

#include "support/test_pictures.h"

namespace {

IsoProfile Profile(double strength, double noiseY, double noiseUV) {
  IsoProfile p = BuiltInProfileStore().cameras[0].profiles[0];
  p.m_dStrength = strength;
  p.m_dImmerkaerY = noiseY;
  p.m_dImmerkaerUV = noiseUV;
  return p;
}

// The unknown camera with ISO 100 and 800; "NIKON / D700" with ISO 200, 1600 and 6400.
CameraProfileStore TwoCameras() {
  CameraProfileStore store = BuiltInProfileStore();
  StoreProfile(store, kUnknownCameraName, "800", Profile(20, 8, 8));
  StoreProfile(store, "NIKON / D700", "200", Profile(11, 2, 2));
  StoreProfile(store, "NIKON / D700", "1600", Profile(16, 6, 5));
  StoreProfile(store, "NIKON / D700", "6400", Profile(30, 12, 10));
  return store;
}

using testpics::Exif;

TEST(ProfileChoice, PhotoGetsItsCameraAndIsoElseTheNearestMeasuredNoise) {
  const CameraProfileStore store = TwoCameras();
  const ExifSummary exact = Exif("NIKON CORPORATION", "NIKON D700", "1600");
  const ProfileChoice chosen = ChooseProfileForPhoto(store, exact, {30, 30, 0});
  EXPECT_EQ(chosen.camera, 1u);
  EXPECT_EQ(chosen.isoIndex, 1u);  // the stored ISO wins over the measured noise

  const ExifSummary between = Exif("NIKON CORPORATION", "NIKON D700", "3200");
  EXPECT_EQ(ChooseProfileForPhoto(store, between, {11, 9, 0}).isoIndex, 2u);
  EXPECT_EQ(ChooseProfileForPhoto(store, between, {3, 3, 0}).isoIndex, 0u);
  // Unknown cameras are matched by noise among the unknown camera's profiles (10/10 and 8/8).
  const ProfileChoice unknown = ChooseProfileForPhoto(store, Exif("Acme", "X", "400"), {7.5, 7, 0});
  EXPECT_EQ(unknown.camera, 0u);
  EXPECT_EQ(unknown.isoIndex, 1u);
}

TEST(ProfileChoice, BatchFallsBackToTheUnknownCamerasFirstProfile) {
  const CameraProfileStore store = TwoCameras();
  const ProfileChoice exact = ChooseBatchProfile(store, Exif("NIKON CORPORATION", "NIKON D700", "6400"));
  EXPECT_EQ(exact.camera, 1u);
  EXPECT_EQ(exact.isoIndex, 2u);
  // Stored camera, ISO not stored exactly: not the nearest ISO of that camera.
  const ProfileChoice inexact = ChooseBatchProfile(store, Exif("NIKON CORPORATION", "NIKON D700", "3200"));
  EXPECT_EQ(inexact.camera, 0u);
  EXPECT_EQ(inexact.isoIndex, 0u);
  const ProfileChoice noMaker = ChooseBatchProfile(store, Exif("", "NIKON D700", "200"));
  EXPECT_EQ(noMaker.camera, 0u);
  EXPECT_EQ(ProfileAt(store, noMaker).isoValue, 100u);
}

TEST(ProfileChoice, MissingProfileGivesTheBuiltInDefault) {
  CameraProfileStore empty;
  empty.cameras.push_back(CameraEntry{kUnknownCameraName, {}, {}});
  EXPECT_EQ(ProfileAt(empty, {}), BuiltInProfileStore().cameras[0].profiles[0]);
  EXPECT_EQ(ProfileAt(TwoCameras(), {7, 0}), BuiltInProfileStore().cameras[0].profiles[0]);
}

TEST(ProfileChoice, MeasuresGreyAndColourNoiseOnEightBitCopies) {
  const testpics::Picture clean = testpics::SmoothScene(80, 60, 3, 16);
  const testpics::Picture noisy = testpics::AddNoise(clean, 6.0, 3);
  const NoiseLevels colour = MeasurePhotoNoise(noisy);
  EXPECT_GT(colour.luma, MeasurePhotoNoise(clean).luma + 0.5);
  EXPECT_GT(colour.chroma, 0.0);
  const testpics::Picture grey = testpics::AddNoise(testpics::SmoothScene(80, 60, 1, 8), 6.0, 3);
  const NoiseLevels greyLevels = MeasurePhotoNoise(grey);
  EXPECT_DOUBLE_EQ(greyLevels.luma, EstimateNoise(grey));
  EXPECT_EQ(greyLevels.chroma, 0.0);
}

}  // namespace
