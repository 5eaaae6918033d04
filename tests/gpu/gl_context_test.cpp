#include "gpu/gl_context.h"

#include <EGL/egl.h>
#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "engine/gpu_denoise.h"
#include "gpu/gpu_session.h"
#include "support/test_pictures.h"

namespace {

TEST(RefusedRenderer, NeedsRadeonWithOneOfTheRefusedModels) {
  struct Case {
    const char* renderer;
    bool refused;
  };
  const Case cases[] = {
      {"ATI Radeon 1300 Series", true},
      {"Radeon X1050", true},
      {"Mobility 1300 Radeon", true},
      {"AMD Radeon RX 580", false},
      {"GeForce 1050 Ti", false},
      {"radeon 1300", false},
      {"llvmpipe (LLVM 15.0.6, 256 bits)", false},
  };
  for (const Case& c : cases) EXPECT_EQ(RefusedRenderer(c.renderer), c.refused) << c.renderer;
}

TEST(CardIsUsable, AsksTheExtensionsInOrderUntilTheFirstMissing) {
  struct Case {
    const char* renderer;
    std::string missing;
    bool usable;
    size_t asked;
  };
  const Case cases[] = {
      {"llvmpipe", "", true, 3},
      {"llvmpipe", "GL_EXT_framebuffer_object", false, 1},
      {"llvmpipe", "GL_ARB_texture_non_power_of_two", false, 3},
      {"Radeon 1300", "", false, 0},
  };
  for (const Case& c : cases) {
    std::vector<std::string> asked;
    const bool usable = CardIsUsable(c.renderer, [&](const char* extension) {
      asked.emplace_back(extension);
      return c.missing != extension;
    });
    EXPECT_EQ(usable, c.usable) << c.renderer << " " << c.missing;
    ASSERT_EQ(asked.size(), c.asked);
    const std::vector<std::string> order{"GL_EXT_framebuffer_object", "GL_ARB_shading_language_100",
                                         "GL_ARB_texture_non_power_of_two"};
    EXPECT_TRUE(std::equal(asked.begin(), asked.end(), order.begin()));
  }
}

TEST(InitGpu, PrintsTheStatusLineAndAdmitsTheSoftwareRenderer) {
  SKIP_WITHOUT_GPU(gpu);
  EXPECT_EQ(gputest::TheSession().statusLine.rfind("Status: Using GLEW 2.", 0), 0u)
      << gputest::TheSession().statusLine;
  EXPECT_EQ(gputest::TheSession().notices, "");
  EXPECT_EQ(gpu->maxTileEdge, 1000);
  EXPECT_EQ(eglGetCurrentContext(), gpu->context);
}

// The owner lends the context to a worker for one job and takes it back.
TEST(GpuContextHandOver, WorkerDenoisesWhileTheOwnerHasReleasedIt) {
  SKIP_WITHOUT_GPU(gpu);
  testpics::Picture source = testpics::SmoothScene(12, 12, 1, 8);
  testpics::Picture expected(12, 12, 1, 8);
  testpics::Picture copy(source);
  {
    testpics::Picture guide(source);
    GpuDenoiseSingleGuide(expected, copy, guide, 5.0, 1, 0.0, RunControl(nullptr, nullptr, gpu),
                          -1.0);
  }
  ASSERT_FALSE(ReleaseGpuContext(*gpu));
  EXPECT_EQ(eglGetCurrentContext(), EGL_NO_CONTEXT);
  testpics::Picture result(12, 12, 1, 8);
  bool acquired = false;
  bool released = false;
  void* workerContext = nullptr;
  std::thread worker([&] {
    acquired = !AcquireGpuContext(*gpu);
    workerContext = eglGetCurrentContext();
    testpics::Picture workerSource(source);
    testpics::Picture guide(source);
    GpuDenoiseSingleGuide(result, workerSource, guide, 5.0, 1, 0.0,
                          RunControl(nullptr, nullptr, gpu), -1.0);
    released = !ReleaseGpuContext(*gpu);
    eglReleaseThread();
  });
  worker.join();
  ASSERT_FALSE(AcquireGpuContext(*gpu));
  EXPECT_TRUE(acquired);
  EXPECT_TRUE(released);
  EXPECT_EQ(workerContext, gpu->context);
  EXPECT_EQ(eglGetCurrentContext(), gpu->context);
  EXPECT_TRUE(testpics::BitIdentical(result, expected));
}

}  // namespace
