#include "widgets/message_boxes.h"

#include <QMessageBox>

namespace {
MessageRecorder& Recorder() {
  static MessageRecorder recorder;
  return recorder;
}

QuestionAnswerer& Answerer() {
  static QuestionAnswerer answerer;
  return answerer;
}

SaveQuestionAnswerer& SaveAnswerer() {
  static SaveQuestionAnswerer answerer;
  return answerer;
}
}  // namespace

void SetMessageRecorder(MessageRecorder recorder) { Recorder() = std::move(recorder); }

void ShowMessage(QWidget* owner, MessageKind kind, const QString& caption, const QString& text) {
  if (Recorder()) {
    Recorder()(kind, caption, text);
    return;
  }
  if (kind == MessageKind::kWarning) {
    QMessageBox::warning(owner, caption, text);
  } else {
    QMessageBox::information(owner, caption, text);
  }
}

void SetQuestionAnswerer(QuestionAnswerer answerer) { Answerer() = std::move(answerer); }

bool AskYesNo(QWidget* owner, const QString& caption, const QString& text) {
  if (Answerer()) return Answerer()(caption, text);
  return QMessageBox::question(owner, caption, text, QMessageBox::Yes | QMessageBox::No,
                               QMessageBox::No) == QMessageBox::Yes;
}

std::unique_ptr<QMessageBox> SaveQuestionBox(QWidget* owner, const QString& caption,
                                             const QString& text) {
  auto box = std::make_unique<QMessageBox>(
      QMessageBox::Warning, caption, text,
      QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel, owner);
  box->setDefaultButton(QMessageBox::Save);
  box->setEscapeButton(QMessageBox::Cancel);
  return box;
}

SaveAnswer AskSaveDiscardCancel(QWidget* owner, const QString& caption, const QString& text) {
  if (SaveAnswerer()) return SaveAnswerer()(caption, text);
  switch (SaveQuestionBox(owner, caption, text)->exec()) {
    case QMessageBox::Save:
      return SaveAnswer::kSave;
    case QMessageBox::Discard:
      return SaveAnswer::kDiscard;
    default:
      return SaveAnswer::kCancel;
  }
}

void SetSaveQuestionAnswerer(SaveQuestionAnswerer answerer) {
  SaveAnswerer() = std::move(answerer);
}
