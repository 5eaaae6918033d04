#include "panel/parameters_panel.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QSvgRenderer>
#include <QToolButton>
#include <QVBoxLayout>

#include "widgets/localised_text.h"
#include "app/full_denoise_run.h"
#include "config/localisation.h"
#include "app/private_messages.h"
#include "config/settings.h"
#include "app/shell_state.h"
#include "engine/sharpen_picture.h"
#include "panel/adding_configuration_dialog.h"
#include "panel/panel_slider.h"
#include "panel/photo_information.h"
#include "panel/profile_selection.h"
#include "panel/progress_bar_sink.h"
#include "profiles/camera_name.h"

namespace {

constexpr int kIconSize = 24;


// One of our drawings, rendered at the panel's icon size (independent of Qt's image plug-ins).
QIcon PanelIcon(const char* name) {
  QSvgRenderer renderer(QString(":/images/%1.svg").arg(name));
  QPixmap pixmap(kIconSize, kIconSize);
  pixmap.fill(Qt::transparent);
  QPainter painter(&pixmap);
  renderer.render(&painter);
  return QIcon(pixmap);
}

QToolButton* ImageButton(const char* image, int32_t textString, int32_t tooltipString,
                         QWidget* parent) {
  auto* button = new QToolButton(parent);
  button->setIcon(PanelIcon(image));
  button->setIconSize(QSize(kIconSize, kIconSize));
  button->setText(Localised(textString));
  button->setToolTip(Localised(tooltipString));
  button->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
  return button;
}

}  // namespace

ParametersPanel::ParametersPanel(PhotoDocument& document, ViewState& view, PanelHost& host,
                                 QWidget* parent)
    : QWidget(parent), document_(document), view_(view), host_(host) {
  setWindowTitle(Localised(120));
  setAutoFillBackground(true);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(BuildRunControls());
  layout->addWidget(BuildProfileControls());
  layout->addWidget(BuildProfileButtons());
  groups_[0] = BuildSliderGroup(122, {PanelScale::kStrength, PanelScale::kStrengthChroma});
  groups_[1] = BuildSliderGroup(125, {PanelScale::kStrengthChromaLarge, PanelScale::kDynamics});
  groups_[1]->layout()->addWidget(BuildPointArtefactControls());
  groups_[2] = BuildSliderGroup(
      126, {PanelScale::kSharpTiny, PanelScale::kSharpMedium, PanelScale::kSharpRough});
  for (QGroupBox* group : groups_) layout->addWidget(group);
  setDefault_ = new QPushButton(Localised(66), this);
  setDefault_->setObjectName("setDefault");
  connect(setDefault_, &QPushButton::clicked, this, &ParametersPanel::SetDefault);
  layout->addSpacing(10);
  layout->addWidget(setDefault_, 0, Qt::AlignLeft);
  layout->addWidget(BuildInformation());
  layout->addStretch(1);

  manualTuningShown_ = LoadShowManualTuning();
  {
    const QSignalBlocker blocker(manualTuning_);
    manualTuning_->setChecked(manualTuningShown_);
  }
  SetManualTuningShown(manualTuningShown_);

  LoadStore();
  SelectProfile({});
  host_.SetSaveAsEnabled(false);
  host_.SetStatusText(Localised(34));
  UpdateDeleteEnabled();
  denoise_->setEnabled(false);
}

ParametersPanel::~ParametersPanel() = default;

QWidget* ParametersPanel::BuildRunControls() {
  auto* box = new QWidget(this);
  auto* layout = new QVBoxLayout(box);
  layout->setContentsMargins(0, 0, 0, 0);
  denoise_ = new QPushButton(Localised(38), box);
  denoise_->setObjectName("denoise");
  QFont bold = denoise_->font();
  bold.setBold(true);
  denoise_->setFont(bold);
  connect(denoise_, &QPushButton::clicked, this, &ParametersPanel::DenoiseClicked);
  progress_ = new QProgressBar(box);
  progress_->setObjectName("progress");
  progress_->setTextVisible(false);
  progress_->hide();
  progressSink_ = std::make_unique<ProgressBarSink>(progress_);
  layout->addWidget(denoise_);
  layout->addWidget(progress_);
  return box;
}

QWidget* ParametersPanel::BuildProfileControls() {
  auto* box = new QWidget(this);
  auto* layout = new QGridLayout(box);
  layout->setContentsMargins(0, 0, 0, 0);
  cameras_ = new QComboBox(box);
  cameras_->setObjectName("cameras");
  isos_ = new QComboBox(box);
  isos_->setObjectName("isos");
  connect(cameras_, &QComboBox::activated, this, &ParametersPanel::CameraChosen);
  connect(isos_, &QComboBox::activated, this, &ParametersPanel::IsoChosen);
  layout->addWidget(new QLabel(Localised(130), box), 0, 0);
  layout->addWidget(cameras_, 0, 1);
  layout->addWidget(new QLabel("ISO:", box), 1, 0);
  layout->addWidget(isos_, 1, 1);
  layout->setColumnStretch(1, 1);
  parameterControls_.insert(parameterControls_.end(), {cameras_, isos_});
  return box;
}

QWidget* ParametersPanel::BuildProfileButtons() {
  auto* box = new QWidget(this);
  auto* layout = new QHBoxLayout(box);
  layout->setContentsMargins(0, 0, 0, 0);
  save_ = ImageButton("SETTINGS_SAVE", 123, 145, box);
  save_->setObjectName("saveSetting");
  delete_ = ImageButton("SETTINGS_DELETE", 124, 146, box);
  delete_->setObjectName("deleteSetting");
  manualTuning_ = new QToolButton(box);
  manualTuning_->setObjectName("manualTuning");
  manualTuning_->setCheckable(true);
  manualTuning_->setIconSize(QSize(kIconSize, kIconSize));
  connect(save_, &QToolButton::clicked, this, &ParametersPanel::SaveManualSetting);
  connect(delete_, &QToolButton::clicked, this, &ParametersPanel::DeleteCurrentSetting);
  connect(manualTuning_, &QToolButton::toggled, this, [this](bool shown) {
    StoreShowManualTuning(shown);
    SetManualTuningShown(shown);
  });
  layout->addWidget(save_);
  layout->addWidget(delete_);
  layout->addStretch(1);
  layout->addWidget(new QLabel(Localised(147) + "\n" + Localised(149), box));
  layout->addWidget(manualTuning_);
  parameterControls_.insert(parameterControls_.end(), {save_, delete_, manualTuning_});
  return box;
}

QGroupBox* ParametersPanel::BuildSliderGroup(int32_t titleString,
                                             std::initializer_list<PanelScale> scales) {
  auto* group = new QGroupBox(Localised(titleString), this);
  auto* layout = new QGridLayout(group);
  int row = 0;
  for (PanelScale scale : scales) {
    const SliderScale& range = ScaleOf(scale);
    SliderRow& controls = sliders_[static_cast<std::size_t>(scale)];
    controls.label = new QLabel(Localised(range.labelString), group);
    controls.slider = new PanelSlider(group);
    controls.slider->setRange(range.minPosition, range.maxPosition);
    controls.value = new QLabel(group);
    controls.slider->setObjectName(QString("slider%1").arg(static_cast<int>(scale)));
    controls.value->setObjectName(QString("value%1").arg(static_cast<int>(scale)));
    controls.value->setMinimumWidth(controls.value->fontMetrics().horizontalAdvance("-2.00 "));
    connect(controls.slider, &QSlider::valueChanged, this,
            [this, scale](int position) { SliderChanged(scale, position); });
    // Dragging only updates the numbers; the picture follows when the thumb is let go.
    connect(controls.slider, &QSlider::sliderReleased, this, [this] { UpdatePreview(true); });
    layout->addWidget(controls.label, row, 0, 1, 2);
    layout->addWidget(controls.slider, row + 1, 0);
    layout->addWidget(controls.value, row + 1, 1);
    row += 2;
    parameterControls_.push_back(controls.slider);
  }
  return group;
}

QWidget* ParametersPanel::BuildPointArtefactControls() {
  auto* box = new QWidget(this);
  auto* layout = new QVBoxLayout(box);
  layout->setContentsMargins(0, 0, 0, 0);
  auto* label = new QLabel(Localised(150), box);
  label->setWordWrap(true);
  layout->addWidget(label);
  median_ = new QButtonGroup(box);
  for (int mode : {kMedianNone, kMedianCommon, kMedianStrong}) {
    auto* radio = new QRadioButton(Localised(151 + mode), box);
    radio->setObjectName(QString("median%1").arg(mode));
    median_->addButton(radio, mode);
    layout->addWidget(radio);
    parameterControls_.push_back(radio);
  }
  connect(median_, &QButtonGroup::idClicked, this, &ParametersPanel::MedianChosen);
  return box;
}

QWidget* ParametersPanel::BuildInformation() {
  auto* box = new QWidget(this);
  auto* layout = new QVBoxLayout(box);
  layout->setContentsMargins(0, 0, 0, 0);
  infoTitle_ = new QLabel(Localised(131), box);
  infoTitle_->setObjectName("infoTitle");
  infoText_ = new QLabel(box);
  infoText_->setObjectName("infoText");
  infoText_->setContentsMargins(20, 0, 0, 0);
  layout->addWidget(infoTitle_);
  layout->addWidget(infoText_);
  infoTitle_->hide();
  infoText_->hide();
  return box;
}

bool ParametersPanel::event(QEvent* event) {
  const QEvent::Type type = event->type();
  if (type < QEvent::User || type > QEvent::MaxUser) return QWidget::event(event);
  const auto* message = static_cast<PrivateMessageEvent*>(event);
  if (type == UM_PHOTO_OPENED) {
    PhotoOpened(static_cast<int32_t>(message->wParam), message->lParam == 1);
  } else if (type == UM_FULL_DENOISE_DONE) {
    FullDenoiseDone();
  } else if (type == UM_FULL_DENOISE_ABORTED) {
    FullDenoiseAborted();
  } else if (type == UM_PREVIEW_MOVED) {
    PreviewMoved();
  } else if (type == UM_SET_PANEL_STATE) {
    const auto state = static_cast<State>(message->lParam);
    if (state == kIdle || state == kRunning || state == kResultShown) state_ = state;
  } else {
    return QWidget::event(event);
  }
  return true;
}

// --- Messages -------------------------------------------------------------------------------

void ParametersPanel::PhotoOpened(int32_t visibleRight, bool keepChoice) {
  if (closed_) return;
  state_ = kIdle;
  ResetProgress();
  SetParameterControlsEnabled(true);
  denoise_->setText(Localised(38));
  setCursor(Qt::WaitCursor);

  view_.previewRect = &previewPixels_;
  preview_.ForgetLastRegion();
  const SBxPicBuf& source = document_.sourcePicture;
  const bool hasPhoto = HasRaster(source);
  measuredNoise_ = hasPhoto ? MeasurePhotoNoise(source) : NoiseLevels{0, 0, 0};
  previewRect_ = PlacePreviewRect(view_.Mapping(), visibleRight, host_.ViewSize().height(),
                                  source.width, source.height);
  previewPixels_ = PreviewPixelsOf(previewRect_, source.width, source.height);
  ShowInformation();
  if (!keepChoice) {
    SelectProfile(ChooseProfileForPhoto(store_, document_.exif, measuredNoise_));
  }

  UpdateDeleteEnabled();
  UpdatePreview(true);
  denoise_->setEnabled(hasPhoto);
  unsetCursor();
}

void ParametersPanel::FullDenoiseDone() {
  if (closed_ || state_ != kRunning) return RunEndedAfterClose();
  setCursor(Qt::WaitCursor);
  // Without room for the pyramid the result stays unsharpened.
  SharpenPicture(document_.denoisedPicture, currentProfile_.m_dSharp1, currentProfile_.m_dSharp2,
                 currentProfile_.m_dSharp3);
  SendToMain(UM_VIEW_PICTURE_CHANGED);
  unsetCursor();
  progress_->hide();
  setDefault_->hide();
  denoise_->setText(Localised(144));
  state_ = kResultShown;
}

void ParametersPanel::FullDenoiseAborted() {
  if (closed_ || state_ != kRunning) return RunEndedAfterClose();
  state_ = kIdle;
  ResetProgress();
  SetParameterControlsEnabled(true);
  denoise_->setText(Localised(38));
  view_.previewRect = &previewPixels_;
  RestorePhoto();
  UpdatePreview(true);
}

// Closing with Cancel during a run leaves the photo to be restored when the run has ended.
void ParametersPanel::RunEndedAfterClose() {
  if (closed_ && closedWithCancel_) RestorePhoto();
}

void ParametersPanel::PreviewMoved() {
  if (state_ != kIdle) return;
  previewPixels_ =
      PreviewPixelsOf(previewRect_, document_.sourcePicture.width, document_.sourcePicture.height);
  SendToMain(UM_VIEW_PREVIEW_RECT_CHANGED);
}

void ParametersPanel::Close(bool ok) {
  if (closed_) return;
  closed_ = true;
  closedWithCancel_ = !ok;
  SaveProfiles(store_);
  unsetCursor();
  view_.previewRect = nullptr;
  if (ok) {
    host_.SetStatusText(Localised(44));
  } else {
    host_.StopFullRun();
    // A running worker still writes the shown picture; the photo is restored when its end is
    // reported.
    if (state_ != kRunning) RestorePhoto();
    host_.SetStatusText(Localised(18));
  }
  preview_.Release();
}

ProgressSink& ParametersPanel::RunProgress() { return *progressSink_; }

void ParametersPanel::SetDenoiseEnabled(bool enabled) { denoise_->setEnabled(enabled); }

// --- Profiles -------------------------------------------------------------------------------

void ParametersPanel::LoadStore() {
  LoadProfiles(store_);
  // Stored names migrate to the short maker forms and are saved so.
  for (CameraEntry& camera : store_.cameras) {
    camera.m_wcsCameraName = NormaliseCameraName(camera.m_wcsCameraName);
  }
}

void ParametersPanel::FillCameraList() {
  const QSignalBlocker blocker(cameras_);
  cameras_->clear();
  for (const CameraEntry& camera : store_.cameras) {
    cameras_->addItem(QString::fromStdString(camera.m_wcsCameraName));
  }
  cameras_->setCurrentIndex(static_cast<int>(selection_.camera));
}

void ParametersPanel::FillIsoList() {
  const QSignalBlocker blocker(isos_);
  isos_->clear();
  if (selection_.camera < store_.cameras.size()) {
    for (uint32_t iso : store_.cameras[selection_.camera].isoValues) {
      isos_->addItem(QString::number(iso));
    }
  }
  isos_->setCurrentIndex(static_cast<int>(selection_.isoIndex));
}

// Selects the profile in both lists and shows its values, without the preview.
void ParametersPanel::SelectProfile(ProfileChoice choice) {
  selection_ = choice;
  FillCameraList();
  FillIsoList();
  currentProfile_ = ProfileAt(store_, selection_);
  DisplayProfile();
}

void ParametersPanel::ChooseProfile(ProfileChoice choice) {
  SelectProfile(choice);
  UpdateDeleteEnabled();
  UpdatePreview(true);
}

// Sliders from the values; the texts from the values themselves, not from the positions, so a
// stored 12.34 reads 12.3 although the slider stands at 12.35.
void ParametersPanel::DisplayProfile() {
  for (PanelScale scale : AllPanelScales()) {
    const SliderScale& range = ScaleOf(scale);
    const SliderRow& controls = sliders_[static_cast<std::size_t>(scale)];
    const double value = currentProfile_.*range.field;
    const QSignalBlocker blocker(controls.slider);
    controls.slider->setValue(ValueToPosition(range, value));
    controls.value->setText(QString::fromStdString(ValueText(range, value)));
  }
  if (QAbstractButton* radio = median_->button(currentProfile_.m_iUseMedian)) {
    radio->setChecked(true);
  }
}

void ParametersPanel::ShowProfile() {
  DisplayProfile();
  UpdatePreview(true);
}

void ParametersPanel::CameraChosen(int index) {
  if (state_ != kIdle || index < 0) return;
  ChooseProfile(
      ChooseIsoForCamera(store_, static_cast<uint32_t>(index), document_.exif, measuredNoise_));
}

void ParametersPanel::IsoChosen(int index) {
  if (state_ != kIdle || index < 0) return;
  ChooseProfile({selection_.camera, static_cast<uint32_t>(index)});
}

void ParametersPanel::UpdateDeleteEnabled() {
  delete_->setEnabled(selection_.camera != 0 || selection_.isoIndex != 0);
}

void ParametersPanel::StoreManualSetting(const std::string& camera, const std::string& iso) {
  // A profile without a camera name could not be told apart in the list or the file.
  if (CleanCameraName(camera).empty()) return;
  currentProfile_.m_dImmerkaerY = measuredNoise_.luma;
  currentProfile_.m_dImmerkaerUV = measuredNoise_.chroma;
  StoreProfile(store_, camera, iso, currentProfile_);
  const uint32_t slot = FindCamera(store_, camera);
  // An ISO text that was clamped on storing finds no exact value and selects index 0.
  ChooseProfile({slot, FindIsoIndex(store_, slot, iso)});
}

void ParametersPanel::ApplyDeleteAnswer(DeleteAnswer answer) {
  if (selection_.camera == 0 && selection_.isoIndex == 0) return;
  uint32_t camera = selection_.camera;
  switch (DeleteProfile(store_, selection_, answer)) {
    case DeleteOutcome::kNothing:
      return;
    case DeleteOutcome::kRefused:
      ShowCannotDelete(this);
      return;
    case DeleteOutcome::kCameraRemoved:
      camera = FindCamera(store_, PhotoCameraName(document_.exif));
      break;
    case DeleteOutcome::kIsoRemoved:
      break;
  }
  ChooseProfile(ChooseIsoForCamera(store_, camera, document_.exif, measuredNoise_));
}

// --- Controls -------------------------------------------------------------------------------

void ParametersPanel::SliderChanged(PanelScale scale, int position) {
  if (state_ != kIdle) return;
  const SliderScale& range = ScaleOf(scale);
  const double value = PositionToValue(range, position);
  currentProfile_.*range.field = value;
  const SliderRow& controls = sliders_[static_cast<std::size_t>(scale)];
  controls.value->setText(QString::fromStdString(ValueText(range, value)));
  // Keys, clicks on the channel and the wheel end their change at once; a drag ends on release.
  if (!controls.slider->isSliderDown()) UpdatePreview(true);
}

void ParametersPanel::MedianChosen(int mode) {
  if (state_ != kIdle) return;
  currentProfile_.m_iUseMedian = mode;
  ShowProfile();
}

void ParametersPanel::SetDefault() {
  if (state_ != kIdle) return;
  for (PanelScale scale : AllPanelScales()) {
    const SliderScale& range = ScaleOf(scale);
    currentProfile_.*range.field = range.defaultValue;
  }
  ShowProfile();
}

void ParametersPanel::SaveManualSetting() {
  AddingConfigurationDialog dialog(cameras_->currentText(), isos_->currentText(), document_.exif,
                                   this);
  if (dialog.exec() == QDialog::Accepted) StoreManualSetting(dialog.CameraText(), dialog.IsoText());
}

void ParametersPanel::DeleteCurrentSetting() {
  if (selection_.camera == 0 && selection_.isoIndex == 0) return;
  ApplyDeleteAnswer(AskDeleteProfile(this));
}

void ParametersPanel::SetManualTuningShown(bool shown) {
  manualTuningShown_ = shown;
  // The groups change together; one repaint at the end instead of one per group.
  setUpdatesEnabled(false);
  for (QGroupBox* group : groups_) group->setVisible(shown);
  setDefault_->setVisible(shown && state_ != kResultShown);
  manualTuning_->setIcon(PanelIcon(shown ? "SETTINGS_HIDE" : "SETTINGS_SHOW"));
  setUpdatesEnabled(true);
}

void ParametersPanel::DenoiseClicked() {
  switch (state_) {
    case kIdle:
      StartFullDenoise();
      break;
    case kRunning:
      host_.StopFullRun();
      break;
    case kResultShown:
      state_ = kIdle;
      SendPrivateMessage(this, UM_PHOTO_OPENED, static_cast<uintptr_t>(host_.ViewSize().width()),
                         1);
      break;
  }
}

void ParametersPanel::StartFullDenoise() {
  if (!HasRaster(document_.sourcePicture)) return;
  SetParameterControlsEnabled(false);
  progress_->show();
  denoise_->setText(Localised(43));
  dragging_ = false;
  overPreview_ = false;
  view_.previewRect = nullptr;
  SendToMain(UM_VIEW_PREVIEW_RECT_CHANGED);
  const auto position = [this](PanelScale scale) {
    return static_cast<uint32_t>(sliders_[static_cast<std::size_t>(scale)].slider->value());
  };
  uintptr_t wParam = 0;
  intptr_t lParam = 0;
  PackFullDenoiseMessage(position(PanelScale::kStrength), position(PanelScale::kStrengthChroma),
                         position(PanelScale::kStrengthChromaLarge),
                         position(PanelScale::kDynamics), wParam, lParam);
  state_ = kRunning;
  PostPrivateMessage(host_.MainWindowObject(), UM_START_FULL_DENOISE, wParam, lParam);
}

void ParametersPanel::SetParameterControlsEnabled(bool enabled) {
  for (QWidget* control : parameterControls_) control->setEnabled(enabled);
  setDefault_->setEnabled(enabled);
  if (!enabled) return;
  setDefault_->setVisible(manualTuningShown_);
  UpdateDeleteEnabled();
}

void ParametersPanel::ResetProgress() {
  progress_->hide();
  progress_->setRange(0, 100);
  progress_->setValue(0);
}

void ParametersPanel::ShowInformation() {
  const bool shown = HasPhotoInformation(document_.exif);
  infoText_->setText(QString::fromStdString(PhotoInformationText(document_.exif)));
  infoTitle_->setVisible(shown);
  infoText_->setVisible(shown);
}

// --- Preview --------------------------------------------------------------------------------

bool ParametersPanel::PreviewShown() const {
  return !closed_ && view_.previewRect != nullptr && HasRaster(document_.sourcePicture);
}

PreviewEngineSettings ParametersPanel::EngineSettings() const {
  const AccelerationChoice acceleration = host_.Acceleration();
  return {qualityLevel, acceleration.useGpu, acceleration.fusion, host_.Gpu(), measuredNoise_};
}

void ParametersPanel::UpdatePreview(bool forced) {
  dragging_ = false;
  if (state_ != kIdle || !PreviewShown()) return;
  setCursor(Qt::WaitCursor);
  SendToMain(UM_CURSOR_WAIT);
  const SBxPicBuf& source = document_.sourcePicture;
  previewPixels_ = PreviewPixelsOf(previewRect_, source.width, source.height);
  const PreviewUpdateResult result =
      preview_.Update(document_, previewPixels_, currentProfile_, EngineSettings(), forced);
  unsetCursor();
  viewCursor_ = QEvent::None;
  SetViewCursor(UM_CURSOR_ARROW);
  if (result == PreviewUpdateResult::kUpdated) SendToMain(UM_VIEW_PICTURE_CHANGED);
}

void ParametersPanel::ViewMouseMoved(QPoint viewPos, bool leftButtonDown) {
  if (state_ != kIdle || !PreviewShown()) {
    overPreview_ = false;
    return;
  }
  const CBxPicMap mapping = view_.Mapping();
  overPreview_ = dragging_ || PreviewContains(mapping, previewRect_, viewPos.x(), viewPos.y());
  if (leftButtonDown && dragging_) {
    const QPoint moved = viewPos - dragPos_;
    MovePreviewRect(previewRect_, moved.x(), moved.y(), view_.zoom);
    dragPos_ = viewPos;
    SendPrivateMessage(this, UM_PREVIEW_MOVED);
  }
  SetViewCursor(overPreview_ ? UM_CURSOR_MOVE : UM_CURSOR_ARROW);
}

void ParametersPanel::ViewMousePressed(QPoint viewPos) {
  if (state_ != kIdle || !PreviewShown()) return;
  if (!PreviewContains(view_.Mapping(), previewRect_, viewPos.x(), viewPos.y())) return;
  dragging_ = true;
  overPreview_ = true;
  dragPos_ = viewPos;
  SetViewCursor(UM_CURSOR_MOVE);
}

// The region is recomputed once, on release, and not at all when it stayed where it was.
void ParametersPanel::ViewMouseReleased(QPoint) { UpdatePreview(false); }

void ParametersPanel::SendToMain(QEvent::Type message) {
  SendPrivateMessage(host_.MainWindowObject(), message);
}

// Cursor messages go out only when the shape changes, not with every mouse move.
void ParametersPanel::SetViewCursor(QEvent::Type cursorMessage) {
  if (viewCursor_ == cursorMessage) return;
  viewCursor_ = cursorMessage;
  SendToMain(cursorMessage);
}

// The shown picture becomes the photo as loaded again.
void ParametersPanel::RestorePhoto() {
  SBxPicBuf& shown = document_.denoisedPicture;
  const SBxPicBuf& source = document_.sourcePicture;
  if (!HasRaster(source) || shown.width != source.width || shown.height != source.height ||
      shown.components != source.components || shown.bitsPerComponent != source.bitsPerComponent) {
    return;
  }
  CBxPicBufAPI::Copy(shown, source);
  SendToMain(UM_VIEW_PICTURE_CHANGED);
}
