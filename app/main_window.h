// The main window: owns the open photo, shows it in the image view, hosts the parameters panel in
// the docker at its right edge, and turns the toolbar, the popup menu, keys, dropped files and the
// panel's messages into commands. The full-size run and the batch run each have a worker thread;
// they talk to this window only through the private messages (app/private_messages.h).
#pragma once

#include <QAction>
#include <QLabel>
#include <QMainWindow>
#include <QMenu>
#include <QPointer>
#include <QToolBar>
#include <QToolButton>
#include <filesystem>
#include <memory>

#include "app/folder_stepping.h"
#include "widgets/view_state.h"
#include "app/worker_thread.h"
#include "engine/run_control.h"
#include "panel/panel_host.h"
#include "picture/photo_document.h"

class BatchProgressWindow;
class DockerPanel;
class ImageView;
class ParametersPanel;
class ZoomBox;

class MainWindow : public QMainWindow, public PanelHost {
  Q_OBJECT

 public:
  MainWindow();
  ~MainWindow() override;

  // The commands, in the order of the toolbar and the menu.
  void CommandOpen();
  // Opens `path` and runs the after-open steps; `tellPanel` for Open and drop, not for stepping.
  bool OpenPhotoFile(const std::filesystem::path& path, bool tellPanel);
  void CommandSaveAs();
  void CommandClose();
  void CommandBatchDenoising();
  // The batch command after its dialogs: closes the photo, shows the progress window and starts
  // the worker on the tree below `root` (`total` photos counted there).
  void StartBatch(const std::filesystem::path& root, uint32_t total);
  void CommandOptions();
  void CommandHelp();
  void CommandVisitWebSite();
  void CommandAbout();
  void StepPhoto(StepDirection direction);
  void ShowPopupMenu();

  // The popup menu as the Menu button shows it, with its captions built afresh.
  std::unique_ptr<QMenu> BuildPopupMenu();

  PhotoDocument& Document() { return document_; }
  ViewState& View() { return viewState_; }
  ImageView* ImageViewWidget() { return view_; }
  ParametersPanel* Panel() { return panel_; }
  ZoomBox* ZoomBoxWidget() { return zoomBox_; }
  QToolBar* ToolBar() { return toolbar_; }
  QString StatusText() const { return status_->text(); }
  bool RunActive() const { return run_.Active(); }
  bool BatchActive() const { return batch_.Active(); }
  QAction* SaveAsAction() { return saveAction_; }
  QAction* OpenAction() { return openAction_; }

  // PanelHost
  QObject* MainWindowObject() override { return this; }
  QSize ViewSize() const override;
  void SetStatusText(const QString& text) override;
  void SetSaveAsEnabled(bool enabled) override;
  void StopFullRun() override;
  AccelerationChoice Acceleration() const override { return acceleration_; }
  CGPGPU* Gpu() override { return gpu_.get(); }

 protected:
  bool event(QEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void CreateToolBar();
  void CreateKeys();
  void CreateViewAndDocker();
  void LayoutViewArea();
  void AfterOpen(const std::filesystem::path& path, bool tellPanel);
  void ShowZoom();
  void SetDocumentCommandsEnabled(bool enabled);
  void SetToolBarEnabled(bool enabled);
  bool HasPhoto() const;
  void SetTitleForPath(const std::filesystem::path& path);

  void StartFullDenoise(uintptr_t wParam, intptr_t lParam);
  void FullDenoiseFinished();
  void BatchFinished(bool cancelled, intptr_t failed);
  void HandWorkerGl(uintptr_t wParam);
  void WaitForWorkers();
  void ShutDown();

  PhotoDocument document_;
  ViewState viewState_;
  // The card, its context current on this thread between runs, and the acceleration runs use.
  std::unique_ptr<CGPGPU> gpu_;
  AccelerationChoice acceleration_;

  QToolBar* toolbar_ = nullptr;
  QAction* openAction_ = nullptr;
  QAction* saveAction_ = nullptr;
  QAction* batchAction_ = nullptr;
  QAction* zoomInAction_ = nullptr;
  QAction* zoomOutAction_ = nullptr;
  QAction* zoom100Action_ = nullptr;
  QAction* zoomFitAction_ = nullptr;
  QAction* zoomBoxAction_ = nullptr;
  QToolButton* menuButton_ = nullptr;
  ZoomBox* zoomBox_ = nullptr;
  QLabel* status_ = nullptr;
  QWidget* viewArea_ = nullptr;
  ImageView* view_ = nullptr;
  DockerPanel* docker_ = nullptr;
  ParametersPanel* panel_ = nullptr;
  BatchProgressWindow* batchWindow_ = nullptr;

  WorkerThread run_;
  WorkerThread batch_;
  // The stop flags of the two jobs: Abort and closing stop the run, Cancel and closing the batch.
  StopFlag runStop_;
  StopFlag batchStop_;
  bool shutDown_ = false;
};
