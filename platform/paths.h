// Where Stillgrain keeps its files on this system.
#pragma once

#include <filesystem>

// The per-user settings folder, $XDG_CONFIG_HOME/StillgrainGPU20 (else ~/.config/StillgrainGPU20).
// Reading does not create it (the command line only reads, and must leave an unusable home alone).
std::filesystem::path SettingsFolder();

// Creates the folder that will hold `file`, with its parents, before a write. An existing folder
// is no error; a folder that cannot be made makes the write that follows fail.
void CreateFolderFor(const std::filesystem::path& file);

// The folder of the running executable (from /proc/self/exe).
std::filesystem::path ExecutableFolder();

// The folder that holds a shipped resource file (localisation, default profiles, help): the
// executable's folder when the file is there, else ../share/stillgrain/ beside it (installed
// layout). Returns the executable's folder when neither has the file.
std::filesystem::path ResourceFolderFor(const std::filesystem::path& fileName);
