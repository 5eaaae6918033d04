// The photo information text of the parameters panel, built from the photo's EXIF display texts and
// its own size in pixels.
#pragma once

#include <cstdint>
#include <string>

#include "picture/photo_document.h"

// One line per group, each "label  value": maker, type, resolution (the photo's pixels, not what
// the EXIF record claims, which may describe the camera's original), ISO and aperture sharing a
// line
// ("ISO:  100, FNumber:  f/2.8"), exposure and capture time. What the photo lacks is left out
// whole, so every line starts with its label; empty when there is nothing to show.
std::string PhotoInformationText(const ExifSummary& exif, int32_t width, int32_t height);
