#include "app/folder_stepping.h"

#include <strings.h>

#include <string>
#include <vector>

#include "batch/folder_listing.h"
#include "picture/readable_photo_types.h"

std::optional<std::filesystem::path> NeighbourPhoto(const std::filesystem::path& current,
                                                    StepDirection direction) {
  const std::filesystem::path folder = current.parent_path();
  std::vector<std::string> photos;
  for (const FolderEntry& entry : ListFolder(folder)) {
    if (entry.kind == EntryKind::kFile && HasReadablePhotoExtension(entry.name)) {
      photos.push_back(entry.name);
    }
  }
  if (photos.empty()) return std::nullopt;
  const std::string currentName = current.filename().string();
  const size_t n = photos.size();
  size_t index = 0;
  for (size_t i = 0; i < n; ++i) {
    if (strcasecmp(photos[i].c_str(), currentName.c_str()) == 0) {
      index = i;
      break;
    }
  }
  const size_t target = direction == StepDirection::kNext ? (index + n + 1) % n : (index + n - 1) % n;
  return folder / photos[target];
}
