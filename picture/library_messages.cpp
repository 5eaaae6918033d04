#include "picture/library_messages.h"

#include <atomic>
#include <cstdio>
#include <mutex>

namespace {

std::atomic_bool verboseMessages{false};

std::mutex& LastMessageMutex() {
  static std::mutex mutex;
  return mutex;
}

std::string& LastMessage() {
  static std::string message;
  return message;
}

thread_local LibraryMessageCapture* currentCapture = nullptr;

}  // namespace

void SetVerboseLibraryMessages(bool verbose) { verboseMessages = verbose; }

bool VerboseLibraryMessages() { return verboseMessages; }

void ReportLibraryMessage(std::string_view library, std::string_view text) {
  std::string message(library);
  message += ": ";
  message += text;
  while (!message.empty() && message.back() == '\n') message.pop_back();
  if (verboseMessages) std::fprintf(stderr, "%s\n", message.c_str());
  // A damaged file can make a decoder repeat itself for every row; the first few say enough.
  constexpr size_t kMaxCaptured = 64;
  if (currentCapture != nullptr && currentCapture->messages_.size() < kMaxCaptured) {
    currentCapture->messages_.push_back(message);
  }
  std::lock_guard<std::mutex> lock(LastMessageMutex());
  LastMessage() = std::move(message);
}

std::string LastLibraryMessage() {
  std::lock_guard<std::mutex> lock(LastMessageMutex());
  return LastMessage();
}

LibraryMessageCapture::LibraryMessageCapture() : outer_(currentCapture) { currentCapture = this; }

LibraryMessageCapture::~LibraryMessageCapture() { currentCapture = outer_; }
