#include "batch/photo_wire.h"

#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <type_traits>

namespace {

// No task or result comes near this: three paths of at most a few kilobytes and a reason.
constexpr uint32_t kMaxMessage = 1 << 20;

static_assert(std::is_trivially_copyable_v<IsoProfile>);

class Writer {
 public:
  template <typename T>
  void Put(const T& value) {
    static_assert(std::is_trivially_copyable_v<T>);
    bytes_.append(reinterpret_cast<const char*>(&value), sizeof(T));
  }
  void Put(const std::string& text) {
    Put(static_cast<uint32_t>(text.size()));
    bytes_ += text;
  }
  void Put(const std::filesystem::path& path) { Put(path.native()); }
  std::string Take() { return std::move(bytes_); }

 private:
  std::string bytes_;
};

class Reader {
 public:
  explicit Reader(std::string_view bytes) : bytes_(bytes) {}

  template <typename T>
  bool Get(T& value) {
    static_assert(std::is_trivially_copyable_v<T>);
    if (bytes_.size() < sizeof(T)) return false;
    std::memcpy(&value, bytes_.data(), sizeof(T));
    bytes_.remove_prefix(sizeof(T));
    return true;
  }
  bool Get(std::string& text) {
    uint32_t size = 0;
    if (!Get(size) || bytes_.size() < size) return false;
    text.assign(bytes_.data(), size);
    bytes_.remove_prefix(size);
    return true;
  }
  bool Get(std::filesystem::path& path) {
    std::string text;
    if (!Get(text)) return false;
    path = text;
    return true;
  }
  bool AtEnd() const { return bytes_.empty(); }

 private:
  std::string_view bytes_;
};

void PutTask(Writer& writer, const PhotoTask& task) {
  writer.Put(task.input);
  writer.Put(task.output);
  writer.Put(task.relativePath);
}

bool GetTask(Reader& reader, PhotoTask& task) {
  return reader.Get(task.input) && reader.Get(task.output) && reader.Get(task.relativePath);
}

// Every byte of the buffer is sent or read, across partial transfers and signals.
bool Transfer(int socket, char* data, size_t size, bool sending) {
  while (size > 0) {
    const ssize_t done = sending ? send(socket, data, size, MSG_NOSIGNAL) : read(socket, data, size);
    if (done < 0 && errno == EINTR) continue;
    if (done <= 0) return false;
    data += done;
    size -= static_cast<size_t>(done);
  }
  return true;
}

}  // namespace

std::string EncodeTask(const PhotoTask& task) {
  Writer writer;
  PutTask(writer, task);
  return writer.Take();
}

std::optional<PhotoTask> DecodeTask(std::string_view bytes) {
  Reader reader(bytes);
  PhotoTask task;
  if (!GetTask(reader, task) || !reader.AtEnd()) return std::nullopt;
  return task;
}

std::string EncodeResult(const ProcessedFile& file) {
  const PhotoRecord& record = file.record;
  Writer writer;
  writer.Put(file.kind);
  writer.Put(file.outputFolderUnavailable);
  PutTask(writer, record.task);
  writer.Put(record.outcome);
  writer.Put(record.reason);
  writer.Put(record.rule.has_value());
  writer.Put(record.rule.value_or(ProfileRule::kBuiltInDefault));
  writer.Put(record.profile);
  writer.Put(record.seconds);
  writer.Put(record.megapixels);
  return writer.Take();
}

std::optional<ProcessedFile> DecodeResult(std::string_view bytes) {
  Reader reader(bytes);
  ProcessedFile file;
  PhotoRecord& record = file.record;
  bool hasRule = false;
  ProfileRule rule{};
  const bool read = reader.Get(file.kind) && reader.Get(file.outputFolderUnavailable) &&
                    GetTask(reader, record.task) && reader.Get(record.outcome) &&
                    reader.Get(record.reason) && reader.Get(hasRule) && reader.Get(rule) &&
                    reader.Get(record.profile) && reader.Get(record.seconds) &&
                    reader.Get(record.megapixels);
  if (!read || !reader.AtEnd()) return std::nullopt;
  if (hasRule) record.rule = rule;
  return file;
}

bool SendMessage(int socket, std::string_view message) {
  std::string framed(sizeof(uint32_t), '\0');
  const auto size = static_cast<uint32_t>(message.size());
  std::memcpy(framed.data(), &size, sizeof(size));
  framed += message;
  return Transfer(socket, framed.data(), framed.size(), true);
}

std::optional<std::string> ReceiveMessage(int socket) {
  uint32_t size = 0;
  if (!Transfer(socket, reinterpret_cast<char*>(&size), sizeof(size), false) ||
      size > kMaxMessage) {
    return std::nullopt;
  }
  std::string message(size, '\0');
  if (!Transfer(socket, message.data(), size, false)) return std::nullopt;
  return message;
}
