#pragma once
// Manual- and auto-reset events over the standard library, with a wait on
// several events of one group at once.
#include <chrono>
#include <condition_variable>
#include <initializer_list>
#include <mutex>

namespace quillet {

// Events that are waited on together share one group.
class EventGroup {
 public:
  EventGroup() = default;
  EventGroup(const EventGroup&) = delete;
  EventGroup& operator=(const EventGroup&) = delete;

 private:
  friend class Event;
  friend int WaitForAny(EventGroup&, std::initializer_list<class Event*>, std::chrono::milliseconds);
  std::mutex mutex_;
  std::condition_variable changed_;
};

class Event {
 public:
  Event(EventGroup& group, bool manualReset) : group_(group), manualReset_(manualReset) {}
  Event(const Event&) = delete;
  Event& operator=(const Event&) = delete;

  void Set();
  void Reset();
  // True when the event was signalled within the time; an auto-reset event is consumed.
  bool Wait(std::chrono::milliseconds timeout);

 private:
  friend int WaitForAny(EventGroup&, std::initializer_list<Event*>, std::chrono::milliseconds);
  bool TakeLocked();

  EventGroup& group_;
  const bool manualReset_;
  bool signalled_ = false;
};

// Index of the first signalled event in list order (an auto-reset one is
// consumed), or -1 after the time-out. All events must belong to `group`.
int WaitForAny(EventGroup& group, std::initializer_list<Event*> events, std::chrono::milliseconds timeout);

}  // namespace quillet
