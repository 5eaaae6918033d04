#include "panel/delete_profile_dialog.h"

#include <QMessageBox>

#include "widgets/localised_text.h"
#include "config/localisation.h"
#include "widgets/message_boxes.h"

DeleteAnswer AskDeleteProfile(QWidget* parent) {
  const QString question = QString("%1\n\n%2\n%3\n%4")
                               .arg(Localised(137), Localised(138), Localised(139), Localised(140));
  const QMessageBox::StandardButton answer = QMessageBox::warning(
      parent, Localised(kStringWarning), question,
      QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel, QMessageBox::Cancel);
  if (answer == QMessageBox::Yes) return DeleteAnswer::kYes;
  if (answer == QMessageBox::No) return DeleteAnswer::kNo;
  return DeleteAnswer::kCancel;
}

void ShowCannotDelete(QWidget* parent) {
  ShowMessage(parent, MessageKind::kWarning, Localised(kStringWarning), Localised(141));
}
