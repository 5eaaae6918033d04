// The main window: a view of the denoising session (session/denoise_session.h). It shows the open
// photo in the image view, hosts the parameters panel in the docker at its right edge, and turns
// the toolbar, the popup menu, keys and dropped files into commands. The session runs the
// full-size run and the batch on its worker and reports their ends here, on this window's thread.
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
#include "panel/panel_host.h"
#include "session/denoise_session.h"
#include "widgets/view_state.h"

class BatchProgressWindow;
class DockerPanel;
class ImageView;
class ParametersPanel;
class ZoomBox;

class MainWindow : public QMainWindow, public PanelHost, public SessionObserver {
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

  const PhotoDocument& Document() const { return session_.Document(); }
  DenoiseSession& Session() { return session_; }
  ViewState& View() { return viewState_; }
  ImageView* ImageViewWidget() { return view_; }
  ParametersPanel* Panel() { return panel_; }
  ZoomBox* ZoomBoxWidget() { return zoomBox_; }
  QToolBar* ToolBar() { return toolbar_; }
  QString StatusText() const { return status_->text(); }
  bool RunActive() const { return session_.JobRunning() && batchWindow_ == nullptr; }
  bool BatchActive() const { return session_.JobRunning() && batchWindow_ != nullptr; }
  QAction* SaveAsAction() { return saveAction_; }
  QAction* OpenAction() { return openAction_; }

  // PanelHost
  QSize ViewSize() const override;
  void SetStatusText(const QString& text) override;
  void SetSaveAsEnabled(bool enabled) override;

  // SessionObserver
  void PictureChanged() override;
  void PreviewShown(const std::vector<PreviewPixels>& areas, bool working) override;
  void FullRunStarted() override;
  void FullRunEnded(bool aborted) override;
  void BatchEnded(const BatchSummary& summary) override;

 protected:
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

  void ShutDown();

  DenoiseSession session_;
  ViewState viewState_;

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
  bool shutDown_ = false;
};
