// The footprints of the engine's stages: a region cut out of a picture by RegionAround gives, inside
// its core, exactly what the stage gives on the whole picture, with the region's sides at the very
// edge of the stage's reach, at the picture's sides and where the settled side makes it grow.
#include "engine/footprint.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "engine/denoise_component.h"
#include "engine/gaussian_blur.h"
#include "engine/large_chroma_pass.h"
#include "engine/non_local_means.h"
#include "engine/point_artefacts.h"
#include "engine/sharpen_picture.h"
#include "support/test_pictures.h"

namespace {

using testpics::Picture;

TEST(RegionAround, GrowsByTheReachOntoTheGridAndToTheSettledSide) {
  struct Case {
    TileRect core;
    Footprint footprint;
    int32_t width, height;
    TileRect region;
  };
  const Case cases[] = {
      // Origins down to the grid, far sides onto it from the origin, or onto the picture's side.
      {{1000, 0, 2000, 1000}, {13, 2, 72}, 2500, 1200, {986, 0, 2014, 1014}},
      {{2000, 1000, 2500, 1200}, {13, 2, 72}, 2500, 1200, {1986, 986, 2500, 1200}},
      {{101, 101, 150, 150}, {20, 8, 0}, 1000, 1000, {80, 80, 176, 176}},
      // A small core: grown to the settled side, away from a near side of the picture…
      {{100, 100, 110, 110}, {13, 8, 288}, 1000, 1000, {80, 80, 368, 368}},
      // …and towards the picture's inside at its far side.
      {{990, 990, 1000, 1000}, {13, 8, 288}, 1000, 1000, {712, 712, 1000, 1000}},
      // A picture smaller than the settled side is taken whole.
      {{50, 50, 60, 60}, {13, 8, 288}, 200, 150, {0, 0, 200, 150}},
      // Nothing to reach: the core itself, on the grid.
      {{3, 5, 9, 11}, {}, 20, 20, {3, 5, 9, 11}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(RegionAround(c.core, c.footprint, c.width, c.height), c.region)
        << c.core.x0 << "," << c.core.y0 << " reach " << c.footprint.reach;
  }
}

TEST(Footprint, StagesInSequenceAddTheirReachesAndKeepTheLargestGridAndSide) {
  const Footprint sum = Footprint{3, 1, 0} + Footprint{13, 2, 72} + Footprint{82, 8, 288};
  EXPECT_EQ(sum, (Footprint{98, 8, 288}));
  EXPECT_EQ(WithReachOfAtLeast({13, 2, 72}, 41), (Footprint{41, 2, 72}));
  EXPECT_EQ(WithReachOfAtLeast({98, 8, 288}, 41), (Footprint{98, 8, 288}));
}

// A stage: what it writes into `out` for `in`, and its footprint.
struct Stage {
  std::string name;
  uint32_t components;
  uint32_t bits;
  Footprint footprint;
  std::function<void(SBxPicBuf& out, const SBxPicBuf& in)> run;
};

std::vector<Stage> Stages() {
  const auto median = [](int32_t mode) {
    return [mode](SBxPicBuf& out, const SBxPicBuf& in) { ReducePointArtefacts(mode, in, out); };
  };
  const auto blur = [](SBxPicBuf& out, const SBxPicBuf& in) {
    testpics::CopyPicture(out, in);
    GaussianBlur11(out, 1.3f);
  };
  const auto filter = [](int32_t quality, double dynamics) {
    return [=](SBxPicBuf& out, const SBxPicBuf& in) {
      DenoiseComponent(out, in, 14, quality, dynamics, {}, -1, false, 2);
    };
  };
  const auto chromaPass = [](int32_t quality) {
    return [quality](SBxPicBuf& out, const SBxPicBuf& in) {
      ASSERT_FALSE(LargeChromaPass(out, in, 20, quality, 0, {}, false, 2));
    };
  };
  const DetailGains gains{1.6, 0.6, 1.4};
  const auto sharpen = [gains](SBxPicBuf& out, const SBxPicBuf& in) {
    testpics::CopyPicture(out, in);
    ASSERT_FALSE(SharpenPicture(out, gains));
  };
  return {
      {"median common 8-bit", 1, 8, PointArtefactFootprint(1), median(1)},
      {"median common 16-bit", 1, 16, PointArtefactFootprint(1), median(1)},
      {"median strong", 1, 8, PointArtefactFootprint(2), median(2)},
      {"pre-blur", 1, 16, GaussianBlurFootprint(), blur},
      {"filter quality 1", 1, 8, NlmFootprint(1), filter(1, 0)},
      {"filter quality 3 with dynamics", 1, 16, NlmFootprint(3), filter(3, 0.5)},
      {"chroma pass quality 1", 1, 8, LargeChromaPassFootprint(NlmFootprint(1)), chromaPass(1)},
      {"chroma pass quality 3", 1, 16, LargeChromaPassFootprint(NlmFootprint(3)), chromaPass(3)},
      {"detail pyramid 8-bit", 3, 8, SharpeningFootprint(gains), sharpen},
      {"detail pyramid 16-bit", 3, 16, SharpeningFootprint(gains), sharpen},
  };
}

// Cores whose regions meet the edge of the footprint: near sides exactly `reach` before the core
// and far sides exactly `reach` after it (unless the settled side makes them grow), cores at the
// picture's sides, and a small core grown to the settled side.
std::vector<TileRect> EdgeCores(const Footprint& f, int32_t width, int32_t height) {
  const int32_t g = f.grid;
  const int32_t start = f.reach + 2 * g;
  // Sides w with w + 2 · reach on the grid and at least the settled side.
  int32_t side = std::max(30, f.settledSide - 2 * f.reach);
  while ((side + 2 * f.reach) % g != 0) ++side;
  return {
      {start, start + g, start + side, start + g + side},
      {0, 0, 45, 38},
      {width - 37, height - 29, width, height},
      {width / 2 + 3, height / 2 + 1, width / 2 + 9, height / 2 + 4},
  };
}

TEST(Footprint, ARegionAtTheEdgeOfEachStagesReachGivesTheWholePicturesResult) {
  for (const Stage& stage : Stages()) {
    const int32_t width = 637;
    const int32_t height = 451;
    const Picture picture = testpics::AddNoise(
        testpics::SmoothScene(width, height, stage.components, stage.bits), 9.0, 5);
    Picture whole(width, height, stage.components, stage.bits);
    stage.run(whole, picture);
    for (const TileRect& core : EdgeCores(stage.footprint, width, height)) {
      const TileRect region = RegionAround(core, stage.footprint, width, height);
      const Picture cut = testpics::CutOut(picture, region);
      Picture result(region.Width(), region.Height(), stage.components, stage.bits);
      stage.run(result, cut);
      EXPECT_EQ(testpics::MaxDifferenceInside(whole, result, region, core), 0)
          << stage.name << ", core at " << core.x0 << "," << core.y0 << ", region " << region.x0
          << "," << region.y0 << " … " << region.x1 << "," << region.y1;
    }
  }
}

}  // namespace
