#include "app/qt_translations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>

bool InstallQtTranslations(const std::string& acronym) {
  static QTranslator translator;
  QCoreApplication::removeTranslator(&translator);
  if (acronym.empty()) return false;
  const QString catalogue = QStringLiteral("qtbase_") + QString::fromStdString(acronym);
  if (!translator.load(catalogue, QLibraryInfo::path(QLibraryInfo::TranslationsPath))) return false;
  return QCoreApplication::installTranslator(&translator);
}
