// The docker's layout and painting.
#include "app/docker_panel.h"

#include <gtest/gtest.h>

#include "theme/application_theme.h"

namespace {

TEST(DockerPanel, StacksChildrenAndTakesTheWidestWidth) {
  struct Case {
    bool leftSide;
    int dockerX;
    int childX;
    int dockerWidth;
  };
  const Case cases[] = {{false, 1000 - 301, 1, 300}, {true, 0, 0, 301}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.leftSide ? "left side" : "right side");
    QWidget parent;
    parent.resize(1000, 800);
    DockerPanel docker(&parent);
    docker.setGeometry(0, 40, 300, 700);
    docker.SetLeftSide(c.leftSide);
    QWidget first(&docker);
    first.resize(280, 120);
    QWidget second(&docker);
    second.resize(300, 50);
    docker.AddDockedWindow(&first);
    docker.AddDockedWindow(&second);
    docker.LayoutDocker();
    EXPECT_EQ(docker.geometry(), QRect(c.dockerX, 40, c.dockerWidth, 700));
    EXPECT_EQ(first.geometry(), QRect(c.childX, 0, 280, 120));
    EXPECT_EQ(second.geometry(), QRect(c.childX, 120, 300, 50));
  }
}

TEST(DockerPanel, WithoutChildrenIsOnePixelWideAtTheRightEdge) {
  QWidget parent;
  parent.resize(640, 480);
  DockerPanel docker(&parent);
  EXPECT_TRUE(docker.isHidden());
  docker.LayoutDocker();
  EXPECT_EQ(docker.geometry(), QRect(638, 0, 1, 1000));
}

TEST(DockerPanel, PaintsTheFaceAroundVisibleChildrenAndTheHighlightLineFacingTheView) {
  ApplyColourScheme(2);
  QWidget parent;
  parent.resize(400, 300);
  DockerPanel docker(&parent);
  QWidget child(&docker);
  child.resize(100, 50);
  child.setAutoFillBackground(true);
  QPalette red;
  red.setColor(QPalette::Window, Qt::red);
  child.setPalette(red);
  QWidget hidden(&docker);
  hidden.resize(100, 50);
  hidden.hide();
  docker.AddDockedWindow(&child);
  docker.AddDockedWindow(&hidden);
  docker.LayoutDocker();
  docker.resize(docker.width(), 200);
  docker.show();
  const QImage shot = docker.grab().toImage();
  EXPECT_EQ(shot.pixelColor(0, 10), QColor(0x64, 0x64, 0x64));
  EXPECT_EQ(shot.pixelColor(0, 150), QColor(0x64, 0x64, 0x64));
  EXPECT_EQ(shot.pixelColor(50, 25), QColor(Qt::red));
  EXPECT_EQ(shot.pixelColor(50, 75), QColor(0x46, 0x46, 0x46));  // where the hidden child lies
  EXPECT_EQ(shot.pixelColor(50, 150), QColor(0x46, 0x46, 0x46));
}

}  // namespace
