// Entry point of every user-interface suite: one QApplication on the off-screen platform (unless
// the environment names another), then the tests.
#include <gtest/gtest.h>

#include <QApplication>
#include <cstdlib>

int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  // The off-screen platform wants a private runtime folder; a test machine may have none.
  if (!getenv("XDG_RUNTIME_DIR")) {
    static char folder[] = "/tmp/stillgrain-ui-test-XXXXXX";
    if (mkdtemp(folder)) setenv("XDG_RUNTIME_DIR", folder, 1);
  }
  QApplication application(argc, argv);
  testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
