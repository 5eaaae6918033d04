#include "batch/folder_listing.h"

#include <algorithm>
#include <cctype>
#include <system_error>

#include "picture/readable_photo_types.h"

namespace fs = std::filesystem;

namespace {

std::string Lower(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

EntryKind Classify(const fs::directory_entry& entry, const std::string& name) {
  std::error_code error;
  const fs::file_status own = entry.symlink_status(error);
  if (fs::is_directory(own)) return name.front() == '.' ? EntryKind::kIgnored : EntryKind::kFolder;
  if (fs::is_symlink(own) && fs::is_directory(entry.status(error))) return EntryKind::kIgnored;
  return EntryKind::kFile;
}

}  // namespace

std::vector<FolderEntry> ListFolder(const fs::path& folder, std::error_code* error) {
  std::vector<FolderEntry> entries;
  std::error_code failure;
  fs::directory_iterator it(folder, failure);
  for (; !failure && it != fs::directory_iterator(); it.increment(failure)) {
    std::string name = it->path().filename().string();
    if (name.empty()) continue;
    entries.push_back({name, Classify(*it, name)});
  }
  if (error != nullptr) *error = failure;
  std::stable_sort(entries.begin(), entries.end(), [](const FolderEntry& a, const FolderEntry& b) {
    const std::string la = Lower(a.name);
    const std::string lb = Lower(b.name);
    return la != lb ? la < lb : a.name < b.name;
  });
  return entries;
}

namespace {

uint32_t CountBelow(const fs::path& folder, const fs::path& relativePath, bool includeSubfolders,
                    const Shard& shard) {
  uint32_t count = 0;
  for (const FolderEntry& entry : ListFolder(folder)) {
    if (includeSubfolders && entry.kind == EntryKind::kFolder &&
        entry.name != kDenoisedFolderName) {
      count += CountBelow(folder / entry.name, relativePath / entry.name, true, shard);
    }
    if (HasImageExtension(entry.name) && shard.Holds(relativePath / entry.name)) ++count;
  }
  return count;
}

}  // namespace

uint32_t CountBatchImages(const fs::path& folder, bool includeSubfolders, const Shard& shard) {
  return CountBelow(folder, fs::path(), includeSubfolders, shard);
}
