#include "app/main_window.h"

#include <QApplication>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QMimeData>
#include <QStatusBar>
#include <QUrl>

#include "widgets/localised_text.h"
#include "app/batch_options_dialog.h"
#include "app/batch_progress_window.h"
#include "app/batch_run.h"
#include "app/docker_panel.h"
#include "app/file_dialogs.h"
#include "app/full_denoise_run.h"
#include "app/help.h"
#include "app/image_view.h"
#include "config/localisation.h"
#include "widgets/message_boxes.h"
#include "app/options_dialog.h"
#include "app/private_messages.h"
#include "config/settings.h"
#include "app/shell_state.h"
#include "app/zoom_box.h"
#include "batch/folder_listing.h"
#include "engine/denoise.h"
#include "engine/gpu_self_test.h"
#include "gpu/gl_context.h"
#include "gpu/gpgpu.h"
#include "panel/parameters_panel.h"
#include "picture/photo_loading.h"
#include "picture/photo_saving.h"
#include "theme/application_theme.h"

namespace {


QString PathText(const std::filesystem::path& path) { return QString::fromStdString(path.string()); }

QIcon ToolIcon(const char* name) { return QIcon(QStringLiteral(":/images/%1.svg").arg(name)); }

// The product's page, opened by Visit Web Site.
constexpr const char* kWebSite = "https://stillgrain.org/";

// String numbers of the status bar, the menu and the toolbar.
constexpr int32_t kStringPressCtrlO = 1;
constexpr int32_t kStringViewHelp = 18;

}  // namespace

MainWindow::MainWindow() {
  setWindowTitle(QStringLiteral("Stillgrain"));
  setFocusPolicy(Qt::StrongFocus);
  setWindowIcon(QIcon(QStringLiteral(":/images/STILLGRAIN.svg")));
  setAcceptDrops(true);

  // The graphics card first: the settings admit acceleration only when it is usable and the
  // engine's self-test passes. The crash flag read here decides about the warning.
  gpu_ = std::make_unique<CGPGPU>();
  InitGpu(*gpu_);
  acceleration_ = AdmitAcceleration(LoadSettings(), gpu_.get());
  if (MarkRunStarted() != 0) {
    ShowMessage(this, MessageKind::kInformation, Localised(kStringWarning), Localised(kStringCrashedLastTime));
  }

  status_ = new QLabel(Localised(kStringPressCtrlO));
  statusBar()->addWidget(status_, 1);
  statusBar()->setSizeGripEnabled(false);
  CreateToolBar();
  CreateViewAndDocker();
  CreateKeys();
  saveAction_->setEnabled(false);
  zoomBox_->setEnabled(false);
  viewState_.zoom = 1.0;
  resize(1280, 860);
}

MainWindow::~MainWindow() {
  WaitForWorkers();
  ReleasePhotoDocument(document_);
}

void MainWindow::CreateToolBar() {
  toolbar_ = addToolBar(QStringLiteral("Main"));
  toolbar_->setMovable(false);
  toolbar_->setFloatable(false);
  toolbar_->setIconSize(QSize(24, 24));
  toolbar_->setContextMenuPolicy(Qt::PreventContextMenu);
  toolbar_->setContentsMargins(7, 0, 0, 0);

  const auto add = [this](const char* image, int32_t tooltip, void (MainWindow::*command)()) {
    QAction* action = toolbar_->addAction(ToolIcon(image), Localised(tooltip));
    action->setToolTip(Localised(tooltip));
    connect(action, &QAction::triggered, this, command);
    return action;
  };
  openAction_ = add("IDP_FOLDER", 19, &MainWindow::CommandOpen);
  saveAction_ = add("IDP_SAVE", 20, &MainWindow::CommandSaveAs);
  toolbar_->addSeparator();
  batchAction_ = add("IDP_DENOISEBATCH", 11, &MainWindow::CommandBatchDenoising);
  toolbar_->addAction(QString())->setEnabled(false);  // the blank button before the spacer

  // Keeps the zoom commands, the zoom box and Menu at the window's right edge.
  auto* spacer = new QWidget;
  spacer->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
  spacer->setMinimumWidth(1);
  toolbar_->addWidget(spacer);

  zoomInAction_ = toolbar_->addAction(ToolIcon("IDP_ZOOMIN"), Localised(22));
  zoomOutAction_ = toolbar_->addAction(ToolIcon("IDP_ZOOMOUT"), Localised(23));
  zoom100Action_ = toolbar_->addAction(ToolIcon("IDP_ZOOM100"), Localised(83));
  zoomFitAction_ = toolbar_->addAction(ToolIcon("IDP_ZOOMFIT"), Localised(24));

  // The zoom box sits on a placeholder, 5 pixels in from either side: 95 pixels wide, or wider
  // where the font needs more room for "800.0 %".
  auto* placeholder = new QWidget;
  placeholder->setToolTip(Localised(84));
  zoomBox_ = new ZoomBox(placeholder);
  zoomBox_->setMinimumContentsLength(7);
  const int boxWidth = std::max(85, zoomBox_->sizeHint().width());
  zoomBox_->setGeometry(5, 4, boxWidth, 26);
  placeholder->setFixedSize(boxWidth + 10, 34);
  zoomBoxAction_ = toolbar_->addWidget(placeholder);

  menuButton_ = new QToolButton;
  menuButton_->setText(QStringLiteral("Menu"));
  menuButton_->setIcon(ToolIcon("IDP_PICKER"));
  menuButton_->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
  connect(menuButton_, &QToolButton::clicked, this, &MainWindow::ShowPopupMenu);
  toolbar_->addWidget(menuButton_);
}

void MainWindow::CreateViewAndDocker() {
  viewArea_ = new QWidget;
  viewArea_->installEventFilter(this);
  setCentralWidget(viewArea_);
  view_ = new ImageView(document_, viewState_, viewArea_);
  docker_ = new DockerPanel(viewArea_);
  panel_ = new ParametersPanel(document_, viewState_, *this, docker_);
  panel_->adjustSize();
  panel_->installEventFilter(this);
  docker_->AddDockedWindow(panel_);
  docker_->LayoutDocker();
  docker_->show();
  view_->SetPreviewMouseClient(panel_);

  connect(view_, &ImageView::zoomChanged, this, [this] { ShowZoom(); });
  connect(zoomBox_, &ZoomBox::zoomChosen, this, [this](double zoom) {
    view_->SetZoom(zoom);
    setFocus();
  });
  connect(zoomInAction_, &QAction::triggered, this, [this] { view_->ZoomBy(kZoomInFactor); });
  connect(zoomOutAction_, &QAction::triggered, this, [this] { view_->ZoomBy(kZoomOutFactor); });
  connect(zoom100Action_, &QAction::triggered, this, [this] { view_->Zoom100(); });
  connect(zoomFitAction_, &QAction::triggered, this, [this] { view_->ZoomToFit(); });
}

void MainWindow::CreateKeys() {
  openAction_->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_O));
  saveAction_->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_S));
  zoomInAction_->setShortcuts({QKeySequence(Qt::Key_Plus), QKeySequence(Qt::KeypadModifier | Qt::Key_Plus)});
  zoomOutAction_->setShortcuts({QKeySequence(Qt::Key_Minus), QKeySequence(Qt::KeypadModifier | Qt::Key_Minus)});
  const auto key = [this](QList<QKeySequence> keys, auto handler) {
    auto* action = new QAction(this);
    action->setShortcuts(keys);
    connect(action, &QAction::triggered, this, handler);
    addAction(action);
  };
  key({QKeySequence(Qt::Key_F1)}, [this] { CommandHelp(); });
  key({QKeySequence(Qt::ALT | Qt::Key_Slash), QKeySequence(Qt::ALT | Qt::Key_Question)},
      [this] { CommandAbout(); });
  key({QKeySequence(Qt::Key_PageUp)}, [this] { StepPhoto(StepDirection::kPrevious); });
  key({QKeySequence(Qt::Key_PageDown)}, [this] { StepPhoto(StepDirection::kNext); });
  const auto pan = [this](int dx, int dy) {
    return [this, dx, dy] {
      if (!run_.Active()) view_->PanByKeys(dx, dy);
    };
  };
  key({QKeySequence(Qt::Key_Left)}, pan(-1, 0));
  key({QKeySequence(Qt::Key_Right)}, pan(1, 0));
  key({QKeySequence(Qt::Key_Up)}, pan(0, -1));
  key({QKeySequence(Qt::Key_Down)}, pan(0, 1));
}

// The docker stands at the right edge of the area below the toolbar; the view takes the rest.
void MainWindow::LayoutViewArea() {
  docker_->setGeometry(docker_->x(), 0, docker_->width(), viewArea_->height());
  docker_->LayoutDocker();
  view_->setGeometry(0, 0, std::max(docker_->x(), 0), viewArea_->height());
}

// The view area is laid out again when it changes size, and when the panel's contents change its
// size (Show / Hide of manual tuning): the panel takes its natural size and the docker follows.
bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
  if (watched == viewArea_ && event->type() == QEvent::Resize) LayoutViewArea();
  if (watched == panel_ && event->type() == QEvent::LayoutRequest) {
    panel_->adjustSize();
    LayoutViewArea();
  }
  return QMainWindow::eventFilter(watched, event);
}

QSize MainWindow::ViewSize() const { return view_->size(); }

void MainWindow::SetStatusText(const QString& text) { status_->setText(text); }

void MainWindow::SetSaveAsEnabled(bool enabled) { saveAction_->setEnabled(enabled); }

void MainWindow::StopFullRun() { runStop_.Request(); }

bool MainWindow::HasPhoto() const { return document_.sourcePicture.data != nullptr; }

void MainWindow::SetTitleForPath(const std::filesystem::path& path) {
  setWindowTitle(QStringLiteral("Stillgrain - %1").arg(PathText(path)));
}

void MainWindow::ShowZoom() { zoomBox_->ShowZoom(viewState_.zoom); }

void MainWindow::CommandOpen() {
  const auto path = AskPhotoToOpen(this);
  if (path) OpenPhotoFile(*path, true);
}

bool MainWindow::OpenPhotoFile(const std::filesystem::path& path, bool tellPanel) {
  if (run_.Active() || batch_.Active() || path.empty()) return false;
  OpenOutcome outcome = ::OpenPhotoFile(document_, path, OpenOptions{MaxPhotoPixels(), false});
  const QString notice = QString::fromStdString(OpenFailureNotice(outcome, path));
  // A damaged photo is opened only when the user asks for what can be read of it, once per open.
  if (outcome.failure == OpenFailure::kDamaged) {
    if (!AskYesNo(this, QString(),
                  notice + QStringLiteral("\n\n") + Localised(kStringOpenDamagedPhoto))) {
      return false;
    }
    outcome = ::OpenPhotoFile(document_, path, OpenOptions{MaxPhotoPixels(), true});
  }
  if (outcome.failure != OpenFailure::kNone) {
    ShowMessage(this, MessageKind::kWarning, QString(),
                QString::fromStdString(OpenFailureNotice(outcome, path)));
    return false;
  }
  AfterOpen(path, tellPanel);
  // What the open photo lacks (further pages, accepted damage) is said where the view's help is.
  if (!outcome.notes.empty()) SetStatusText(QString::fromStdString(outcome.notes.front()));
  return true;
}

void MainWindow::AfterOpen(const std::filesystem::path& path, bool tellPanel) {
  SetTitleForPath(path);
  SetStatusText(Localised(kStringViewHelp));
  CBxPicBufAPI::ReinitHeap(document_.denoisedPicture, document_.sourcePicture);
  CBxPicBufAPI::Copy(document_.denoisedPicture, document_.sourcePicture);
  viewState_.panning = false;
  view_->RefreshCaches();
  view_->ZoomToFit();
  ShowZoom();
  zoomBox_->setEnabled(true);
  saveAction_->setEnabled(true);
  if (tellPanel) SendPrivateMessage(panel_, UM_PHOTO_OPENED, view_->width(), 0);
}

void MainWindow::CommandSaveAs() {
  if (!document_.denoisedPicture.data || run_.Active()) return;
  const auto choice = AskSaveTarget(this, document_.path, document_.denoisedPicture.bitsPerComponent,
                                    LoadJpegQuality());
  if (!choice) return;
  std::vector<std::string> warnings;
  const SaveFailure failure = SavePhoto(document_, choice->path, choice->jpegQuality, &warnings);
  // Whatever failed, the photo stays open with its changes.
  if (failure == SaveFailure::kUnsupportedFormat) {
    ShowMessage(this, MessageKind::kWarning, QString(), Localised(kStringImageFormatNotSupported));
  } else if (failure != SaveFailure::kNone) {
    ShowMessage(this, MessageKind::kWarning, QString(),
                Localised(kStringOutputNotWritten) + QStringLiteral("\n") + PathText(choice->path));
  } else {
    StoreJpegQuality(choice->jpegQuality);
    SetTitleForPath(choice->path);
    if (!warnings.empty()) SetStatusText(QString::fromStdString(warnings.front()));
  }
  update();
}

void MainWindow::CommandClose() {
  SetStatusText(Localised(kStringPressCtrlO));
  setWindowTitle(QStringLiteral("Stillgrain"));
  ReleasePhotoDocument(document_);
  viewState_.interpolation = ViewInterpolation::Nearest;
  view_->Clear();
  unsetCursor();
  openAction_->setEnabled(true);
  saveAction_->setEnabled(false);
  zoomBox_->setEnabled(false);
  panel_->SetDenoiseEnabled(false);
}

void MainWindow::CommandOptions() {
  acceleration_ = AdmitAcceleration(LoadSettings(), gpu_.get());
  const auto chosen = ShowOptionsDialog(this, [this] { return RunGpuSelfTest(gpu_.get()); });
  if (chosen) acceleration_ = *chosen;
  view_->SetBackgroundGrey(ViewBackgroundGrey());  // the dialog may have switched the scheme
  view_->RefreshCaches();
}

void MainWindow::CommandHelp() { ShowHelpContents(); }

void MainWindow::CommandVisitWebSite() { QDesktopServices::openUrl(QUrl(QString::fromLatin1(kWebSite))); }

void MainWindow::CommandAbout() {
  ShowMessage(this, MessageKind::kInformation, Localised(31),
              QStringLiteral("Stillgrain %1\n\nNoise reduction for digital photographs.")
                  .arg(QStringLiteral(STILLGRAIN_VERSION)));
}

void MainWindow::StepPhoto(StepDirection direction) {
  if (!HasPhoto() || document_.path.empty()) return;
  const auto target = NeighbourPhoto(document_.path, direction);
  if (target) OpenPhotoFile(*target, false);
}

std::unique_ptr<QMenu> MainWindow::BuildPopupMenu() {
  auto menu = std::make_unique<QMenu>(this);
  QMenu* file = menu->addMenu(Localised(2));
  file->addAction(Localised(5) + QStringLiteral("\tCtrl+O"), this, &MainWindow::CommandOpen);
  file->addAction(Localised(6) + QStringLiteral("\tCtrl+S"), this, &MainWindow::CommandSaveAs)
      ->setEnabled(saveAction_->isEnabled());
  file->addAction(Localised(7), this, &MainWindow::CommandClose)->setEnabled(!run_.Active() && !batch_.Active());
  file->addSeparator();
  file->addAction(Localised(8), this, &MainWindow::CommandOptions)->setEnabled(!run_.Active() && !batch_.Active());
  file->addSeparator();
  file->addAction(Localised(9), this, &QWidget::close);
  QMenu* denoise = menu->addMenu(Localised(3));
  denoise->addAction(Localised(11), this, &MainWindow::CommandBatchDenoising)
      ->setEnabled(batchAction_->isEnabled());
  QMenu* help = menu->addMenu(Localised(4));
  help->addAction(Localised(13), this, &MainWindow::CommandVisitWebSite);
  help->addAction(Localised(16), this, &MainWindow::CommandAbout);
  return menu;
}

void MainWindow::ShowPopupMenu() {
  const std::unique_ptr<QMenu> menu = BuildPopupMenu();
  menu->exec(menuButton_->mapToGlobal(QPoint(0, menuButton_->height())));
}

void MainWindow::SetDocumentCommandsEnabled(bool enabled) {
  for (QAction* action : {openAction_, zoomInAction_, zoomOutAction_, zoom100Action_, zoomFitAction_,
                          zoomBoxAction_}) {
    action->setEnabled(enabled);
  }
  saveAction_->setEnabled(enabled && HasPhoto());
  batchAction_->setEnabled(enabled);
}

void MainWindow::SetToolBarEnabled(bool enabled) {
  toolbar_->setEnabled(enabled);
  view_->SetRunActive(!enabled);
}

void MainWindow::CommandBatchDenoising() {
  if (run_.Active() || batch_.Active()) return;
  qualityLevel = 3;
  const QString chosen = QFileDialog::getExistingDirectory(this, Localised(kStringSelectBatchFolder),
                                                           PathText(LoadLatestFolder()));
  if (chosen.isEmpty()) return;
  const std::filesystem::path root = chosen.toStdString();
  const uint32_t total = CountBatchImages(root);
  StoreLatestFolder(root);
  if (ShowBatchOptionsDialog(this) == 2) return;
  StartBatch(root, total);
}

void MainWindow::StartBatch(const std::filesystem::path& root, uint32_t total) {
  if (run_.Active() || batch_.Active()) return;
  CommandClose();
  batchWindow_ = new BatchProgressWindow(this, total, batchStop_);
  batchWindow_->show();
  SetDocumentCommandsEnabled(false);
  setCursor(Qt::WaitCursor);
  BatchOptions options;
  options.engine = {qualityLevel, acceleration_.useGpu, acceleration_.fusion, {-1, -1, -1}};
  options.gpu = gpu_.get();
  options.jpegQuality = LoadJpegQuality();
  batchStop_.Clear();
  batch_.Start(BatchJob(root, options, batchStop_, this, batchWindow_));
}

void MainWindow::BatchFinished(bool cancelled, intptr_t failed) {
  batch_.Join();
  SetDocumentCommandsEnabled(true);
  delete batchWindow_;
  batchWindow_ = nullptr;
  unsetCursor();
  CommandClose();
  if (shutDown_) return;
  QString text = Localised(cancelled ? kStringBatchCancelled : kStringBatchFinished);
  if (failed > 0) {
    text += QStringLiteral("\n\n%1 (%2)").arg(Localised(kStringOutputNotWritten)).arg(failed);
  }
  ShowMessage(this, MessageKind::kInformation, Localised(kStringReport), text);
}

void MainWindow::StartFullDenoise(uintptr_t wParam, intptr_t lParam) {
  if (run_.Active() || batch_.Active() || !HasPhoto()) return;
  SetToolBarEnabled(false);
  FullDenoiseRequest request;
  request.values = UnpackFullDenoiseMessage(wParam, lParam);
  request.quality = qualityLevel;
  request.medianMode = panel_->MedianMode();
  request.useGpu = acceleration_.useGpu;
  request.fusion = acceleration_.fusion;
  runStop_.Clear();
  request.run = RunControl(&panel_->RunProgress(), &runStop_, gpu_.get());
  run_.Start(FullDenoiseJob(
      document_, request, [this] { SendPrivateMessage(this, UM_WORKER_GL, 1); },
      [this] {
        SendPrivateMessage(this, UM_WORKER_GL, 0);
        PostPrivateMessage(this, UM_SINGLE_DENOISE_FINISHED);
      }));
}

void MainWindow::FullDenoiseFinished() {
  run_.Join();
  SetToolBarEnabled(true);
  if (shutDown_) return;
  PostPrivateMessage(panel_, runStop_.Requested() ? UM_FULL_DENOISE_ABORTED : UM_FULL_DENOISE_DONE);
}

// The worker asks for the graphics context (1: the user interface gives it up) and gives it back
// (0: the user interface takes it again). Failures are reported by the context functions.
void MainWindow::HandWorkerGl(uintptr_t wParam) {
  if (!acceleration_.useGpu || !gpu_->usable) return;
  if (wParam == 1) {
    ReleaseGpuContext(*gpu_);
  } else {
    AcquireGpuContext(*gpu_);
  }
}

bool MainWindow::event(QEvent* event) {
  const QEvent::Type type = event->type();
  if (type < QEvent::User || type > QEvent::MaxUser) return QMainWindow::event(event);
  const auto* message = static_cast<PrivateMessageEvent*>(event);
  if (type == UM_VIEW_PICTURE_CHANGED) {
    view_->RefreshDenoised();
  } else if (type == UM_VIEW_PREVIEW_RECT_CHANGED) {
    view_->Redraw();
  } else if (type == UM_START_FULL_DENOISE) {
    StartFullDenoise(message->wParam, message->lParam);
  } else if (type == UM_BATCH_FINISHED) {
    BatchFinished(message->wParam != 0, message->lParam);
  } else if (type == UM_CURSOR_WAIT) {
    view_->setCursor(Qt::WaitCursor);
  } else if (type == UM_CURSOR_ARROW) {
    view_->setCursor(Qt::ArrowCursor);
  } else if (type == UM_CURSOR_MOVE) {
    view_->setCursor(Qt::SizeAllCursor);
  } else if (type == UM_SINGLE_DENOISE_FINISHED) {
    FullDenoiseFinished();
  } else if (type == UM_WORKER_GL) {
    HandWorkerGl(message->wParam);
  } else {
    return QMainWindow::event(event);
  }
  return true;
}

void MainWindow::dragEnterEvent(QDragEnterEvent* event) {
  if (event->mimeData()->hasUrls()) event->acceptProposedAction();
}

// Only the first file of a drop is opened.
void MainWindow::dropEvent(QDropEvent* event) {
  const QList<QUrl> urls = event->mimeData()->urls();
  if (urls.isEmpty() || !urls.first().isLocalFile()) return;
  event->acceptProposedAction();
  const std::string path = urls.first().toLocalFile().toStdString();
  if (path.size() > kMaxPhotoPathBytes) return;
  if (OpenPhotoFile(path, true)) {
    raise();
    activateWindow();
    setFocus();
  }
}

// A run in progress is asked to stop and its worker waited for, so that nothing is torn down under
// it and no half-written file is left; the batch finishes the photo it is working on.
void MainWindow::WaitForWorkers() {
  if (run_.Active()) runStop_.Request();
  if (batch_.Active()) batchStop_.Request();
  while ((run_.Active() && !run_.Finished()) || (batch_.Active() && !batch_.Finished())) {
    QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
  }
  run_.Join();
  batch_.Join();
}

// The orderly end of a run: the panel closes (and saves the profiles), the graphics object goes,
// and the crash flag returns to 0.
void MainWindow::ShutDown() {
  if (shutDown_) return;
  shutDown_ = true;
  WaitForWorkers();
  QCoreApplication::removePostedEvents(this);
  panel_->Close(true);
  gpu_.reset();
  MarkOrderlyExit();
}

void MainWindow::closeEvent(QCloseEvent* event) {
  ShutDown();
  event->accept();
}
