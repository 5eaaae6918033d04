#include "widgets/url_opener.h"

#include <QDesktopServices>

namespace {
UrlOpener& Opener() {
  static UrlOpener opener;
  return opener;
}
}  // namespace

void SetUrlOpener(UrlOpener opener) { Opener() = std::move(opener); }

bool OpenWithDesktop(const QUrl& url) {
  if (Opener()) return Opener()(url);
  return QDesktopServices::openUrl(url);
}
