// The parameters panel: the widgets of the session's panel model (session/panel_model.h). It shows
// the chosen profile in sliders and radio buttons, turns the user's changes into the model's
// operations, keeps the live preview rectangle and its update, saves and deletes profiles, and
// starts, aborts and follows the full-size run that the session carries out on its worker.
#pragma once

#include <QWidget>
#include <array>
#include <initializer_list>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "panel/delete_profile_dialog.h"
#include "panel/panel_host.h"
#include "panel/preview_mouse_client.h"
#include "session/denoise_session.h"
#include "session/preview_geometry.h"
#include "session/slider_scale.h"
#include "widgets/view_state.h"

class QButtonGroup;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QToolButton;
class PanelSlider;
class ProgressBarSink;
class TimedProgressBar;

class ParametersPanel : public QWidget, public PreviewMouseClient, public SessionObserver {
  Q_OBJECT

 public:
  ParametersPanel(DenoiseSession& session, ViewState& view, PanelHost& host, QWidget* parent);
  ~ParametersPanel() override;

  // A photo was opened: the noise is measured, the profile chosen (unless `keepChoice`: the values
  // being tuned stay), the preview placed at the centre of the view left of `visibleRight` and
  // computed. "Redefine" returns to tuning with the rectangle where it was.
  void PhotoOpened(int32_t visibleRight, bool keepChoice);
  // Saves the profile store (once, however often it is called) and lets go of the view. With
  // `ok` false the photo returns to its original state on screen and a run is cancelled.
  void Close(bool ok);
  void SetDenoiseEnabled(bool enabled);
  PanelState State() const { return session_.Panel().State(); }

  void ViewMouseMoved(QPoint viewPos, bool leftButtonDown) override;
  void ViewMousePressed(QPoint viewPos) override;
  void ViewMouseReleased(QPoint viewPos) override;
  bool OverPreview() const override { return overPreview_; }

  // SessionObserver: the run's end brings "Redefine" or, after an abort, tuning back.
  void FullRunEnded(bool aborted) override;

  // What the panel shows and uses, for tests.
  const IsoProfile& CurrentProfile() const { return session_.Panel().Values(); }
  ProfileChoice Selection() const { return session_.Panel().Selection(); }
  const CameraProfileStore& Store() const { return session_.Panel().Store(); }
  const PreviewPixels& ShownPreviewPixels() const { return previewPixels_; }

  // The OK of "Adding Configuration": the current values with the photo's measured noise become
  // the profile of that camera and ISO, which is then selected.
  void StoreManualSetting(const std::string& camera, const std::string& iso);
  // The answer to "Delete Current Setting...".
  void ApplyDeleteAnswer(DeleteAnswer answer);

  // Ctrl+Z and Ctrl+Shift+Z: the values (and profile choice) before and after the last change.
  void Undo();
  void Redo();

 signals:
  // The preview rectangle moved, appeared or went away: the view draws its frame again.
  void previewRectChanged();
  // The cursor the view shows: over the preview rectangle, while waiting, or the ordinary one.
  void viewCursorChanged(Qt::CursorShape shape);

 private:
  struct SliderRow {
    QLabel* label = nullptr;
    PanelSlider* slider = nullptr;
    QLineEdit* value = nullptr;
  };

  // Building the controls.
  void CreateUndoKeys();
  QWidget* BuildRunControls();
  QWidget* BuildProfileControls();
  QWidget* BuildProfileButtons();
  QGroupBox* BuildSliderGroup(int32_t titleString, std::initializer_list<PanelScale> scales);
  QWidget* BuildPointArtefactControls();
  QWidget* BuildInformation();

  void PreviewMoved();
  void BeginTuning(bool keepChoice);

  // Profiles.
  void FillCameraList();
  int AutomaticEntries() const;
  void FillIsoList();
  void DisplayProfile();
  void ShowProfile();
  void ShowChosenProfile();
  void CameraChosen(int index);
  void IsoChosen(int index);
  void UpdateDeleteEnabled();

  // Controls.
  void SliderChanged(PanelScale scale, int position);
  void ValueTyped(PanelScale scale);
  void ResetToProfileValue(PanelScale scale);
  void MedianChosen(int mode);
  void SetDefault();
  void SaveManualSetting();
  void DeleteCurrentSetting();
  void SetManualTuningShown(bool shown);
  void DenoiseClicked();
  void StartFullDenoise();
  void SetParameterControlsEnabled(bool enabled);
  void ShowRunButton(PanelState state);
  void ResetProgress();
  void ShowInformation();

  // Preview.
  void UpdatePreview(bool forced);
  bool PreviewShown() const;
  bool Idle() const { return session_.Panel().State() == PanelState::kIdle; }
  const PicBuf& Photo() const { return session_.Document().sourcePicture; }
  void SetViewCursor(Qt::CursorShape shape);

  DenoiseSession& session_;
  ViewState& view_;
  PanelHost& host_;

  bool manualTuningShown_ = true;
  bool closed_ = false;

  PreviewRect previewRect_;
  PreviewPixels previewPixels_;
  QPoint dragPos_;
  bool dragging_ = false;  // moving the rectangle
  PreviewEdges grabbed_;   // resizing it by these edges
  bool overPreview_ = false;
  std::optional<Qt::CursorShape> viewCursor_;

  QPushButton* denoise_ = nullptr;
  TimedProgressBar* progress_ = nullptr;
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
