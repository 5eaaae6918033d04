// The live preview's latency end to end, in the desktop application on Qt's off-screen platform:
// from a drag of the preview rectangle (press, move, release) to the rectangle's result in the
// view's image. The camera photo whole (24 MP) and cut to 6 MP from its middle, as loaded (8 bits)
// and widened to 16 bits, with chroma-large 10 and the sharpening gains 1.6 / 1.2 / 1.4 (the
// nearest slider steps to 1.5 / 1.3 / 1.2), on the CPU, the view at 100 %. Beside it the engine
// alone on the same rectangle's region. Figures for docs/PERFORMANCE.md.
//
//   preview_latency --photo PHOTO [--rounds N]
#include <time.h>

#include <QApplication>
#include <QImage>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "app/image_view.h"
#include "app/main_window.h"
#include "engine/denoise_rectangle.h"
#include "panel/parameters_panel.h"
#include "picture/photo_loading.h"
#include "picture/photo_saving.h"
#include "profiles/profile_request.h"
#include "tools/offscreen_settings.h"

namespace fs = std::filesystem;

namespace {

using Clock = std::chrono::steady_clock;

double MillisecondsSince(Clock::time_point start) {
  return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// The processor time of the whole process so far (every thread), in ms: steadier than the wall
// clock on a machine that other work keeps busy.
double ProcessorMilliseconds() {
  timespec now{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
  return now.tv_sec * 1e3 + now.tv_nsec / 1e6;
}

// The wall-clock and processor times of one drag, in ms.
struct Latency {
  double wall;
  double processor;
  bool operator<(const Latency& other) const { return wall < other.wall; }
};

struct Setting {
  const char* name;
  int32_t width;  // 0: the whole photo
  int32_t height;
  uint32_t bits;
};

// The photo cut to `setting` from its middle, at its depth, written where the window can open it.
bool WritePhoto(const fs::path& photo, const Setting& setting, const fs::path& output) {
  PhotoDocument document;
  if (OpenPhoto(document, photo, true)) return false;
  const SBxPicBuf& source = document.sourcePicture;
  const int32_t width = setting.width > 0 ? std::min(setting.width, source.width) : source.width;
  const int32_t height =
      setting.height > 0 ? std::min(setting.height, source.height) : source.height;
  if (CBxPicBufAPI::ReinitHeap(document.denoisedPicture, width, height, source.components,
                               source.bitsPerComponent)) {
    return false;
  }
  CBxPicBufAPI::CopyRect(document.denoisedPicture, source, {0, 0},
                         {(source.width - width) / 2, (source.height - height) / 2},
                         {width, height});
  if (CBxPicBufAPI::ConvertBpcComp(document.denoisedPicture, setting.bits, source.components)) {
    return false;
  }
  return SavePhoto(document, output, 95) == SaveFailure::kNone;
}

// Runs the window's events until the preview shows its rectangle's result.
void WaitForThePreview(MainWindow& window) {
  while (window.Session().PreviewWorking()) {
    QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
  }
}

// The view shows the rectangle's result: the view's pixel at the rectangle's middle is the shown
// picture's pixel there as the view converts it (to 8 bits).
bool ViewShowsTheRectangle(MainWindow& window) {
  const PreviewPixels& rect = window.Panel()->ShownPreviewPixels();
  const SBxPicBuf& shown = window.Document().denoisedPicture;
  int viewX = 0;
  int viewY = 0;
  window.View().Mapping().MapPointSrcToDst(viewX, viewY, (rect.left + rect.right) / 2,
                                           (rect.top + rect.bottom) / 2);
  double x = 0;
  double y = 0;
  window.View().Mapping().MapPointDstToSrc(x, y, viewX, viewY);
  ScopedPicBuf pixel;
  if (CBxPicBufAPI::ReinitHeap(*pixel, 1, 1, shown.components, shown.bitsPerComponent)) {
    return false;
  }
  // The view samples the nearest pixel, halves rounded up.
  const CBxPoint<int> nearest{static_cast<int>(std::floor(x + 0.5)),
                              static_cast<int>(std::floor(y + 0.5))};
  CBxPicBufAPI::CopyRect(*pixel, shown, {0, 0}, nearest, {1, 1});
  if (CBxPicBufAPI::ConvertBpcComp(*pixel, 8, 3)) return false;
  const QRgb view = window.ImageViewWidget()->RenderedImage().pixel(viewX, viewY);
  return qBlue(view) == pixel->data[0] && qGreen(view) == pixel->data[1] &&
         qRed(view) == pixel->data[2];
}

// One drag of the rectangle by (dx, dy) view pixels: press on its middle, move, release; the time
// until the view's image shows the rectangle's result.
Latency DragAndWait(MainWindow& window, int dx, int dy) {
  const PreviewPixels& rect = window.Panel()->ShownPreviewPixels();
  int viewX = 0;
  int viewY = 0;
  window.View().Mapping().MapPointSrcToDst(viewX, viewY, (rect.left + rect.right) / 2,
                                           (rect.top + rect.bottom) / 2);
  ParametersPanel& panel = *window.Panel();
  const QPoint start(viewX, viewY);
  const QPoint end(viewX + dx, viewY + dy);
  panel.ViewMouseMoved(start, false);
  panel.ViewMousePressed(start);
  const Clock::time_point began = Clock::now();
  const double processor = ProcessorMilliseconds();
  panel.ViewMouseMoved(end, true);
  panel.ViewMouseReleased(end);
  WaitForThePreview(window);
  return {MillisecondsSince(began), ProcessorMilliseconds() - processor};
}

// The engine alone on the region of the rectangle now shown, as the preview computes it.
double EngineAlone(MainWindow& window) {
  const IsoProfile values = window.Session().Panel().RunValues();
  const Clock::time_point began = Clock::now();
  ScopedPicBuf out;
  DenoiseRectangle(*out, window.Document().sourcePicture,
                   TileRectOf(window.Panel()->ShownPreviewPixels()),
                   RequestForProfile(values, EngineChoice{}),
                   {values.m_dSharp1, values.m_dSharp2, values.m_dSharp3}, {});
  return MillisecondsSince(began);
}

void Measure(const fs::path& photo, const Setting& setting, int rounds) {
  MainWindow window;
  window.resize(1280, 880);
  window.show();
  window.Session().SetAcceleration({false, false});
  if (!window.OpenPhotoFile(photo)) {
    std::fprintf(stderr, "preview_latency: cannot open %s\n", photo.c_str());
    return;
  }
  window.ImageViewWidget()->Zoom100();
  PanelModel& panel = window.Session().Panel();
  panel.SetSliderPosition(PanelScale::kStrength, 200);             // 10
  panel.SetSliderPosition(PanelScale::kStrengthChroma, 200);       // 10
  panel.SetSliderPosition(PanelScale::kStrengthChromaLarge, 200);  // 10
  panel.SetSliderPosition(PanelScale::kDynamics, 100);             // 0
  panel.SetMedianMode(kMedianNone);
  panel.SetSliderPosition(PanelScale::kSharpTiny, 8);    // 1.6
  panel.SetSliderPosition(PanelScale::kSharpMedium, 6);  // 1.2
  panel.SetSliderPosition(PanelScale::kSharpRough, 7);   // 1.4
  window.Panel()->PhotoOpened(window.ImageViewWidget()->width(), true);
  WaitForThePreview(window);

  std::vector<Latency> times;
  bool shown = true;
  for (int round = 0; round < rounds; ++round) {
    const int sign = round % 2 == 0 ? 1 : -1;
    times.push_back(DragAndWait(window, sign * 61, sign * 37));
    shown = shown && ViewShowsTheRectangle(window);
  }
  std::sort(times.begin(), times.end());
  const PreviewPixels& rect = window.Panel()->ShownPreviewPixels();
  const SBxPicBuf& source = window.Document().sourcePicture;
  const TileRect region = RectangleRegion(
      TileRectOf(rect), RequestForProfile(panel.RunValues(), EngineChoice{}),
      {panel.RunValues().m_dSharp1, panel.RunValues().m_dSharp2, panel.RunValues().m_dSharp3},
      source.width, source.height);
  const Latency& median = times[times.size() / 2];
  std::printf(
      "%-14s %5d x %-5d %2u bits | drag to pixels: best %6.1f ms, median %6.1f ms "
      "(processor %6.1f ms), worst %6.1f ms | engine alone %6.1f ms | region %d x %d%s\n",
      setting.name, source.width, source.height, source.bitsPerComponent, times.front().wall,
      median.wall, median.processor, times.back().wall, EngineAlone(window), region.Width(),
      region.Height(), shown ? "" : " | THE VIEW DID NOT SHOW THE RESULT");
  window.close();
}

}  // namespace

int main(int argc, char** argv) {
  const OffscreenSettings offscreen("preview-latency");
  if (offscreen.Folder().empty()) return 1;
  QApplication application(argc, argv);
  fs::path photo;
  int rounds = 9;
  for (int i = 1; i + 1 < argc; i += 2) {
    if (std::strcmp(argv[i], "--photo") == 0) photo = argv[i + 1];
    if (std::strcmp(argv[i], "--rounds") == 0) rounds = std::max(1, std::atoi(argv[i + 1]));
  }
  if (photo.empty()) {
    std::fprintf(stderr, "usage: preview_latency --photo PHOTO [--rounds N]\n");
    return 1;
  }
  const Setting settings[] = {{"6 MP, 8-bit", 3000, 2000, 8},
                              {"6 MP, 16-bit", 3000, 2000, 16},
                              {"24 MP, 8-bit", 0, 0, 8},
                              {"24 MP, 16-bit", 0, 0, 16}};
  int status = 0;
  for (const Setting& setting : settings) {
    const fs::path file =
        offscreen.Folder() / (std::string("photo-") + std::to_string(setting.width) + "-" +
                              std::to_string(setting.bits) + (setting.bits == 8 ? ".png" : ".tif"));
    if (!WritePhoto(photo, setting, file)) {
      std::fprintf(stderr, "preview_latency: cannot prepare %s from %s\n", setting.name,
                   photo.c_str());
      status = 2;
      continue;
    }
    Measure(file, setting, rounds);
    fs::remove(file);
  }
  return status;
}
