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
