// The main window's message boxes. Every one of them goes through here, so that tests (and the
// screenshot tool) can see what the user would be told without a modal box blocking them.
#pragma once

#include <QString>
#include <functional>
#include <memory>

class QMessageBox;
class QWidget;

enum class MessageKind { kInformation, kWarning };

// Shows a modal message box owned by `owner`; while a recorder is set, hands the message to it
// instead.
void ShowMessage(QWidget* owner, MessageKind kind, const QString& caption, const QString& text);

using MessageRecorder =
    std::function<void(MessageKind kind, const QString& caption, const QString& text)>;
// Sets (or with an empty function, removes) the recorder.
void SetMessageRecorder(MessageRecorder recorder);

// Asks a yes/no question in a modal box owned by `owner`: true for Yes. While an answerer is set,
// it answers instead.
bool AskYesNo(QWidget* owner, const QString& caption, const QString& text);

using QuestionAnswerer = std::function<bool(const QString& caption, const QString& text)>;
// Sets (or with an empty function, removes) the answerer.
void SetQuestionAnswerer(QuestionAnswerer answerer);

// The answers to "save the result first?".
enum class SaveAnswer { kSave, kDiscard, kCancel };

// The question itself: a modal box owned by `owner` with Save, Discard and Cancel (Escape cancels).
std::unique_ptr<QMessageBox> SaveQuestionBox(QWidget* owner, const QString& caption,
                                             const QString& text);

// Asks it; while an answerer is set, it answers instead.
SaveAnswer AskSaveDiscardCancel(QWidget* owner, const QString& caption, const QString& text);

using SaveQuestionAnswerer = std::function<SaveAnswer(const QString& caption, const QString& text)>;
// Sets (or with an empty function, removes) the answerer.
void SetSaveQuestionAnswerer(SaveQuestionAnswerer answerer);
