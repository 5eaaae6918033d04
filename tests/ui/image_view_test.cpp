// What the image view puts on screen: the checkerboard behind transparent pixels, the inverted
// preview frame, the before/after comparison and the mouse routing to the panel.
#include "app/image_view.h"

#include <gtest/gtest.h>

#include <QLineEdit>
#include <QSignalSpy>
#include <QTest>

#include "app/zoom_box.h"
#include "panel/preview_mouse_client.h"
#include "support/test_pictures.h"

namespace {

// The identity mapping: window pixel (x, y) shows picture pixel (x, y).
ViewState IdentityState() {
  ViewState state;
  state.zoom = 1;
  return state;
}

int Grey(const QImage& image, int x, int y) { return qGreen(image.pixel(x, y)); }

class FakeClient : public PreviewMouseClient {
 public:
  bool over = false;
  int presses = 0;
  int releases = 0;
  int moves = 0;
  void ViewMouseMoved(QPoint, bool) override { ++moves; }
  void ViewMousePressed(QPoint) override { ++presses; }
  void ViewMouseReleased(QPoint) override { ++releases; }
  bool OverPreview() const override { return over; }
};

// A document whose source and denoised pictures are flat greys, at 16 bits so that the view's
// conversion to 8 bits is exercised.
struct Document {
  testpics::Picture source = testpics::Constant(60, 40, 3, 16, 50 * 257);
  testpics::Picture denoised = testpics::Constant(60, 40, 3, 16, 200 * 257);
  PhotoDocument document;
  Document() {
    testpics::CopyPicture(document.sourcePicture, source.buf());
    testpics::CopyPicture(document.denoisedPicture, denoised.buf());
  }
};

}  // namespace

TEST(ViewRenderer, TransparentPixelsShowTheCheckerboard) {
  testpics::Picture picture = testpics::Constant(60, 40, 3, 16, 100 * 257);
  testpics::Picture alpha = testpics::Constant(60, 40, 1, 16, 0);
  for (int y = 0; y < 40; ++y) {
    for (int x = 30; x < 60; ++x) alpha.Set(x, y, 0, x < 45 ? 65535 : 128 * 257);
  }
  ViewRenderer renderer;
  renderer.RefreshCache(ViewPicture::kDenoised, picture);
  renderer.RefreshAlpha(alpha);
  QImage surface(70, 40, QImage::Format_BGR888);
  const ViewState state = IdentityState();
  renderer.Render(surface, ViewPicture::kDenoised, state, 35);
  struct Case {
    int x;
    int y;
    int grey;
  } cases[] = {
      {0, 0, 190},
      {14, 14, 190},
      {15, 0, 220},
      {0, 15, 220},
      {15, 15, 190},
      {29, 29, 190},
      {30, 10, 100},
      {44, 39, 100},                           // opaque
      {45, 0, (127 * 220 + 100 * 128) / 255},  // half transparent
      {65, 20, 35},                            // beside the picture: the background
  };
  for (const Case& c : cases) EXPECT_EQ(Grey(surface, c.x, c.y), c.grey) << c.x << "," << c.y;
}

TEST(ViewRenderer, PreviewFrameIsTwoInvertedPixelsWide) {
  testpics::Picture picture = testpics::Constant(60, 40, 3, 8, 100);
  ViewRenderer renderer;
  renderer.RefreshCache(ViewPicture::kDenoised, picture);
  ViewState state = IdentityState();
  const PreviewPixels preview{10, 10, 40, 30};
  state.previewRect = &preview;
  QImage surface(60, 40, QImage::Format_BGR888);
  renderer.Render(surface, ViewPicture::kDenoised, state, 35);
  struct Case {
    int x;
    int y;
    int grey;
  } cases[] = {
      {10, 10, 155}, {11, 20, 155}, {39, 30, 155}, {40, 15, 155}, {20, 10, 155},
      {20, 11, 155}, {20, 29, 155}, {20, 30, 155}, {12, 12, 100}, {20, 20, 100},
      {9, 20, 100},  {41, 20, 100}, {20, 31, 100},
  };
  for (const Case& c : cases) EXPECT_EQ(Grey(surface, c.x, c.y), c.grey) << c.x << "," << c.y;
}

TEST(ViewRenderer, AnAreaRefreshRebuildsThatAreaAloneAsTheWholeRefreshWould) {
  testpics::Picture picture = testpics::SmoothScene(60, 40, 3, 16);
  ViewRenderer partial;
  partial.RefreshCache(ViewPicture::kDenoised, picture);
  const PreviewPixels area{13, 7, 31, 26};
  for (int y = 0; y < 40; ++y) {
    for (int x = 0; x < 60; ++x) picture.Set(x, y, 1, 65535 - picture.At(x, y, 1));
  }
  partial.RefreshCacheArea(ViewPicture::kDenoised, picture, area);
  ViewRenderer whole;
  whole.RefreshCache(ViewPicture::kDenoised, picture);
  const ViewState state = IdentityState();
  QImage partialImage(60, 40, QImage::Format_BGR888);
  QImage wholeImage(60, 40, QImage::Format_BGR888);
  partial.Render(partialImage, ViewPicture::kDenoised, state, 35);
  whole.Render(wholeImage, ViewPicture::kDenoised, state, 35);
  for (int y = 0; y < 40; ++y) {
    for (int x = 0; x < 60; ++x) {
      const bool inside = x >= area.left && x < area.right && y >= area.top && y < area.bottom;
      EXPECT_EQ(partialImage.pixel(x, y) == wholeImage.pixel(x, y), inside) << x << "," << y;
    }
  }
}

TEST(ViewRenderer, AWorkingPreviewHasThreeInvertedDotsInsideItsCorner) {
  testpics::Picture picture = testpics::Constant(60, 40, 3, 8, 100);
  ViewRenderer renderer;
  renderer.RefreshCache(ViewPicture::kDenoised, picture);
  ViewState state = IdentityState();
  const PreviewPixels preview{10, 10, 50, 30};
  state.previewRect = &preview;
  QImage idle(60, 40, QImage::Format_BGR888);
  renderer.Render(idle, ViewPicture::kDenoised, state, 35);
  state.previewWorking = true;
  QImage working(60, 40, QImage::Format_BGR888);
  renderer.Render(working, ViewPicture::kDenoised, state, 35);
  int inverted = 0;
  for (int y = 0; y < 40; ++y) {
    for (int x = 0; x < 60; ++x) inverted += working.pixel(x, y) != idle.pixel(x, y);
  }
  EXPECT_EQ(inverted, 27);
  for (const QPoint dot : {QPoint(14, 14), QPoint(20, 16), QPoint(28, 15)}) {
    EXPECT_EQ(Grey(working, dot.x(), dot.y()), 155) << dot.x() << "," << dot.y();
  }
  EXPECT_EQ(Grey(working, 17, 15), 100);
}

TEST(ImageView, RightButtonComparesWithTheSourceAndClearEmptiesTheView) {
  Document doc;
  ViewState state;
  ImageView view(doc.document, state);
  view.resize(120, 80);
  view.RefreshCaches();
  QSignalSpy zooms(&view, &ImageView::zoomChanged);
  view.ZoomToFit();
  ASSERT_EQ(zooms.count(), 1);
  EXPECT_DOUBLE_EQ(zooms.at(0).at(0).toDouble(), 2.0);
  EXPECT_EQ(Grey(view.RenderedImage(), 60, 40), 200);
  QTest::mousePress(&view, Qt::RightButton, {}, QPoint(60, 40));
  EXPECT_EQ(Grey(view.RenderedImage(), 60, 40), 50);
  QTest::mouseRelease(&view, Qt::RightButton, {}, QPoint(60, 40));
  EXPECT_EQ(Grey(view.RenderedImage(), 60, 40), 200);

  view.Clear();
  view.resize(130, 90);
  view.Redraw();
  EXPECT_EQ(Grey(view.RenderedImage(), 60, 40), 35);
}

TEST(ImageView, LeftPressOverThePreviewGoesToThePanelInsteadOfPanning) {
  Document doc;
  ViewState state;
  ImageView view(doc.document, state);
  view.resize(120, 80);
  view.RefreshCaches();
  view.ZoomToFit();
  FakeClient client;
  view.SetPreviewMouseClient(&client);
  struct Case {
    bool over;
    bool runActive;
    int presses;
    bool panning;
  } cases[] = {{true, false, 1, false}, {false, false, 0, true}, {false, true, 0, false}};
  for (const Case& c : cases) {
    client = FakeClient{};
    client.over = c.over;
    view.SetRunActive(c.runActive);
    QTest::mousePress(&view, Qt::LeftButton, {}, QPoint(30, 30));
    EXPECT_EQ(client.presses, c.presses) << c.over << c.runActive;
    EXPECT_EQ(state.panning, c.panning) << c.over << c.runActive;
    QTest::mouseRelease(&view, Qt::LeftButton, {}, QPoint(30, 30));
    EXPECT_FALSE(state.panning);
    EXPECT_EQ(client.releases, c.runActive ? 0 : 1);
  }
}

TEST(ZoomBox, EnterAsksForTheTypedZoomOrRestoresTheShownOne) {
  ZoomBox box;
  box.setEnabled(true);
  box.ShowZoom(0.2);
  QSignalSpy chosen(&box, &ZoomBox::zoomChosen);
  struct Case {
    const char* typed;
    int emitted;
    const char* shown;
  } cases[] = {{"37,5", 1, "37.5 %"}, {"abc", 0, "37.5 %"}, {"200.0 %", 1, "200.0 %"}};
  for (const Case& c : cases) {
    // Enter reaches the box when it has the focus, the line edit when that has it.
    for (QWidget* target : {static_cast<QWidget*>(&box), static_cast<QWidget*>(box.lineEdit())}) {
      chosen.clear();
      box.lineEdit()->setText(c.typed);
      QTest::keyClick(target, Qt::Key_Return);
      EXPECT_EQ(chosen.count(), c.emitted) << c.typed;
      EXPECT_EQ(box.currentText().toStdString(), c.shown) << c.typed;
    }
  }
}
