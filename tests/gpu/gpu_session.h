// The GPU object that the tests of one suite share: created on first use on the main thread, with
// its status line captured, and deleted after the last test. Tests skip when no usable OpenGL
// context can be had.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "gpu/gl_context.h"
#include "gpu/gpgpu.h"
#include "platform/notice.h"

namespace gputest {

struct Session {
  CGPGPU* gpu = nullptr;
  std::string statusLine;
  std::string notices;
};

inline Session& TheSession() {
  static Session session;
  return session;
}

inline CGPGPU* SharedGpu() {
  Session& session = TheSession();
  if (session.gpu == nullptr) {
    SetNoticeHandler([&session](const std::string& title, const std::string& text) {
      session.notices += title + ": " + text + " ";
    });
    session.gpu = new CGPGPU;
    testing::internal::CaptureStdout();
    InitGpu(*session.gpu);
    session.statusLine = testing::internal::GetCapturedStdout();
  }
  return session.gpu->usable ? session.gpu : nullptr;
}

class SessionEnvironment : public testing::Environment {
 public:
  void TearDown() override {
    delete TheSession().gpu;
    TheSession().gpu = nullptr;
  }
};

inline const testing::Environment* const kEnvironment =
    testing::AddGlobalTestEnvironment(new SessionEnvironment);

}  // namespace gputest

// Skips the test when there is no usable OpenGL context, saying why.
#define SKIP_WITHOUT_GPU(gpu)                                                                 \
  CGPGPU* gpu = gputest::SharedGpu();                                                         \
  if (gpu == nullptr) {                                                                       \
    GTEST_SKIP() << "no usable OpenGL context through EGL: " << gputest::TheSession().notices \
                 << gputest::TheSession().statusLine;                                         \
  }
