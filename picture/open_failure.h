// Why a photo could not be opened, shared by the file, the decoder and the loader.
#pragma once

#include <string>

enum class OpenFailure {
  kNone,
  kPathTooLong,   // longer than kMaxPhotoPathBytes
  kMissing,       // no file at the path (any more)
  kFolder,        // a folder, not a file
  kNotAFile,      // a pipe, a device or a socket: never read, so that nothing can wait for data
  kNoPermission,  // the file may not be read by this user
  kReadError,     // the system could not read the file
  kNotAPhoto,     // no format that can be read, by content or by name
  kUnreadable,    // a photo format whose decoder refused the file, or a refused pixel layout
  kDamaged,       // the decoder met missing or corrupt data
  kTooLarge,      // more pixels than allowed, or more bytes than a picture buffer holds
  kOutOfMemory,   // the pixels could not be allocated
};

// A short English description of a failure for logs and the command line ("" for kNone).
std::string OpenFailureReason(OpenFailure failure);
