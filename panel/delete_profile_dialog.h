// "Delete Current Setting...": the question whether to delete the whole camera (Yes), only the
// current camera's current ISO (No) or nothing (Cancel), and what each answer does to the store.
#pragma once

#include "profiles/profile_choice.h"

class QWidget;

enum class DeleteAnswer { kYes, kNo, kCancel };

enum class DeleteOutcome {
  kNothing,        // cancelled, or nothing could be removed
  kRefused,        // Yes for the unknown camera, which cannot be deleted
  kIsoRemoved,     // the camera lost one profile and is still there
  kCameraRemoved,  // the camera is gone (Yes, or No on its last profile)
};

// Asks with a Yes / No / Cancel box.
DeleteAnswer AskDeleteProfile(QWidget* parent);

// "Cannot delete selected setting".
void ShowCannotDelete(QWidget* parent);

// Applies the answer to the profile `selected` of the store.
DeleteOutcome DeleteProfile(CameraProfileStore& store, ProfileChoice selected, DeleteAnswer answer);
