#include "app/help.h"

#include <QString>
#include <QUrl>

#include "config/localisation.h"
#include "platform/paths.h"
#include "widgets/url_opener.h"

namespace fs = std::filesystem;

namespace {

fs::path HelpFileName(const std::string& acronym, const char* extension) {
  return "stillgrain_" + acronym + extension;
}

bool IsFile(const fs::path& path) {
  std::error_code error;
  return fs::is_regular_file(path, error);
}

}  // namespace

bool OpenWithDesktopViewer(const fs::path& file) {
  return OpenWithDesktop(QUrl::fromLocalFile(QString::fromStdString(file.string())));
}

fs::path HelpFilePath(const fs::path& folder, const std::string& acronym) {
  const fs::path compiled = folder / HelpFileName(acronym, ".chm");
  const fs::path page = folder / HelpFileName(acronym, ".html");
  return !IsFile(compiled) && IsFile(page) ? page : compiled;
}

fs::path InstalledHelpFile(const std::string& acronym) {
  const fs::path compiled = HelpFilePath(ResourceFolderFor(HelpFileName(acronym, ".chm")), acronym);
  if (IsFile(compiled)) return compiled;
  return HelpFilePath(ResourceFolderFor(HelpFileName(acronym, ".html")), acronym);
}

bool ShowHelp(const fs::path& file, const HelpOpener& opener) {
  return IsFile(file) && opener(file);
}

bool ShowHelpContents(const HelpOpener& opener, const HelpLocator& locate) {
  return ShowHelp(locate(LanguageAcronym(CurrentLanguage())), opener) ||
         ShowHelp(locate(LanguageAcronym(0)), opener);
}
