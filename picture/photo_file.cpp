#include "picture/photo_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace {

OpenFailure FailureOfErrno(int error) {
  switch (error) {
    case ENOENT:
    case ENOTDIR:
      return OpenFailure::kMissing;
    case EACCES:
    case EPERM:
      return OpenFailure::kNoPermission;
    case EISDIR:
      return OpenFailure::kFolder;
    case ELOOP:
      return OpenFailure::kNotAFile;  // a link that leads round in a circle
    default:
      return OpenFailure::kReadError;
  }
}

}  // namespace

PhotoFile::~PhotoFile() {
  if (descriptor_ >= 0) close(descriptor_);
}

OpenFailure PhotoFile::Open(const std::filesystem::path& path) {
  // O_NONBLOCK: opening a pipe without a writer would otherwise wait for one.
  const int descriptor = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (descriptor < 0) return FailureOfErrno(errno);
  struct stat status {};
  if (fstat(descriptor, &status) != 0) {
    const int error = errno;
    close(descriptor);
    return FailureOfErrno(error);
  }
  if (!S_ISREG(status.st_mode)) {
    close(descriptor);
    return S_ISDIR(status.st_mode) ? OpenFailure::kFolder : OpenFailure::kNotAFile;
  }
  if (descriptor_ >= 0) close(descriptor_);
  descriptor_ = descriptor;
  size_ = static_cast<uint64_t>(status.st_size);
  readFailed_ = false;
  return OpenFailure::kNone;
}

size_t PhotoFile::ReadAt(uint64_t offset, void* buffer, size_t count) const {
  // Never past the size the file had when it was opened: a file that grows meanwhile (or a
  // file of the kernel's that reports no size) is not read without end.
  if (offset >= size_) return 0;
  if (count > size_ - offset) count = static_cast<size_t>(size_ - offset);
  size_t done = 0;
  while (done < count) {
    const ssize_t got = pread(descriptor_, static_cast<char*>(buffer) + done, count - done,
                              static_cast<off_t>(offset + done));
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) readFailed_ = true;
    if (got <= 0) break;
    done += static_cast<size_t>(got);
  }
  return done;
}

std::string PhotoFile::ReadString(uint64_t offset, size_t count) const {
  std::string bytes(count, '\0');
  bytes.resize(ReadAt(offset, bytes.data(), count));
  return bytes;
}

std::string PhotoFile::DescriptorPath() const {
  return "/proc/self/fd/" + std::to_string(descriptor_);
}
