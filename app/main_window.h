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
class QScrollArea;
class ZoomBox;

class MainWindow : public QMainWindow, public PanelHost, public SessionObserver {
  Q_OBJECT

 public:
  MainWindow();
  ~MainWindow() override;

  // The commands, in the order of the toolbar and the menu.
  void CommandOpen();
  // Opens `path` and runs the after-open steps. The panel chooses the profile by the photo's camera
  // and ISO (Open, drop), or with `keepProfile` keeps the values being tuned (stepping through the
  // folder).
  bool OpenPhotoFile(const std::filesystem::path& path, bool keepProfile = false);
  // Saves the finished result; false when there is none, or the user cancelled, or it failed.
  bool CommandSaveAs();
  void CommandClose();
  void CommandBatchDenoising();
  // The batch command after its dialogs: counts the photos, closes the photo, shows the progress
  // window and starts the worker on `root` with the user's choices.
  void StartBatch(const std::filesystem::path& root, const BatchChoices& choices);
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

  // Closes the window without asking about an unsaved result (a termination signal).
  void CloseWithoutQuestions();

  // PanelHost
  QSize ViewSize() const override;
  void SetStatusText(const QString& text) override;
  void SetSaveAsEnabled(bool enabled) override;
  // Save / Discard / Cancel before an unsaved result goes: true when it may go (saved or
  // discarded).
  bool ResultMayBeDiscarded() override;

  // SessionObserver
  void PictureChanged() override;
  void PreviewShown(const std::vector<PreviewPixels>& areas, bool working) override;
  void FullRunStarted() override;
  void FullRunEnded(bool aborted) override;
  void BatchEnded(const BatchSummary& summary) override;

 protected:
  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  QString ReloadSettings();
  void CreateToolBar();
  void CreateKeys();
  void CreateViewAndDocker();
  void LayoutViewArea();
  void AfterOpen(const std::filesystem::path& path, bool keepProfile);
  void ClosePhoto();
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
  QScrollArea* panelScroll_ = nullptr;
  int panelWidth_ = 0;
  ParametersPanel* panel_ = nullptr;
  BatchProgressWindow* batchWindow_ = nullptr;
  bool shutDown_ = false;
  bool closingWithoutQuestions_ = false;
  bool crashWarningDue_ = false;  // the last run did not end in order; said once shown
};
