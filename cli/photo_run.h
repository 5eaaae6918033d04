// What the photo commands share: reading a photo with a clear error, checking and writing a result
// without touching the settings file.
#pragma once

#include <filesystem>
#include <string>

#include "cli/profile_options.h"
#include "picture/photo_document.h"

namespace cli {

// Opens `input`, refusing a damaged photo unless `acceptDamaged`. On failure prints why, with the
// path ("stillgrain-cli: Image format not supported!: PATH", "stillgrain-cli: cannot open PATH:
// permission denied", "stillgrain-cli: The photo is damaged: PATH: …") and returns true. What an
// opened photo lacks (accepted damage, further pages) is printed as a warning.
bool OpenPhotoOrReport(PhotoDocument& document, const std::filesystem::path& input,
                       bool acceptDamaged);

// Whether `output` can be written, said before any work is done: its folder exists and is a
// folder, and `output` itself is not a folder. Prints why not and returns true.
bool OutputUnwritableOrReport(const std::filesystem::path& output);

// Writes the document's denoised picture to `output` with its metadata, at the JPEG quality of the
// options or of the settings file; the settings file is not written. Metadata the output cannot
// hold is printed as a warning. Prints the reason and returns true on failure (silently when a
// signal stopped the save: the caller exits with the signal's status).
bool SaveResultOrReport(PhotoDocument& document, const std::filesystem::path& output,
                        const ProfileOptions& options);

// "<name>-denoised<extension>" in the input's folder.
std::filesystem::path DefaultOutputPath(const std::filesystem::path& input);

// The profile's values as one line: "strength 10, chroma 10, chroma-large 0, dynamics 0, sharpen
// 1/1/1, median 0".
std::string DescribeProfile(const IsoProfile& profile);

}  // namespace cli
