#include "app/main_window.h"

#include <QApplication>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QMimeData>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QStatusBar>
#include <QTimer>
#include <QUrl>

#include "app/acceleration_text.h"
#include "app/batch_options_dialog.h"
#include "app/batch_progress_window.h"
#include "app/batch_report.h"
#include "app/docker_panel.h"
#include "app/file_dialogs.h"
#include "app/help.h"
#include "app/image_view.h"
#include "app/options_dialog.h"
#include "app/zoom_box.h"
#include "batch/folder_listing.h"
#include "config/localisation.h"
#include "config/settings.h"
#include "engine/gpu_self_test.h"
#include "gpu/gl_context.h"
#include "gpu/gpgpu.h"
#include "panel/parameters_panel.h"
#include "picture/photo_loading.h"
#include "picture/photo_saving.h"
#include "theme/application_theme.h"
#include "widgets/localised_text.h"
#include "widgets/message_boxes.h"
#include "widgets/url_opener.h"

namespace {

// The graphics card, opened on this (the user-interface) thread, which then holds its context.
std::unique_ptr<CGPGPU> OpenGraphicsCard() {
  auto gpu = std::make_unique<CGPGPU>();
  InitGpu(*gpu);
  return gpu;
}

QString PathText(const std::filesystem::path& path) { return QString::fromStdString(path.string()); }

QIcon ToolIcon(const char* name) { return QIcon(QStringLiteral(":/images/%1.svg").arg(name)); }

// The product's page, opened by Visit Web Site.
constexpr const char* kWebSite = "https://stillgrain.org/";

// String numbers of the status bar, the menu and the toolbar.
constexpr int32_t kStringPressCtrlO = 1;
constexpr int32_t kStringViewHelp = 18;

}  // namespace

// The session's jobs end on this window's thread, through its event loop.
MainWindow::MainWindow()
    : session_(
          [this](std::function<void()> call) {
            QMetaObject::invokeMethod(this, std::move(call), Qt::QueuedConnection);
          },
          OpenGraphicsCard()) {
  session_.AddObserver(this);
  setWindowTitle(QStringLiteral("Stillgrain"));
  setWindowIcon(QIcon(QStringLiteral(":/images/STILLGRAIN.svg")));
  setAcceptDrops(true);

  // The graphics card first: the settings admit acceleration only when it is usable, the engine's
  // self-test passes and it is faster than the CPU. The crash flag read here decides about the
  // warning.
  const QString accelerationNote = ReloadSettings();
  crashWarningDue_ = MarkRunStarted() != 0;

  status_ = new QLabel(Localised(kStringPressCtrlO));
  statusBar()->addWidget(status_, 1);
  statusBar()->setSizeGripEnabled(false);
  CreateToolBar();
  CreateViewAndDocker();
  CreateKeys();
  saveAction_->setEnabled(false);
  zoomBox_->setEnabled(false);
  viewState_.zoom = 1.0;
  // 1280 × 860, or less where the screen is smaller: a laptop's 768 lines hold the desktop's own
  // panels besides the window, and the window's title bar is not known before it is shown.
  constexpr int kTitleBarAllowance = 40;
  resize(QSize(1280, 860).boundedTo(screen()->availableGeometry().size() -
                                    QSize(0, kTitleBarAllowance)));
  view_->setFocus();
  if (!accelerationNote.isEmpty()) SetStatusText(accelerationNote);
}

MainWindow::~MainWindow() { session_.StopJobAndWait(); }

void MainWindow::CreateToolBar() {
  toolbar_ = addToolBar(QStringLiteral("Main"));
  toolbar_->setMovable(false);
  toolbar_->setFloatable(false);
  toolbar_->setIconSize(QSize(24, 24));
  toolbar_->setContextMenuPolicy(Qt::PreventContextMenu);
  toolbar_->setContentsMargins(7, 0, 0, 0);

  const auto add = [this](const char* image, int32_t tooltip, auto command) {
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
  zoomBox_->setToolTip(Localised(84));
  zoomBox_->setMinimumContentsLength(7);
  const int boxWidth = std::max(85, zoomBox_->sizeHint().width());
  zoomBox_->setGeometry(5, 4, boxWidth, 26);
  placeholder->setFixedSize(boxWidth + 10, 34);
  zoomBoxAction_ = toolbar_->addWidget(placeholder);

  menuButton_ = new QToolButton;
  menuButton_->setText(Localised(kStringMenu));
  menuButton_->setIcon(ToolIcon("IDP_PICKER"));
  menuButton_->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
  menuButton_->setToolTip(Localised(kTipMenu));
  connect(menuButton_, &QToolButton::clicked, this, &MainWindow::ShowPopupMenu);
  toolbar_->addWidget(menuButton_);
}

void MainWindow::CreateViewAndDocker() {
  viewArea_ = new QWidget;
  viewArea_->installEventFilter(this);
  setCentralWidget(viewArea_);
  view_ = new ImageView(session_.Document(), viewState_, viewArea_);
  docker_ = new DockerPanel(viewArea_);
  // The panel scrolls when the window is shorter than the panel, so that all of it can be reached.
  panelScroll_ = new QScrollArea(docker_);
  panelScroll_->setObjectName(QStringLiteral("panelScroll"));
  panelScroll_->setFrameShape(QFrame::NoFrame);
  panelScroll_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  panelScroll_->setWidgetResizable(true);
  panel_ = new ParametersPanel(session_, viewState_, *this, nullptr);
  panelScroll_->setWidget(panel_);
  panel_->installEventFilter(this);
  docker_->AddDockedWindow(panelScroll_);
  docker_->LayoutDocker();
  docker_->show();
  view_->SetPreviewMouseClient(panel_);
  connect(panel_, &ParametersPanel::previewRectChanged, view_, &ImageView::Redraw);
  connect(panel_, &ParametersPanel::viewCursorChanged, view_,
          [this](Qt::CursorShape shape) { view_->setCursor(shape); });

  connect(view_, &ImageView::zoomChanged, this, [this] { ShowZoom(); });
  connect(view_, &ImageView::stepRequested, this, &MainWindow::StepPhoto);
  connect(zoomBox_, &ZoomBox::zoomChosen, view_, &ImageView::SetZoom);
  // The keyboard given to the window goes to the view (at start, and when the zoom box is done).
  setFocusProxy(view_);
  connect(zoomInAction_, &QAction::triggered, this, [this] { view_->ZoomBy(kZoomInFactor); });
  connect(zoomOutAction_, &QAction::triggered, this, [this] { view_->ZoomBy(kZoomOutFactor); });
  connect(zoom100Action_, &QAction::triggered, this, [this] { view_->Zoom100(); });
  connect(zoomFitAction_, &QAction::triggered, this, [this] { view_->ZoomToFit(); });
}

// The window's own keys act wherever the focus is; the view's (arrows, "+", "-", Page Up, Page
// Down) are the view's own, so that a focused control keeps those keys.
void MainWindow::CreateKeys() {
  openAction_->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_O));
  const auto key = [this](QList<QKeySequence> keys, auto handler) {
    auto* action = new QAction(this);
    action->setShortcuts(keys);
    connect(action, &QAction::triggered, this, handler);
    addAction(action);
  };
  // Ctrl+S works also while Save As is disabled, to say why there is nothing to save yet.
  key({QKeySequence(Qt::CTRL | Qt::Key_S)}, [this] { CommandSaveAs(); });
  key({QKeySequence(Qt::Key_F1)}, [this] { CommandHelp(); });
  key({QKeySequence(Qt::ALT | Qt::Key_Slash), QKeySequence(Qt::ALT | Qt::Key_Question)},
      [this] { CommandAbout(); });
}

// The docker stands at the right edge of the area below the toolbar; the view takes the rest. The
// panel's scroll area is as high as the docker and keeps room for its scroll bar. The panel keeps
// the widest width it asked for, so that its texts do not wrap anew when a run changes a button's
// text, and nothing in it moves.
void MainWindow::LayoutViewArea() {
  panelWidth_ = std::max(panelWidth_, panel_->sizeHint().width());
  const int scrollBar = panelScroll_->verticalScrollBar()->sizeHint().width();
  panelScroll_->resize(panelWidth_ + scrollBar, viewArea_->height());
  docker_->setGeometry(docker_->x(), 0, docker_->width(), viewArea_->height());
  docker_->LayoutDocker();
  view_->setGeometry(0, 0, std::max(docker_->x(), 0), viewArea_->height());
}

// The view area is laid out again when it changes size, and when the panel's contents change its
// size (Show / Hide of manual tuning): the panel's scroll area takes its width and the docker
// follows.
bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
  if (watched == viewArea_ && event->type() == QEvent::Resize) LayoutViewArea();
  if (watched == panel_ && event->type() == QEvent::LayoutRequest) LayoutViewArea();
  return QMainWindow::eventFilter(watched, event);
}

QSize MainWindow::ViewSize() const { return view_->size(); }

void MainWindow::SetStatusText(const QString& text) { status_->setText(text); }

void MainWindow::SetSaveAsEnabled(bool enabled) { saveAction_->setEnabled(enabled); }

bool MainWindow::HasPhoto() const { return session_.HasPhoto(); }

void MainWindow::SetTitleForPath(const std::filesystem::path& path) {
  setWindowTitle(QStringLiteral("Stillgrain - %1").arg(PathText(path)));
}

void MainWindow::ShowZoom() { zoomBox_->ShowZoom(viewState_.zoom); }

void MainWindow::CommandOpen() {
  const auto path = AskPhotoToOpen(this, session_.Document().path.parent_path());
  if (path) OpenPhotoFile(*path);
}

bool MainWindow::OpenPhotoFile(const std::filesystem::path& path, bool keepProfile) {
  if (session_.JobRunning() || path.empty() || !ResultMayBeDiscarded()) return false;
  OpenOutcome outcome = session_.Open(path, false);
  const QString notice = QString::fromStdString(OpenFailureNotice(outcome, path));
  // A damaged photo is opened only when the user asks for what can be read of it, once per open.
  if (outcome.failure == OpenFailure::kDamaged) {
    if (!AskYesNo(this, QString(),
                  notice + QStringLiteral("\n\n") + Localised(kStringOpenDamagedPhoto))) {
      return false;
    }
    outcome = session_.Open(path, true);
  }
  if (outcome.failure != OpenFailure::kNone) {
    ShowMessage(this, MessageKind::kWarning, QString(),
                QString::fromStdString(OpenFailureNotice(outcome, path)));
    return false;
  }
  AfterOpen(path, keepProfile);
  // What the open photo lacks (further pages, accepted damage) is said where the view's help is.
  if (!outcome.notes.empty()) SetStatusText(QString::fromStdString(outcome.notes.front()));
  return true;
}

void MainWindow::AfterOpen(const std::filesystem::path& path, bool keepProfile) {
  SetTitleForPath(path);
  SetStatusText(Localised(kStringViewHelp));
  viewState_.panning = false;
  view_->RefreshCaches();
  view_->ZoomToFit();
  ShowZoom();
  zoomBox_->setEnabled(true);
  view_->setFocus();
  panel_->PhotoOpened(view_->width(), keepProfile);
}

// Only a finished result is saved: before a full-size run the shown picture is the photo as
// loaded with the preview's square pasted into it, which nobody wants as a file.
bool MainWindow::CommandSaveAs() {
  if (session_.JobRunning()) return false;
  if (!session_.HasResult()) {
    if (HasPhoto()) SetStatusText(Localised(kStringNothingToSave));
    return false;
  }
  const PhotoDocument& document = session_.Document();
  const auto choice = AskSaveTarget(this, document.path, document.denoisedPicture.bitsPerComponent,
                                    LoadJpegQuality());
  if (!choice) return false;
  std::vector<std::string> warnings;
  const SaveFailure failure = session_.Save(choice->path, choice->jpegQuality, &warnings);
  // Whatever failed, the photo stays open with its changes.
  if (failure == SaveFailure::kUnsupportedFormat) {
    ShowMessage(this, MessageKind::kWarning, QString(), Localised(kStringImageFormatNotSupported));
  } else if (failure != SaveFailure::kNone) {
    ShowMessage(this, MessageKind::kWarning, QString(),
                Localised(kStringOutputNotWritten) + QStringLiteral("\n") + PathText(choice->path));
  } else {
    StoreJpegQuality(choice->jpegQuality);
    SetTitleForPath(choice->path);
    SetStatusText(warnings.empty() ? Localised(kStringSavedAs).arg(PathText(choice->path))
                                   : QString::fromStdString(warnings.front()));
  }
  update();
  return failure == SaveFailure::kNone;
}

bool MainWindow::ResultMayBeDiscarded() {
  if (!session_.HasUnsavedResult()) return true;
  const QString name = PathText(session_.Document().path.filename());
  switch (AskSaveDiscardCancel(this, windowTitle(), Localised(kStringUnsavedResult).arg(name))) {
    case SaveAnswer::kSave:
      return CommandSaveAs();
    case SaveAnswer::kDiscard:
      return true;
    case SaveAnswer::kCancel:
      return false;
  }
  return false;
}

void MainWindow::CommandClose() {
  if (ResultMayBeDiscarded()) ClosePhoto();
}

void MainWindow::ClosePhoto() {
  SetStatusText(Localised(kStringPressCtrlO));
  setWindowTitle(QStringLiteral("Stillgrain"));
  session_.Close();
  viewState_.interpolation = ViewInterpolation::Nearest;
  view_->Clear();
  unsetCursor();
  openAction_->setEnabled(true);
  saveAction_->setEnabled(false);
  zoomBox_->setEnabled(false);
  panel_->SetDenoiseEnabled(false);
}

// The settings as the Options dialog and the runs use them: the language list (for the dialog and
// the help file's name) and the admitted acceleration. The card is only tried when the user asked
// for it; when it is not admitted, the reason is returned.
QString MainWindow::ReloadSettings() {
  LoadLanguageList();
  const StartupSettings stored = LoadSettings();
  if (stored.hwAccel == 0) {
    session_.SetAcceleration(AdmitAcceleration(stored, AccelerationAdmission{}));
    return {};
  }
  const AccelerationAdmission& card = session_.CardAdmission();
  session_.SetAcceleration(AdmitAcceleration(stored, card));
  return AccelerationReason(card);
}

void MainWindow::CommandOptions() {
  ReloadSettings();
  const auto chosen = ShowOptionsDialog(this, [this] { return session_.CardAdmission(); });
  if (chosen) session_.SetAcceleration(*chosen);
  view_->SetBackgroundGrey(ViewBackgroundGrey());  // the dialog may have switched the scheme
  view_->RefreshCaches();
}

// Help and the web site say where they looked when nothing opened, instead of doing nothing.
void MainWindow::CommandHelp() {
  if (ShowHelpContents()) return;
  ShowMessage(this, MessageKind::kWarning, Localised(4),
              Localised(kStringHelpNotOpened) + QStringLiteral("\n") +
                  PathText(InstalledHelpFile(LanguageAcronym(CurrentLanguage()))));
}

void MainWindow::CommandVisitWebSite() {
  const QUrl address(QString::fromLatin1(kWebSite));
  if (OpenWithDesktop(address)) return;
  ShowMessage(this, MessageKind::kWarning, Localised(13),
              Localised(kStringWebSiteNotOpened) + QStringLiteral("\n") + address.toString());
}

void MainWindow::CommandAbout() {
  ShowMessage(this, MessageKind::kInformation, Localised(31),
              Localised(kStringAboutText).arg(QStringLiteral(STILLGRAIN_VERSION)));
}

void MainWindow::StepPhoto(StepDirection direction) {
  const std::filesystem::path& current = session_.Document().path;
  if (!HasPhoto() || current.empty()) return;
  const auto target = NeighbourPhoto(current, direction);
  if (target) OpenPhotoFile(*target, true);
}

std::unique_ptr<QMenu> MainWindow::BuildPopupMenu() {
  auto menu = std::make_unique<QMenu>(this);
  QMenu* file = menu->addMenu(Localised(2));
  file->addAction(Localised(5) + QStringLiteral("\tCtrl+O"), this, &MainWindow::CommandOpen);
  file->addAction(Localised(6) + QStringLiteral("\tCtrl+S"), this, &MainWindow::CommandSaveAs)
      ->setEnabled(saveAction_->isEnabled());
  file->addAction(Localised(7), this, &MainWindow::CommandClose)->setEnabled(!session_.JobRunning());
  file->addSeparator();
  file->addAction(Localised(8), this, &MainWindow::CommandOptions)->setEnabled(!session_.JobRunning());
  file->addSeparator();
  file->addAction(Localised(9), this, &QWidget::close);
  QMenu* denoise = menu->addMenu(Localised(3));
  denoise->addAction(Localised(11), this, &MainWindow::CommandBatchDenoising)
      ->setEnabled(batchAction_->isEnabled());
  QMenu* help = menu->addMenu(Localised(4));
  help->addAction(Localised(12) + QStringLiteral("\tF1"), this, &MainWindow::CommandHelp);
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
  saveAction_->setEnabled(enabled && session_.HasResult());
  batchAction_->setEnabled(enabled);
}

void MainWindow::SetToolBarEnabled(bool enabled) {
  toolbar_->setEnabled(enabled);
  view_->SetRunActive(!enabled);
}

void MainWindow::CommandBatchDenoising() {
  if (session_.JobRunning() || !ResultMayBeDiscarded()) return;
  const QString chosen = QFileDialog::getExistingDirectory(this, Localised(kStringSelectBatchFolder),
                                                           PathText(LoadLatestFolder()));
  if (chosen.isEmpty()) return;
  const std::filesystem::path root = chosen.toStdString();
  StoreLatestFolder(root);
  const std::optional<BatchChoices> choices = AskBatchChoices(this);
  if (choices) StartBatch(root, *choices);
}

void MainWindow::StartBatch(const std::filesystem::path& root, const BatchChoices& choices) {
  if (session_.JobRunning()) return;
  const uint32_t total = CountBatchImages(root, choices.includeSubfolders);
  ClosePhoto();
  batchWindow_ = new BatchProgressWindow(this, total, [this] { session_.CancelBatch(); });
  batchWindow_->show();
  SetDocumentCommandsEnabled(false);
  setCursor(Qt::WaitCursor);
  session_.StartBatch(root, choices, batchWindow_);
}

void MainWindow::BatchEnded(const BatchSummary& summary) {
  SetDocumentCommandsEnabled(true);
  const QString report = BatchReport(summary, batchWindow_->Failures());
  delete batchWindow_;
  batchWindow_ = nullptr;
  unsetCursor();
  ClosePhoto();
  if (shutDown_) return;
  ShowMessage(this, MessageKind::kInformation, Localised(kStringReport), report);
}

void MainWindow::PictureChanged() { view_->RefreshDenoised(); }

void MainWindow::PreviewShown(const std::vector<PreviewPixels>& areas, bool working) {
  viewState_.previewWorking = working;
  view_->RefreshDenoisedAreas(areas);
}

void MainWindow::FullRunStarted() { SetToolBarEnabled(false); }

void MainWindow::FullRunEnded(bool aborted) {
  SetToolBarEnabled(true);
  saveAction_->setEnabled(session_.HasResult());
  if (aborted) SetStatusText(Localised(kStringRunAborted));
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
  if (OpenPhotoFile(path)) {
    raise();
    activateWindow();
    setFocus();
  }
}

// The orderly end of a run: the panel closes (and saves the profiles), a job in progress is
// stopped and waited for, so that nothing is torn down under it and no half-written file is left
// (the batch finishes the photo it is working on), and the crash flag returns to 0.
void MainWindow::ShutDown() {
  if (shutDown_) return;
  shutDown_ = true;
  panel_->Close(true);
  session_.StopJobAndWait();
  MarkOrderlyExit();
}

// The crash warning waits until the window is on screen, so that it stands over the window rather
// than wherever the desktop puts a box without a visible owner.
void MainWindow::showEvent(QShowEvent* event) {
  QMainWindow::showEvent(event);
  if (!crashWarningDue_) return;
  crashWarningDue_ = false;
  QTimer::singleShot(0, this, [this] {
    ShowMessage(this, MessageKind::kInformation, Localised(kStringWarning),
                Localised(kStringCrashedLastTime));
  });
}

void MainWindow::closeEvent(QCloseEvent* event) {
  if (!closingWithoutQuestions_ && !shutDown_ && !ResultMayBeDiscarded()) {
    event->ignore();
    return;
  }
  ShutDown();
  event->accept();
}

void MainWindow::CloseWithoutQuestions() {
  closingWithoutQuestions_ = true;
  close();
}
