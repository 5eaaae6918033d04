// "Delete Current Setting...": the question whether to delete the whole camera (Yes), only the
// current camera's current ISO (No) or nothing (Cancel); session/profile_selection.h says what each
// answer does to the store.
#pragma once

#include "session/profile_selection.h"

class QWidget;

// Asks with a Yes / No / Cancel box.
DeleteAnswer AskDeleteProfile(QWidget* parent);

// "Cannot delete selected setting".
void ShowCannotDelete(QWidget* parent);
