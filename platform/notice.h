// Messages that the core has to show a person: the desktop application installs a handler that
// raises a message box, the command line one that prints to stderr. Without a handler a notice is
// dropped.
#pragma once

#include <functional>
#include <string>

using NoticeHandler = std::function<void(const std::string& title, const std::string& text)>;

void SetNoticeHandler(NoticeHandler handler);

// Shows a notice through the installed handler. Safe from any thread; the handler decides where the
// message goes.
void ShowNotice(const std::string& title, const std::string& text);
