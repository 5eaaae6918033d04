// Listing a folder for batch denoising: entries in case-insensitive name order, each classified as
// a folder to enter, a file to try, or something to leave alone.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "batch/shard.h"

// The folder beside the photos that their results are written into.
inline constexpr const char* kDenoisedFolderName = "denoised";

enum class EntryKind {
  kFolder,  // a real directory: not a symbolic link, name not starting with "."
  kFile,    // anything else that is not a directory: tried as a photo
  kIgnored  // hidden folders and links to folders: neither counted nor entered
};

struct FolderEntry {
  std::string name;
  EntryKind kind;
};

// The entries of a folder without "." and "..", sorted by name case-insensitively. An unreadable
// folder lists nothing (or what was read before the failure), and `error`, when given, says why.
std::vector<FolderEntry> ListFolder(const std::filesystem::path& folder,
                                    std::error_code* error = nullptr);

// Number of image files (by the extensions of picture/readable_photo_types.h HasImageExtension)
// below the folder (its own and, with `includeSubfolders`, every real subfolder's, not those of the
// "denoised" folders, which a run does not enter) that belong to `shard`. It only sizes the
// progress bar and the time estimate.
uint32_t CountBatchImages(const std::filesystem::path& folder, bool includeSubfolders = true,
                          const Shard& shard = {});
