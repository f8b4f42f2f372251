#include "link/event.h"

namespace quillet {

void Event::Set() {
  {
    std::lock_guard<std::mutex> lock(group_.mutex_);
    signalled_ = true;
  }
  group_.changed_.notify_all();
}

void Event::Reset() {
  std::lock_guard<std::mutex> lock(group_.mutex_);
  signalled_ = false;
}

bool Event::TakeLocked() {
  if (!signalled_) return false;
  if (!manualReset_) signalled_ = false;
  return true;
}

bool Event::Wait(std::chrono::milliseconds timeout) { return WaitForAny(group_, {this}, timeout) == 0; }

int WaitForAny(EventGroup& group, std::initializer_list<Event*> events, std::chrono::milliseconds timeout) {
  std::unique_lock<std::mutex> lock(group.mutex_);
  int found = -1;
  auto take = [&] {
    int index = 0;
    for (Event* event : events) {
      if (event->TakeLocked()) {
        found = index;
        return true;
      }
      ++index;
    }
    return false;
  };
  group.changed_.wait_for(lock, timeout, take);
  return found;
}

}  // namespace quillet
