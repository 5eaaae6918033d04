#include "session/panel_model.h"

#include <algorithm>

#include "profiles/camera_name.h"
#include "profiles/noise_calibration_file.h"
#include "profiles/profile_decision.h"
#include "session/live_preview.h"

PanelModel::PanelModel() : calibration_(BuiltInNoiseCalibration()) {
  values_ = ProfileAt(store_, selection_);
  RestartHistory();
}

void PanelModel::LoadStore(std::string* warning) {
  calibration_ = LoadNoiseCalibration(warning);
  LoadProfiles(store_);
  for (CameraEntry& camera : store_.cameras) {
    camera.m_wcsCameraName = NormaliseCameraName(camera.m_wcsCameraName);
  }
  storeSaved_ = false;
  Select({});
  RestartHistory();
}

void PanelModel::SaveStore() {
  if (storeSaved_) return;
  storeSaved_ = true;
  SaveProfiles(store_);
}

void PanelModel::PhotoOpened(const PhotoDocument& document, bool keepChoice) {
  state_ = PanelState::kIdle;
  const SBxPicBuf& source = document.sourcePicture;
  const PhotoNoise noise = HasRaster(source) ? MeasurePhotoNoiseInDetail(source) : PhotoNoise{};
  measuredNoise_ = noise.whole;
  if (keepChoice) return;
  const ProfileDecision decision = DecideProfile(store_, document.exif, noise, calibration_,
                                                 ProfileMode::kAuto, ChoiceSurface::kPanel);
  automatic_.reset();
  if (decision.rule != ProfileRule::kAutomatic) {
    Select(decision.stored);
  } else {
    automatic_ = decision.profile;
    automaticLevels_ = decision.read;
    selection_ = {};
    ChooseAutomatic();
  }
  RestartHistory();
}

void PanelModel::ChooseAutomatic() {
  if (state_ != PanelState::kIdle || !automatic_) return;
  automaticShown_ = true;
  values_ = *automatic_;
  Record();
}

void PanelModel::ChooseCamera(uint32_t camera, const ExifSummary& exif) {
  if (state_ != PanelState::kIdle) return;
  Select(ChooseIsoForCamera(store_, camera, exif, measuredNoise_));
  Record();
}

void PanelModel::ChooseIso(uint32_t isoIndex) {
  if (state_ != PanelState::kIdle) return;
  Select({selection_.camera, isoIndex});
  Record();
}

void PanelModel::SetSliderPosition(PanelScale scale, int32_t position, bool finished) {
  if (state_ != PanelState::kIdle) return;
  const SliderScale& range = ScaleOf(scale);
  values_.*range.field = PositionToValue(range, position);
  if (finished) Record();
}

void PanelModel::FinishValueChange() {
  if (state_ == PanelState::kIdle) Record();
}

void PanelModel::SetValue(PanelScale scale, double value) {
  if (state_ != PanelState::kIdle) return;
  const SliderScale& range = ScaleOf(scale);
  values_.*range.field = std::clamp(value, range.minValue, range.maxValue);
  Record();
}

void PanelModel::ResetToProfileValue(PanelScale scale) {
  if (state_ != PanelState::kIdle) return;
  const SliderScale& range = ScaleOf(scale);
  const IsoProfile profile = automaticShown_ ? *automatic_ : ProfileAt(store_, selection_);
  values_.*range.field = profile.*range.field;
  Record();
}

void PanelModel::SetMedianMode(int32_t mode) {
  if (state_ != PanelState::kIdle) return;
  values_.m_iUseMedian = mode;
  Record();
}

void PanelModel::SetDefaults() {
  if (state_ != PanelState::kIdle) return;
  for (PanelScale scale : AllPanelScales()) {
    const SliderScale& range = ScaleOf(scale);
    values_.*range.field = range.defaultValue;
  }
  Record();
}

bool PanelModel::Undo() {
  if (state_ != PanelState::kIdle) return false;
  const std::optional<PanelValues> state = history_.Undo();
  if (state) Restore(*state);
  return state.has_value();
}

bool PanelModel::Redo() {
  if (state_ != PanelState::kIdle) return false;
  const std::optional<PanelValues> state = history_.Redo();
  if (state) Restore(*state);
  return state.has_value();
}

bool PanelModel::StoreCurrentValues(const std::string& camera, const std::string& iso) {
  // A profile without a camera name could not be told apart in the list or the file.
  if (CleanCameraName(camera).empty()) return false;
  IsoProfile stored = values_;
  stored.m_dImmerkaerY = measuredNoise_.luma;
  stored.m_dImmerkaerUV = measuredNoise_.chroma;
  StoreProfile(store_, camera, iso, stored);
  const uint32_t slot = FindCamera(store_, camera);
  // An ISO text that was clamped on storing finds no exact value and selects index 0.
  Select({slot, FindIsoIndex(store_, slot, iso)});
  RestartHistory();
  return true;
}

bool PanelModel::DeletionAllowed() const {
  return !automaticShown_ && (selection_.camera != 0 || selection_.isoIndex != 0);
}

DeleteOutcome PanelModel::DeleteSelected(DeleteAnswer answer, const ExifSummary& exif) {
  if (!DeletionAllowed()) return DeleteOutcome::kNothing;
  uint32_t camera = selection_.camera;
  const DeleteOutcome outcome = DeleteProfile(store_, selection_, answer);
  if (outcome == DeleteOutcome::kNothing || outcome == DeleteOutcome::kRefused) return outcome;
  if (outcome == DeleteOutcome::kCameraRemoved) camera = FindCamera(store_, PhotoCameraName(exif));
  Select(ChooseIsoForCamera(store_, camera, exif, measuredNoise_));
  RestartHistory();
  return outcome;
}

IsoProfile PanelModel::RunValues() const { return RunValuesOf(values_); }

void PanelModel::RunStarted() {
  if (state_ == PanelState::kIdle) state_ = PanelState::kRunning;
}

void PanelModel::RunEnded(bool aborted) {
  if (state_ != PanelState::kRunning) return;
  state_ = aborted ? PanelState::kIdle : PanelState::kResultShown;
  resultSaved_ = false;
}

void PanelModel::Redefine() {
  if (state_ == PanelState::kResultShown) state_ = PanelState::kIdle;
}

void PanelModel::Select(ProfileChoice choice) {
  selection_ = choice;
  automaticShown_ = false;
  values_ = ProfileAt(store_, selection_);
}

// Every state in the history refers to the store as it is now; a changed store starts afresh.
void PanelModel::RestartHistory() { history_.Reset({selection_, automaticShown_, values_}); }

void PanelModel::Record() { history_.Record({selection_, automaticShown_, values_}); }

void PanelModel::Restore(const PanelValues& state) {
  selection_ = state.selection;
  automaticShown_ = state.automatic && automatic_.has_value();
  values_ = state.values;
}
