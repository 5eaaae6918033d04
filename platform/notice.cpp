#include "platform/notice.h"

#include <mutex>

namespace {

std::mutex& HandlerMutex() {
  static std::mutex mutex;
  return mutex;
}

NoticeHandler& Handler() {
  static NoticeHandler handler;
  return handler;
}

}  // namespace

void SetNoticeHandler(NoticeHandler handler) {
  std::lock_guard<std::mutex> lock(HandlerMutex());
  Handler() = std::move(handler);
}

void ShowNotice(const std::string& title, const std::string& text) {
  NoticeHandler handler;
  {
    std::lock_guard<std::mutex> lock(HandlerMutex());
    handler = Handler();
  }
  if (handler) handler(title, text);
}
