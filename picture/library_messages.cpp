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

}  // namespace

void SetVerboseLibraryMessages(bool verbose) { verboseMessages = verbose; }

bool VerboseLibraryMessages() { return verboseMessages; }

void ReportLibraryMessage(std::string_view library, std::string_view text) {
  std::string message(library);
  message += ": ";
  message += text;
  while (!message.empty() && message.back() == '\n') message.pop_back();
  if (verboseMessages) std::fprintf(stderr, "%s\n", message.c_str());
  std::lock_guard<std::mutex> lock(LastMessageMutex());
  LastMessage() = std::move(message);
}

std::string LastLibraryMessage() {
  std::lock_guard<std::mutex> lock(LastMessageMutex());
  return LastMessage();
}
