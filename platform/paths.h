// Where Stillgrain keeps its files on this system.
#pragma once

#include <filesystem>

// The per-user settings folder, $XDG_CONFIG_HOME/StillgrainGPU20 (else ~/.config/StillgrainGPU20).
// Created when missing (an existing folder is no error); the path is returned either way.
std::filesystem::path SettingsFolder();

// The folder of the running executable (from /proc/self/exe).
std::filesystem::path ExecutableFolder();

// The folder that holds a shipped resource file (localisation, default profiles, help): the
// executable's folder when the file is there, else ../share/stillgrain/ beside it (installed
// layout). Returns the executable's folder when neither has the file.
std::filesystem::path ResourceFolderFor(const std::filesystem::path& fileName);
