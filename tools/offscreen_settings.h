// The start of a program that drives the desktop application's windows without a screen (the
// screenshots, the preview's benchmark): Qt's off-screen platform unless the environment names
// another, and settings of the program's own in a temporary folder, so that the user's settings
// are neither read nor changed. The folder, and whatever the program put in it, goes when the
// object does, on every way out. Create it before the QApplication.
#pragma once

#include <stdlib.h>

#include <filesystem>
#include <string>
#include <system_error>

class OffscreenSettings {
 public:
  // `name` tells the folder apart: /tmp/stillgrain-<name>-XXXXXX.
  explicit OffscreenSettings(const std::string& name) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    std::string pattern = "/tmp/stillgrain-" + name + "-XXXXXX";
    if (mkdtemp(pattern.data()) == nullptr) return;
    folder_ = pattern;
    setenv("XDG_CONFIG_HOME", pattern.c_str(), 1);
  }
  ~OffscreenSettings() {
    std::error_code ignored;
    if (!folder_.empty()) std::filesystem::remove_all(folder_, ignored);
  }
  OffscreenSettings(const OffscreenSettings&) = delete;
  OffscreenSettings& operator=(const OffscreenSettings&) = delete;

  // Empty when the folder could not be made.
  const std::filesystem::path& Folder() const { return folder_; }

 private:
  std::filesystem::path folder_;
};
