// The photo information text of the parameters panel: seven groups of label, two blanks, value and
// separator, built from the photo's EXIF display texts.
#pragma once

#include <string>

#include "picture/photo_document.h"

// Whether the information is shown at all: at least one slot is not empty.
bool HasPhotoInformation(const ExifSummary& exif);

// Maker, type, resolution, ISO, aperture, exposure and capture time, one group a line except that
// ISO and aperture share one ("ISO:  100, FNumber:  f/2.8"). An empty slot gives an empty label,
// value and separator but keeps its two blanks, so the text's shape tells which slots were empty.
std::string PhotoInformationText(const ExifSummary& exif);
