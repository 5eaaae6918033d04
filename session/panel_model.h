// What the parameters panel holds and decides, without widgets: the camera profile store, the
// profile chosen for the open photo, the values being tuned, and the state of the full-size run.
//
// A photo gets the stored profile of its camera (its ISO, else the nearest in measured noise) when
// the store has one; else the automatic profile, whose values come from the noise measured on the
// photo (profiles/profile_decision.h). The automatic profile is an entry of its own beside the
// stored ones until another photo opens; storing its values for the camera and ISO makes them a
// stored profile, which then wins.
//
// States: Idle — the values can be changed and the preview follows them; Running — a full-size
// run is in progress and nothing can be changed; ResultShown — the sharpened result is on display
// until "Redefine" goes back to Idle.
//
// The panel's widgets show this model and turn clicks into its operations; the session
// (session/denoise_session.h) owns it and tells the widgets when it changed.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "engine/denoise_request.h"
#include "picture/photo_document.h"
#include "profiles/camera_profile_store.h"
#include "profiles/noise_calibration.h"
#include "profiles/profile_choice.h"
#include "session/profile_selection.h"
#include "session/slider_scale.h"
#include "session/value_history.h"

enum class PanelState : int32_t { kIdle = 0, kRunning = 10, kResultShown = 20 };

class PanelModel {
 public:
  PanelModel();

  // Reads the user's profile store (or the shipped one), and the calibration of the automatic
  // profile; stored camera names migrate to the short maker forms and are saved so. Says in
  // `warning` (when not null) why a shipped calibration file was refused.
  void LoadStore(std::string* warning = nullptr);
  // Writes the store; only the first call after LoadStore writes.
  void SaveStore();

  // A photo was opened: its noise is measured and, unless `keepChoice`, its camera and ISO choose
  // the profile. The state returns to Idle.
  void PhotoOpened(const PhotoDocument& document, bool keepChoice);

  // Profile choice by the user: a camera of the list (its ISO follows the photo's), an ISO of the
  // selected camera, the automatic profile (when the photo has one). Ignored unless Idle.
  void ChooseCamera(uint32_t camera, const ExifSummary& exif);
  void ChooseIso(uint32_t isoIndex);
  void ChooseAutomatic();

  // Values by the user; ignored unless Idle. A slider position sets the value it stands for; while
  // the thumb is dragged (`finished` false) the change is recorded for undo only by
  // FinishValueChange, when the thumb is let go.
  void SetSliderPosition(PanelScale scale, int32_t position, bool finished = true);
  void FinishValueChange();
  // A typed value, limited to the slider's range.
  void SetValue(PanelScale scale, double value);
  // The value of the chosen profile as it is stored (a double click on the slider).
  void ResetToProfileValue(PanelScale scale);
  void SetMedianMode(int32_t mode);
  // Every slider to its default; the point-artefact mode stays.
  void SetDefaults();

  // Undo and redo of the changes above and of the profile choice, while Idle; false when there is
  // nothing to take back (or bring back). A new photo, a stored or deleted profile start afresh.
  bool Undo();
  bool Redo();

  // "Adding Configuration": the current values with the photo's measured noise become the profile
  // of that camera and ISO, which is then selected. Nothing happens for an empty camera name (false).
  bool StoreCurrentValues(const std::string& camera, const std::string& iso);
  // "Delete Current Setting...": applies the answer; after a removal the profile of the photo's
  // camera (or of the camera that stays) is chosen. The unknown camera's first profile is never
  // deleted (DeletionAllowed is false there).
  DeleteOutcome DeleteSelected(DeleteAnswer answer, const ExifSummary& exif);
  bool DeletionAllowed() const;

  // The full-size run: what it runs with (the values as the sliders can show them), and its course.
  IsoProfile RunValues() const;
  void RunStarted();
  void RunEnded(bool aborted);
  // "Redefine": from ResultShown back to tuning.
  void Redefine();
  // A result was saved; it stays shown until Redefine or another photo.
  void ResultSaved() { resultSaved_ = true; }
  // A finished full-size run's result that no save has written yet.
  bool UnsavedResult() const { return state_ == PanelState::kResultShown && !resultSaved_; }

  PanelState State() const { return state_; }
  const CameraProfileStore& Store() const { return store_; }
  // The stored profile shown, unless the automatic one is.
  ProfileChoice Selection() const { return selection_; }
  // Whether the open photo has an automatic profile entry, whether it is the one shown, and the
  // noise levels it was read at.
  bool HasAutomaticEntry() const { return automatic_.has_value(); }
  bool AutomaticShown() const { return automaticShown_; }
  LevelsRead AutomaticLevels() const { return automaticLevels_; }
  const IsoProfile& Values() const { return values_; }
  const NoiseLevels& MeasuredNoise() const { return measuredNoise_; }

 private:
  void Select(ProfileChoice choice);
  void Record();
  void RestartHistory();
  void Restore(const PanelValues& state);

  CameraProfileStore store_;
  bool storeSaved_ = true;
  NoiseCalibration calibration_;
  std::optional<IsoProfile> automatic_;  // the open photo's automatic profile, when it has one
  bool automaticShown_ = false;
  LevelsRead automaticLevels_{0, 0};
  ProfileChoice selection_;
  IsoProfile values_{};
  NoiseLevels measuredNoise_{0, 0, 0};
  PanelState state_ = PanelState::kIdle;
  bool resultSaved_ = false;
  ValueHistory history_;
};
