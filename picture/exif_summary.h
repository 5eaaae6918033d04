// The display texts of a photo's EXIF record (ExifSummary, photo_document.h), read from the
// metadata that FreeImage loaded with the bitmap.
#pragma once

#include <FreeImage.h>

#include <cstdint>
#include <string>
#include <string_view>

#include "picture/photo_document.h"

// Reads the summary of a bitmap. The tags of the EXIF sub-directory give fNumber, exposure,
// dimensions (only when both PixelXDimension and PixelYDimension are there and non-zero), iso and
// captured; Make and Model come from the main image directory. Tag names are compared without
// regard to case. Slots whose tag is absent or malformed stay empty.
ExifSummary ReadExifSummary(FIBITMAP* bitmap);

// The ExposureTime numerator/denominator as "<n> sec." or "<n>/<d> sec." after reduction:
// common factors 2, 3, 5 and 7 are divided out until none is left; then, when the numerator is
// above 10 and d / n lies within 0.01 of a whole number r ≥ 1, the time is written 1/r. So
// 10/1250 → "1/125 sec.", 13/1300 → "1/100 sec.", 30/1 → "30 sec.", while 333/10000 (d / n =
// 30.03) and 13/10 stay as they are. Empty for a zero denominator, which is no time at all.
std::string ExposureTimeText(uint32_t numerator, uint32_t denominator);

// The FNumber numerator/denominator as an aperture the way photographers write it: "f/" and the
// value with at most two decimals and no trailing zeros, so 28/10 → "f/2.8", 80/10 and 8/1 →
// "f/8", 95/100 → "f/0.95". Empty for an aperture of zero (lenses without electronic contacts
// record 0) and for a zero denominator.
std::string FNumberText(uint32_t numerator, uint32_t denominator);

// A tag's text made fit for display: UTF-8 kept as it is, any byte that does not belong to a valid
// UTF-8 sequence taken as Latin-1, and cut after kExifTextMaxChars characters.
std::string DisplayText(std::string_view text);
