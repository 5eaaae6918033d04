// Help: the help file of a language, "stillgrain_<acronym>.chm" (or ".html" where only that is
// installed), opened with the desktop's viewer for its type.
#pragma once

#include <filesystem>
#include <functional>
#include <string>

// Hands a file to a viewer; false when that failed.
using HelpOpener = std::function<bool(const std::filesystem::path& file)>;
// The help file of a language acronym.
using HelpLocator = std::function<std::filesystem::path(const std::string& acronym)>;

// The desktop's default viewer for the file's type.
bool OpenWithDesktopViewer(const std::filesystem::path& file);

// "<folder>/stillgrain_<acronym>.chm", or its ".html" sibling when only that exists.
std::filesystem::path HelpFilePath(const std::filesystem::path& folder, const std::string& acronym);

// The help file of a language beside the executable, or where the installation keeps it.
std::filesystem::path InstalledHelpFile(const std::string& acronym);

// Opens `file`; false when it does not exist or the viewer refused it.
bool ShowHelp(const std::filesystem::path& file, const HelpOpener& opener = OpenWithDesktopViewer);

// "Help Contents": the help of the current language, else that of language 0. False when neither
// could be shown.
bool ShowHelpContents(const HelpOpener& opener = OpenWithDesktopViewer,
                      const HelpLocator& locate = InstalledHelpFile);
