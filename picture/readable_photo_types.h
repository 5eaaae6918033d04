// The file names that stand for photos: every extension of the formats FreeImage reads, less those
// whose files never hold a layout that a picture takes (picture/bitmap_pixels.h). The open dialog
// lists them and Page Up / Page Down steps through them; names are matched in any case.
#pragma once

#include <string>
#include <string_view>
#include <vector>

// Lower case, without the dot, sorted and without repeats: "bmp", …, "jpeg", "jpg", …, "tiff", ….
const std::vector<std::string>& ReadablePhotoExtensions();

// Whether the name ends, in any case, in "." and one of the extensions above.
bool HasReadablePhotoExtension(std::string_view name);

// Whether the name ends, in any case, in the extension of any format FreeImage reads, photo or not
// (".gif" too): the files a batch opens and reports, denoised or not.
bool HasImageExtension(std::string_view name);
