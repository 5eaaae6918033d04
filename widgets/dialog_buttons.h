// The OK and Cancel buttons of the application's own dialogs, with their localised texts, wired to
// accept and reject.
#pragma once

#include <QDialog>
#include <QDialogButtonBox>

#include "widgets/localised_text.h"

inline QDialogButtonBox* AddOkCancelButtons(QDialog* dialog) {
  auto* buttons = new QDialogButtonBox(dialog);
  buttons->addButton(Localised(kStringOk), QDialogButtonBox::AcceptRole);
  buttons->addButton(Localised(kStringCancel), QDialogButtonBox::RejectRole);
  QObject::connect(buttons, &QDialogButtonBox::accepted, dialog, &QDialog::accept);
  QObject::connect(buttons, &QDialogButtonBox::rejected, dialog, &QDialog::reject);
  return buttons;
}
