// Page Up / Page Down: the previous or next photo of the open photo's folder, in the folder's name
// order, wrapping around at either end.
#pragma once

#include <filesystem>
#include <optional>

enum class StepDirection { kPrevious, kNext };

// The photo to open after `current`: the files of its folder whose name ends in an extension of a
// readable photo type (picture/readable_photo_types.h, in any case), in case-insensitive name
// order; the current photo is found by a case-insensitive name comparison (the first photo when it
// is not among them). A folder holding only the current photo gives the current photo again; none
// when the folder holds no photo.
std::optional<std::filesystem::path> NeighbourPhoto(const std::filesystem::path& current,
                                                    StepDirection direction);
