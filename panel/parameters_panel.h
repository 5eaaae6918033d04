// The parameters panel: where the user tunes the denoising of the open photo. It chooses a stored
// profile for the photo's camera and ISO, shows it in sliders and radio buttons, keeps the live
// preview up to date, saves and deletes profiles, and starts, aborts and finishes the full-size run
// that the main window carries out on its worker thread.
//
// States: Idle (0) — the controls work and the preview follows them; Running (10) — a full-size run
// is in progress, the controls are disabled and the button aborts; ResultShown (20) — the sharpened
// result is on display and the button goes back to tuning ("Redefine").
#pragma once

#include <QEvent>
#include <QWidget>
#include <array>
#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

#include "widgets/view_state.h"
#include "engine/denoise.h"
#include "panel/delete_profile_dialog.h"
#include "panel/panel_host.h"
#include "panel/preview_geometry.h"
#include "panel/preview_mouse_client.h"
#include "panel/preview_update.h"
#include "panel/slider_scale.h"
#include "picture/photo_document.h"
#include "profiles/profile_choice.h"

class QButtonGroup;
class QComboBox;
class QGroupBox;
class QLabel;
class QProgressBar;
class QPushButton;
class QToolButton;
class PanelSlider;
class ProgressBarSink;

class ParametersPanel : public QWidget, public PreviewMouseClient {
  Q_OBJECT

 public:
  enum State : int { kIdle = 0, kRunning = 10, kResultShown = 20 };

  ParametersPanel(PhotoDocument& document, ViewState& view, PanelHost& host, QWidget* parent);
  ~ParametersPanel() override;

  // Saves the profile store (once, however often it is called) and lets go of the view. With
  // `ok` false the photo returns to its original state on screen and a run is cancelled.
  void Close(bool ok);
  // The progress bar of the full-size run; the engine calls it from the worker thread.
  ProgressSink& RunProgress();
  // The point-artefact mode the full-size run uses.
  int32_t MedianMode() const { return currentProfile_.m_iUseMedian; }
  void SetDenoiseEnabled(bool enabled);
  int PanelState() const { return state_; }

  void ViewMouseMoved(QPoint viewPos, bool leftButtonDown) override;
  void ViewMousePressed(QPoint viewPos) override;
  void ViewMouseReleased(QPoint viewPos) override;
  bool OverPreview() const override { return overPreview_; }

  // What the panel shows and uses, for tests.
  const IsoProfile& CurrentProfile() const { return currentProfile_; }
  ProfileChoice Selection() const { return selection_; }
  const CameraProfileStore& Store() const { return store_; }
  const PreviewPixels& ShownPreviewPixels() const { return previewPixels_; }
  const LivePreview& Preview() const { return preview_; }

  // The OK of "Adding Configuration": the current values with the photo's measured noise become
  // the profile of that camera and ISO, which is then selected.
  void StoreManualSetting(const std::string& camera, const std::string& iso);
  // The answer to "Delete Current Setting...".
  void ApplyDeleteAnswer(DeleteAnswer answer);

 protected:
  bool event(QEvent* event) override;

 private:
  struct SliderRow {
    QLabel* label = nullptr;
    PanelSlider* slider = nullptr;
    QLabel* value = nullptr;
  };

  // Building the controls.
  QWidget* BuildRunControls();
  QWidget* BuildProfileControls();
  QWidget* BuildProfileButtons();
  QGroupBox* BuildSliderGroup(int32_t titleString, std::initializer_list<PanelScale> scales);
  QWidget* BuildPointArtefactControls();
  QWidget* BuildInformation();

  // Messages.
  void PhotoOpened(int32_t visibleRight, bool keepChoice);
  void FullDenoiseDone();
  void FullDenoiseAborted();
  void RunEndedAfterClose();
  void PreviewMoved();

  // Profiles.
  void LoadStore();
  void FillCameraList();
  void FillIsoList();
  void SelectProfile(ProfileChoice choice);
  void ChooseProfile(ProfileChoice choice);
  void DisplayProfile();
  void ShowProfile();
  void CameraChosen(int index);
  void IsoChosen(int index);
  void UpdateDeleteEnabled();

  // Controls.
  void SliderChanged(PanelScale scale, int position);
  void MedianChosen(int mode);
  void SetDefault();
  void SaveManualSetting();
  void DeleteCurrentSetting();
  void SetManualTuningShown(bool shown);
  void DenoiseClicked();
  void StartFullDenoise();
  void SetParameterControlsEnabled(bool enabled);
  void ResetProgress();
  void ShowInformation();

  // Preview.
  void UpdatePreview(bool forced);
  bool PreviewShown() const;
  PreviewEngineSettings EngineSettings() const;
  void SendToMain(QEvent::Type message);
  void SetViewCursor(QEvent::Type cursorMessage);
  void RestorePhoto();

  PhotoDocument& document_;
  ViewState& view_;
  PanelHost& host_;

  CameraProfileStore store_;
  ProfileChoice selection_;
  IsoProfile currentProfile_{};
  NoiseLevels measuredNoise_{0, 0, 0};
  State state_ = kIdle;
  bool manualTuningShown_ = true;
  bool closed_ = false;
  bool closedWithCancel_ = false;

  PreviewRect previewRect_;
  PreviewPixels previewPixels_;
  LivePreview preview_;
  QPoint dragPos_;
  bool dragging_ = false;
  bool overPreview_ = false;
  QEvent::Type viewCursor_ = QEvent::None;

  QPushButton* denoise_ = nullptr;
  QProgressBar* progress_ = nullptr;
  std::unique_ptr<ProgressBarSink> progressSink_;
  QComboBox* cameras_ = nullptr;
  QComboBox* isos_ = nullptr;
  QToolButton* save_ = nullptr;
  QToolButton* delete_ = nullptr;
  QToolButton* manualTuning_ = nullptr;
  std::array<SliderRow, kPanelScaleCount> sliders_;
  std::array<QGroupBox*, 3> groups_{};
  QButtonGroup* median_ = nullptr;
  QPushButton* setDefault_ = nullptr;
  QLabel* infoTitle_ = nullptr;
  QLabel* infoText_ = nullptr;
  // Every control that only works while Idle: sliders, lists, image buttons, radio buttons.
  std::vector<QWidget*> parameterControls_;
};
