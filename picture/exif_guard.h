// A check of the EXIF records of JPEG files before FreeImage parses them. FreeImage's EXIF reader
// trusts the offsets and counts of the record: a directory that starts inside the record's header,
// or a count running past its end, makes it read outside the buffer and crash. A JPEG whose record
// is unsound is therefore handed to FreeImage without that record; the photo opens without its
// EXIF summary. (Saving carries the metadata over through Exiv2, which reads the original file.)
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

// Whether a TIFF-structured EXIF record (the part after "Exif\0\0") keeps every directory, every
// entry and every value it points to inside itself. The main directory, its successor, and the
// EXIF, GPS and interoperability sub-directories are followed.
bool IsSoundExifRecord(std::string_view record);

// Called for each segment of a JPEG before its scan: where its marker starts, the marker (0xE1 for
// APP1) and the payload after the length.
using JpegSegmentVisitor =
    std::function<void(size_t at, uint8_t marker, std::string_view payload)>;

// Visits the segments of `jpeg` before the scan in the order libjpeg reads them, stray bytes between
// them skipped as libjpeg skips them. Returns where the start-of-scan marker lies, or npos when the
// bytes end (or a segment runs past them) before it, or they are not a JPEG.
size_t VisitJpegSegments(std::string_view jpeg, const JpegSegmentVisitor& visit);

// `jpeg` with each APP1 "Exif" segment whose record is unsound removed, and the maker notes of the
// others renamed to a private tag that FreeImage keeps as plain bytes: its parsers of the makers'
// private structures read outside the record as well. Unchanged when there is no EXIF record or
// the bytes are not a JPEG.
std::string WithoutUnsoundExif(std::string jpeg);
