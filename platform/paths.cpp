#include "platform/paths.h"

#include <cstdlib>
#include <system_error>

namespace fs = std::filesystem;

namespace {

constexpr const char* kSettingsFolderName = "StillgrainGPU20";

fs::path ConfigHome() {
  if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg != nullptr && *xdg == '/') {
    return xdg;
  }
  if (const char* home = std::getenv("HOME"); home != nullptr && *home != '\0') {
    return fs::path(home) / ".config";
  }
  return fs::temp_directory_path();
}

}  // namespace

fs::path SettingsFolder() { return ConfigHome() / kSettingsFolderName; }

void CreateFolderFor(const fs::path& file) {
  std::error_code ignored;
  fs::create_directories(file.parent_path(), ignored);
}

fs::path ExecutableFolder() {
  std::error_code error;
  const fs::path exe = fs::read_symlink("/proc/self/exe", error);
  return error ? fs::current_path(error) : exe.parent_path();
}

fs::path ResourceFolderFor(const fs::path& fileName) {
  const fs::path beside = ExecutableFolder();
  std::error_code error;
  if (fs::exists(beside / fileName, error)) return beside;
  const fs::path installed = beside.parent_path() / "share" / "stillgrain";
  if (fs::exists(installed / fileName, error)) return installed;
  return beside;
}
