// What the user chooses for a batch run of the desktop application, kept in the settings between
// runs: which values each photo is denoised with, whether the folders below the chosen one are
// included, and the JPEG quality of the results.
#pragma once

#include <cstdint>

#include "config/settings.h"

enum class BatchProfiles : int32_t {
  kStored = 0,       // the stored profile of the photo's camera and ISO, else the automatic one
  kAutomatic = 1,    // the automatic profile from the noise measured on each photo
  kPanelValues = 2,  // the values the parameters panel shows when the run starts
};

struct BatchChoices {
  BatchProfiles profiles = BatchProfiles::kStored;
  bool includeSubfolders = true;
  int32_t jpegQuality = kDefaultJpegQuality;
};

// "Batch Profiles", "Batch Subfolders" and "jpeg"; a stored value out of range counts as the
// default.
BatchChoices LoadBatchChoices();
// True on failure.
bool StoreBatchChoices(const BatchChoices& choices);
