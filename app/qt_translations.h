// Qt's own translations (the standard buttons of message boxes and dialogs, the file dialog) in the
// interface language, from the "qtbase_<code>.qm" catalogue that Qt's translation package installs.
// Without that package the standard texts stay English and everything else works as before.
#pragma once

#include <string>

// Installs the catalogue of the language with that short code ("de") for the whole application,
// in place of one installed before; false when there is none (English, or the package is missing).
bool InstallQtTranslations(const std::string& acronym);
