// Files and web addresses handed to the desktop's own application for them (the help page's
// viewer, the browser). Every such request of the windows goes through here, so that tests can see
// it without a program starting.
#pragma once

#include <QUrl>
#include <functional>

// Opens `url` with the desktop's application, or hands it to the opener that is set; false when
// that failed.
bool OpenWithDesktop(const QUrl& url);

using UrlOpener = std::function<bool(const QUrl& url)>;
// Sets (or with an empty function, removes) the opener.
void SetUrlOpener(UrlOpener opener);
