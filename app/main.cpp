// The desktop application's process: localisation first (our texts and Qt's own in the user's
// language), the dark colour scheme for every window, the main window (which sets up the graphics
// card, the settings and the crash flag), the event loop, which SIGTERM and SIGHUP end as closing
// the window does. A photo named on the command line is opened at once.
#include <QApplication>
#include <QMessageBox>
#include <QMetaObject>
#include <QThread>
#include <filesystem>

#include "app/main_window.h"
#include "app/qt_translations.h"
#include "app/termination_signals.h"
#include "config/localisation.h"
#include "platform/notice.h"
#include "theme/application_theme.h"

namespace {

// Notices of the core (graphics-context failures) become message boxes on the user-interface
// thread, from whichever thread they come; a worker does not wait for the box to be closed.
void ShowNoticesAsMessageBoxes() {
  SetNoticeHandler([](const std::string& title, const std::string& text) {
    const auto show = [title, text] {
      QMessageBox::warning(QApplication::activeWindow(), QString::fromStdString(title),
                           QString::fromStdString(text));
    };
    if (QThread::currentThread() == qApp->thread()) {
      show();
    } else {
      QMetaObject::invokeMethod(qApp, show, Qt::QueuedConnection);
    }
  });
}

}  // namespace

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Stillgrain"));
  QApplication::setDesktopFileName(QStringLiteral("stillgrain"));
  LoadLocalisation();
  LoadLanguageList();
  InstallQtTranslations(LanguageAcronym(CurrentLanguage()));
  ApplyColourScheme(2);
  ShowNoticesAsMessageBoxes();

  MainWindow window;
  CloseOnTerminationSignals(&window);
  window.show();
  const QStringList arguments = QApplication::arguments();
  if (arguments.size() > 1) window.OpenPhotoFile(arguments.at(1).toStdString());
  return QApplication::exec();
}
