#include "panel/parameters_panel.h"

#include <QAction>
#include <QButtonGroup>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QSvgRenderer>
#include <QToolButton>
#include <QVBoxLayout>

#include "config/localisation.h"
#include "config/settings.h"
#include "panel/adding_configuration_dialog.h"
#include "panel/panel_slider.h"
#include "panel/photo_information.h"
#include "panel/progress_bar_sink.h"
#include "widgets/localised_text.h"
#include "widgets/message_boxes.h"
#include "widgets/timed_progress_bar.h"

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

// The four-way arrow inside the rectangle, a two-way one on an edge or corner.
Qt::CursorShape CursorFor(PreviewEdges edges) {
  if ((edges.left && edges.top) || (edges.right && edges.bottom)) return Qt::SizeFDiagCursor;
  if ((edges.right && edges.top) || (edges.left && edges.bottom)) return Qt::SizeBDiagCursor;
  if (edges.left || edges.right) return Qt::SizeHorCursor;
  if (edges.top || edges.bottom) return Qt::SizeVerCursor;
  return Qt::SizeAllCursor;
}

}  // namespace

ParametersPanel::ParametersPanel(DenoiseSession& session, ViewState& view, PanelHost& host,
                                 QWidget* parent)
    : QWidget(parent), session_(session), view_(view), host_(host) {
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
  setDefault_->setToolTip(Localised(kTipSetDefault));
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

  CreateUndoKeys();
  std::string calibrationWarning;
  session_.Panel().LoadStore(&calibrationWarning);
  if (!calibrationWarning.empty()) {
    ShowMessage(this, MessageKind::kWarning, Localised(kStringWarning),
                QString::fromStdString(calibrationWarning));
  }
  ShowChosenProfile();
  session_.AddObserver(this);
  host_.SetSaveAsEnabled(false);
  host_.SetStatusText(Localised(34));
  UpdateDeleteEnabled();
  denoise_->setEnabled(false);
}

ParametersPanel::~ParametersPanel() = default;

// Ctrl+Z and Ctrl+Shift+Z anywhere in the window; a focused text field keeps them for its text.
void ParametersPanel::CreateUndoKeys() {
  const auto key = [this](QKeySequence sequence, void (ParametersPanel::*step)()) {
    auto* action = new QAction(this);
    action->setShortcut(sequence);
    action->setShortcutContext(Qt::WindowShortcut);
    connect(action, &QAction::triggered, this, step);
    addAction(action);
  };
  key(QKeySequence(Qt::CTRL | Qt::Key_Z), &ParametersPanel::Undo);
  key(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z), &ParametersPanel::Redo);
}

QWidget* ParametersPanel::BuildRunControls() {
  auto* box = new QWidget(this);
  auto* layout = new QVBoxLayout(box);
  layout->setContentsMargins(0, 0, 0, 0);
  // The run button is the panel's main action: drawn in the accent colour (the style looks for
  // "primary"), larger and bold.
  denoise_ = new QPushButton(box);
  denoise_->setObjectName("denoise");
  denoise_->setProperty("primary", true);
  denoise_->setMinimumHeight(2 * denoise_->fontMetrics().height() + 4);
  QFont bold = denoise_->font();
  bold.setBold(true);
  bold.setPointSizeF(bold.pointSizeF() * 1.15);
  denoise_->setFont(bold);
  ShowRunButton(PanelState::kIdle);
  connect(denoise_, &QPushButton::clicked, this, &ParametersPanel::DenoiseClicked);
  progress_ = new TimedProgressBar(box);
  progress_->setObjectName("progress");
  // The bar keeps its room while hidden, so that nothing below it moves when a run starts.
  QSizePolicy keepRoom = progress_->sizePolicy();
  keepRoom.setRetainSizeWhenHidden(true);
  progress_->setSizePolicy(keepRoom);
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
  cameras_->setToolTip(Localised(kTipCameras));
  isos_ = new QComboBox(box);
  isos_->setObjectName("isos");
  isos_->setToolTip(Localised(kTipIsos));
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
  manualTuning_->setToolTip(Localised(kTipManualTuning));
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
    controls.value = new QLineEdit(group);
    controls.slider->setObjectName(QString("slider%1").arg(static_cast<int>(scale)));
    controls.value->setObjectName(QString("value%1").arg(static_cast<int>(scale)));
    controls.value->setAlignment(Qt::AlignRight);
    const int tip = kTipFirstSlider + static_cast<int>(scale);
    controls.slider->setToolTip(Localised(tip) + "\n" + Localised(kTipSliderHint));
    controls.value->setToolTip(Localised(tip) + "\n" + Localised(kTipValueField));
    controls.value->setFixedWidth(controls.value->fontMetrics().horizontalAdvance("-2.000") + 12);
    connect(controls.slider, &QSlider::valueChanged, this,
            [this, scale](int position) { SliderChanged(scale, position); });
    // Dragging only updates the numbers; the picture follows when the thumb is let go.
    connect(controls.slider, &QSlider::sliderReleased, this, [this] {
      session_.Panel().FinishValueChange();
      UpdatePreview(true);
    });
    connect(controls.slider, &PanelSlider::resetRequested, this,
            [this, scale] { ResetToProfileValue(scale); });
    connect(controls.value, &QLineEdit::editingFinished, this,
            [this, scale] { ValueTyped(scale); });
    layout->addWidget(controls.label, row, 0, 1, 2);
    layout->addWidget(controls.slider, row + 1, 0);
    layout->addWidget(controls.value, row + 1, 1);
    row += 2;
    parameterControls_.insert(parameterControls_.end(), {controls.slider, controls.value});
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
    radio->setToolTip(Localised(kTipFirstMedianMode + mode));
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

// --- The photo and the run -----------------------------------------------------------------

void ParametersPanel::PhotoOpened(int32_t visibleRight, bool keepChoice) {
  if (closed_) return;
  const SBxPicBuf& source = Photo();
  previewRect_ = PlacePreviewRect(view_.Mapping(), visibleRight, host_.ViewSize().height(),
                                  source.width, source.height);
  BeginTuning(keepChoice);
}

// Tuning (again) with the preview rectangle where it is.
void ParametersPanel::BeginTuning(bool keepChoice) {
  session_.Panel().PhotoOpened(session_.Document(), keepChoice);
  ResetProgress();
  SetParameterControlsEnabled(true);
  ShowRunButton(PanelState::kIdle);
  setCursor(Qt::WaitCursor);

  view_.previewRect = &previewPixels_;
  session_.ForgetPreviewRegion();
  previewPixels_ = PreviewPixelsOf(previewRect_, Photo().width, Photo().height);
  ShowInformation();
  ShowChosenProfile();
  UpdatePreview(true);
  denoise_->setEnabled(session_.HasPhoto());
  host_.SetSaveAsEnabled(session_.HasResult());
  unsetCursor();
}

void ParametersPanel::FullRunEnded(bool aborted) {
  if (closed_) return;
  if (aborted) {
    ResetProgress();
    SetParameterControlsEnabled(true);
    ShowRunButton(PanelState::kIdle);
    view_.previewRect = &previewPixels_;
    UpdatePreview(true);
    return;
  }
  progress_->hide();
  ShowRunButton(PanelState::kResultShown);
}

// The rectangle's result follows it while it is dragged; the release asks once more only when it
// moved since.
void ParametersPanel::PreviewMoved() {
  if (!Idle()) return;
  previewPixels_ = PreviewPixelsOf(previewRect_, Photo().width, Photo().height);
  emit previewRectChanged();
  session_.UpdatePreview(previewPixels_, false);
}

void ParametersPanel::Close(bool ok) {
  if (closed_) return;
  closed_ = true;
  session_.Panel().SaveStore();
  unsetCursor();
  view_.previewRect = nullptr;
  if (ok) {
    host_.SetStatusText(Localised(44));
  } else {
    // A run in progress still writes the shown picture; the session brings the photo back when
    // the run has stopped.
    session_.AbortFullRun();
    if (State() != PanelState::kRunning) session_.RestorePhoto();
    host_.SetStatusText(Localised(18));
  }
}

void ParametersPanel::SetDenoiseEnabled(bool enabled) { denoise_->setEnabled(enabled); }

// "Denoise", "Abort" or "Redefine", with the tooltip that says what it does.
void ParametersPanel::ShowRunButton(PanelState state) {
  const auto show = [this](int32_t text, int32_t tip) {
    denoise_->setText(Localised(text));
    denoise_->setToolTip(Localised(tip));
  };
  switch (state) {
    case PanelState::kIdle:
      show(38, kTipDenoise);
      break;
    case PanelState::kRunning:
      show(43, kTipAbort);
      break;
    case PanelState::kResultShown:
      show(144, kTipRedefine);
      break;
  }
}

// --- Profiles -------------------------------------------------------------------------------

// The cameras of the store, after the photo's automatic profile when it has one.
void ParametersPanel::FillCameraList() {
  const QSignalBlocker blocker(cameras_);
  const PanelModel& model = session_.Panel();
  cameras_->clear();
  if (model.HasAutomaticEntry()) {
    const LevelsRead levels = model.AutomaticLevels();
    cameras_->addItem(Localised(kStringAutomaticProfile)
                          .arg(levels.luma, 0, 'f', 2)
                          .arg(levels.chroma, 0, 'f', 2));
  }
  for (const CameraEntry& camera : Store().cameras) {
    cameras_->addItem(QString::fromStdString(camera.m_wcsCameraName));
  }
  cameras_->setCurrentIndex(model.AutomaticShown()
                                ? 0
                                : static_cast<int>(Selection().camera) + AutomaticEntries());
}

int ParametersPanel::AutomaticEntries() const {
  return session_.Panel().HasAutomaticEntry() ? 1 : 0;
}

void ParametersPanel::FillIsoList() {
  const QSignalBlocker blocker(isos_);
  isos_->clear();
  const ProfileChoice selection = Selection();
  isos_->setEnabled(!session_.Panel().AutomaticShown());
  if (session_.Panel().AutomaticShown()) return;
  if (selection.camera < Store().cameras.size()) {
    for (uint32_t iso : Store().cameras[selection.camera].isoValues) {
      isos_->addItem(QString::number(iso));
    }
  }
  isos_->setCurrentIndex(static_cast<int>(selection.isoIndex));
}

// The model's choice in both lists and its values, without the preview.
void ParametersPanel::ShowChosenProfile() {
  FillCameraList();
  FillIsoList();
  DisplayProfile();
  UpdateDeleteEnabled();
}

// Sliders from the values; the texts from the values themselves, not from the positions, so a
// stored 12.34 reads 12.3 although the slider stands at 12.35.
void ParametersPanel::DisplayProfile() {
  for (PanelScale scale : AllPanelScales()) {
    const SliderScale& range = ScaleOf(scale);
    const SliderRow& controls = sliders_[static_cast<std::size_t>(scale)];
    const double value = CurrentProfile().*range.field;
    const QSignalBlocker blocker(controls.slider);
    controls.slider->setValue(ValueToPosition(range, value));
    controls.value->setText(QString::fromStdString(ValueText(range, value)));
  }
  if (QAbstractButton* radio = median_->button(CurrentProfile().m_iUseMedian)) {
    radio->setChecked(true);
  }
}

void ParametersPanel::ShowProfile() {
  DisplayProfile();
  UpdatePreview(true);
}

void ParametersPanel::CameraChosen(int index) {
  if (!Idle() || index < 0) return;
  if (index < AutomaticEntries()) {
    session_.Panel().ChooseAutomatic();
  } else {
    session_.Panel().ChooseCamera(static_cast<uint32_t>(index - AutomaticEntries()),
                                  session_.Document().exif);
  }
  ShowChosenProfile();
  UpdatePreview(true);
}

void ParametersPanel::IsoChosen(int index) {
  if (!Idle() || index < 0) return;
  session_.Panel().ChooseIso(static_cast<uint32_t>(index));
  ShowChosenProfile();
  UpdatePreview(true);
}

void ParametersPanel::UpdateDeleteEnabled() {
  delete_->setEnabled(session_.Panel().DeletionAllowed());
}

void ParametersPanel::StoreManualSetting(const std::string& camera, const std::string& iso) {
  if (!session_.Panel().StoreCurrentValues(camera, iso)) return;
  ShowChosenProfile();
  UpdatePreview(true);
}

void ParametersPanel::ApplyDeleteAnswer(DeleteAnswer answer) {
  switch (session_.Panel().DeleteSelected(answer, session_.Document().exif)) {
    case DeleteOutcome::kNothing:
      return;
    case DeleteOutcome::kRefused:
      ShowCannotDelete(this);
      return;
    case DeleteOutcome::kCameraRemoved:
    case DeleteOutcome::kIsoRemoved:
      ShowChosenProfile();
      UpdatePreview(true);
      return;
  }
}

// --- Controls -------------------------------------------------------------------------------

void ParametersPanel::SliderChanged(PanelScale scale, int position) {
  if (!Idle()) return;
  const SliderScale& range = ScaleOf(scale);
  const SliderRow& controls = sliders_[static_cast<std::size_t>(scale)];
  // Keys, clicks on the channel and the wheel end their change at once; a drag ends on release.
  const bool finished = !controls.slider->isSliderDown();
  session_.Panel().SetSliderPosition(scale, position, finished);
  const double value = CurrentProfile().*range.field;
  controls.value->setText(QString::fromStdString(ValueText(range, value)));
  if (finished) UpdatePreview(true);
}

// A value typed into the field beside a slider, with a point or a comma; what cannot be read
// gives way to the value as it was.
void ParametersPanel::ValueTyped(PanelScale scale) {
  QLineEdit* field = sliders_[static_cast<std::size_t>(scale)].value;
  const SliderScale& range = ScaleOf(scale);
  const QString shown = QString::fromStdString(ValueText(range, CurrentProfile().*range.field));
  if (!Idle() || field->text() == shown) return;
  bool read = false;
  const double value = QString(field->text()).replace(',', '.').trimmed().toDouble(&read);
  if (read) session_.Panel().SetValue(scale, value);
  DisplayProfile();
  if (read) UpdatePreview(true);
}

void ParametersPanel::ResetToProfileValue(PanelScale scale) {
  if (!Idle()) return;
  session_.Panel().ResetToProfileValue(scale);
  ShowProfile();
}

void ParametersPanel::Undo() {
  if (!session_.Panel().Undo()) return;
  ShowChosenProfile();
  UpdatePreview(true);
}

void ParametersPanel::Redo() {
  if (!session_.Panel().Redo()) return;
  ShowChosenProfile();
  UpdatePreview(true);
}

void ParametersPanel::MedianChosen(int mode) {
  if (!Idle()) return;
  session_.Panel().SetMedianMode(mode);
  ShowProfile();
}

void ParametersPanel::SetDefault() {
  if (!Idle()) return;
  session_.Panel().SetDefaults();
  ShowProfile();
}

void ParametersPanel::SaveManualSetting() {
  // The automatic profile is proposed for the photo's own camera and ISO.
  const ExifSummary& exif = session_.Document().exif;
  const bool automatic = session_.Panel().AutomaticShown();
  const std::string photoCamera = PhotoCameraName(exif);
  const QString camera = !automatic            ? cameras_->currentText()
                         : photoCamera.empty() ? QString::fromStdString(kUnknownCameraName)
                                               : QString::fromStdString(photoCamera);
  const QString iso = automatic ? QString::fromStdString(exif.iso) : isos_->currentText();
  AddingConfigurationDialog dialog(camera, iso, exif, this);
  if (dialog.exec() == QDialog::Accepted) StoreManualSetting(dialog.CameraText(), dialog.IsoText());
}

void ParametersPanel::DeleteCurrentSetting() {
  if (!session_.Panel().DeletionAllowed()) return;
  ApplyDeleteAnswer(AskDeleteProfile(this));
}

void ParametersPanel::SetManualTuningShown(bool shown) {
  manualTuningShown_ = shown;
  // The groups change together; one repaint at the end instead of one per group.
  setUpdatesEnabled(false);
  for (QGroupBox* group : groups_) group->setVisible(shown);
  setDefault_->setVisible(shown);
  manualTuning_->setIcon(PanelIcon(shown ? "SETTINGS_HIDE" : "SETTINGS_SHOW"));
  setUpdatesEnabled(true);
}

void ParametersPanel::DenoiseClicked() {
  switch (State()) {
    case PanelState::kIdle:
      StartFullDenoise();
      break;
    case PanelState::kRunning:
      session_.AbortFullRun();
      break;
    case PanelState::kResultShown:
      if (!host_.ResultMayBeDiscarded()) break;
      session_.Panel().Redefine();
      BeginTuning(true);
      break;
  }
}

void ParametersPanel::StartFullDenoise() {
  if (!session_.HasPhoto() || session_.JobRunning()) return;
  SetParameterControlsEnabled(false);
  progress_->Restart();
  progress_->show();
  ShowRunButton(PanelState::kRunning);
  dragging_ = false;
  grabbed_ = {};
  overPreview_ = false;
  view_.previewRect = nullptr;
  emit previewRectChanged();
  session_.StartFullRun(progressSink_.get());
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
  const ExifSummary& exif = session_.Document().exif;
  const std::string text = PhotoInformationText(exif, Photo().width, Photo().height);
  const bool shown = !text.empty();
  infoText_->setText(QString::fromStdString(text));
  infoTitle_->setVisible(shown);
  infoText_->setVisible(shown);
}

// --- Preview --------------------------------------------------------------------------------

bool ParametersPanel::PreviewShown() const {
  return !closed_ && view_.previewRect != nullptr && session_.HasPhoto();
}

// The session computes the rectangle on its worker: nothing here waits for it.
void ParametersPanel::UpdatePreview(bool forced) {
  dragging_ = false;
  grabbed_ = {};
  if (!Idle() || !PreviewShown()) return;
  previewPixels_ = PreviewPixelsOf(previewRect_, Photo().width, Photo().height);
  session_.UpdatePreview(previewPixels_, forced);
  SetViewCursor(Qt::ArrowCursor);
}

// A press inside the rectangle moves it, one on an edge resizes it; the view follows the rectangle
// when it is dragged past the view's edge.
void ParametersPanel::ViewMouseMoved(QPoint viewPos, bool leftButtonDown) {
  if (!Idle() || !PreviewShown()) {
    overPreview_ = false;
    return;
  }
  const bool holding = dragging_ || grabbed_.Any();
  if (leftButtonDown && holding) {
    const QPoint moved = viewPos - dragPos_;
    if (grabbed_.Any()) {
      ResizePreviewRect(previewRect_, grabbed_, moved.x(), moved.y(), view_.zoom);
    } else {
      MovePreviewRect(previewRect_, moved.x(), moved.y(), view_.zoom);
    }
    dragPos_ = viewPos;
    const QSize viewSize = host_.ViewSize();
    ScrollToShow(view_, previewRect_, viewSize.width(), viewSize.height());
    PreviewMoved();
  }
  const CBxPicMap mapping = view_.Mapping();
  const PreviewEdges edges =
      holding ? grabbed_ : GrabbedEdges(mapping, previewRect_, viewPos.x(), viewPos.y());
  overPreview_ =
      holding || edges.Any() || PreviewContains(mapping, previewRect_, viewPos.x(), viewPos.y());
  SetViewCursor(overPreview_ ? CursorFor(edges) : Qt::ArrowCursor);
}

void ParametersPanel::ViewMousePressed(QPoint viewPos) {
  if (!Idle() || !PreviewShown()) return;
  const CBxPicMap mapping = view_.Mapping();
  const PreviewEdges edges = GrabbedEdges(mapping, previewRect_, viewPos.x(), viewPos.y());
  if (!edges.Any() && !PreviewContains(mapping, previewRect_, viewPos.x(), viewPos.y())) return;
  grabbed_ = edges;
  dragging_ = !edges.Any();
  overPreview_ = true;
  dragPos_ = viewPos;
  SetViewCursor(CursorFor(edges));
}

// The release asks for the rectangle once more, unless it is where it was asked for last.
void ParametersPanel::ViewMouseReleased(QPoint) { UpdatePreview(false); }

// The view hears of the cursor only when its shape changes, not with every mouse move.
void ParametersPanel::SetViewCursor(Qt::CursorShape shape) {
  if (viewCursor_ == shape) return;
  viewCursor_ = shape;
  emit viewCursorChanged(shape);
}
