#include "session/batch_choices.h"

BatchChoices LoadBatchChoices() {
  BatchChoices choices;
  const int32_t profiles = ReadSettingInt(kKeyBatchProfiles, 0);
  if (profiles >= 0 && profiles <= static_cast<int32_t>(BatchProfiles::kPanelValues)) {
    choices.profiles = static_cast<BatchProfiles>(profiles);
  }
  choices.includeSubfolders = ReadSettingInt(kKeyBatchSubfolders, 1) != 0;
  choices.jpegQuality = LoadJpegQuality();
  return choices;
}

bool StoreBatchChoices(const BatchChoices& choices) {
  const bool profilesFailed =
      WriteSettingInt(kKeyBatchProfiles, static_cast<int32_t>(choices.profiles));
  const bool subfoldersFailed = WriteSettingInt(kKeyBatchSubfolders, choices.includeSubfolders);
  return StoreJpegQuality(choices.jpegQuality) || profilesFailed || subfoldersFailed;
}
