#include "platform/com/PendingEvents.h"

#include <condition_variable>
#include <deque>
#include <mutex>

namespace qm::platform {

namespace detail {
struct EventQueue {
  std::mutex Lock;
  std::condition_variable Arrived;
  std::deque<std::function<void()>> Calls;
  std::function<void()> Wakeup;
};
}  // namespace detail

namespace {

// The calling thread owns its queue; targets hold it weakly, so that a
// post to a thread that has ended fails instead of piling up.
const std::shared_ptr<detail::EventQueue>& OwnQueue() {
  thread_local const std::shared_ptr<detail::EventQueue> queue =
      std::make_shared<detail::EventQueue>();
  return queue;
}

}  // namespace

ThreadEventTarget CurrentThreadEvents() {
  ThreadEventTarget target;
  target.queue_ = OwnQueue();
  target.thread_ = std::this_thread::get_id();
  return target;
}

bool PostThreadEvent(const ThreadEventTarget& target, std::function<void()> call) {
  std::shared_ptr<detail::EventQueue> queue = target.queue_.lock();
  if (!queue || !call) return false;
  std::function<void()> wakeup;
  {
    std::lock_guard lock(queue->Lock);
    queue->Calls.push_back(std::move(call));
    wakeup = queue->Wakeup;
  }
  queue->Arrived.notify_all();
  if (wakeup) wakeup();
  return true;
}

int ProcessPendingEvents() {
  detail::EventQueue& queue = *OwnQueue();
  size_t budget;
  {
    std::lock_guard lock(queue.Lock);
    budget = queue.Calls.size();
  }
  int ran = 0;
  for (; budget > 0; --budget) {
    std::function<void()> call;
    {
      std::lock_guard lock(queue.Lock);
      if (queue.Calls.empty()) break;  // a nested loop took them
      call = std::move(queue.Calls.front());
      queue.Calls.pop_front();
    }
    try {
      call();
    } catch (...) {
    }
    ++ran;
  }
  return ran;
}

bool WaitForPendingEvents(std::chrono::milliseconds timeout) {
  detail::EventQueue& queue = *OwnQueue();
  std::unique_lock lock(queue.Lock);
  return queue.Arrived.wait_for(lock, timeout, [&] { return !queue.Calls.empty(); });
}

bool HasPendingEvents() {
  detail::EventQueue& queue = *OwnQueue();
  std::lock_guard lock(queue.Lock);
  return !queue.Calls.empty();
}

void SetPendingEventsWakeup(std::function<void()> wakeup) {
  detail::EventQueue& queue = *OwnQueue();
  std::lock_guard lock(queue.Lock);
  queue.Wakeup = std::move(wakeup);
}

}  // namespace qm::platform
