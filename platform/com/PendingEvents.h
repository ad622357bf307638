// Per-thread event queues: how work produced on one thread reaches another.
//
// The add-on's objects live on their browser window's thread and take no
// locks, yet their events come from elsewhere (the manager's signals arrive
// on a bus thread). So such events are not delivered where they arrive:
// they are posted to the thread that asked for them and run there, in
// posting order, when that thread calls ProcessPendingEvents().
//
// Nothing runs by itself. A thread with a message queue (any thread that
// made a window or looks for messages, platform/winsys/Messages.h) runs
// its calls inside GetMessage and PeekMessage: the message loop owns the
// wakeup below for such threads. Other threads pump themselves: tests with
// WaitForPendingEvents + ProcessPendingEvents, the manager in its own loop.
//
// A thread's queue is made on first use and lives as long as the thread;
// calls still pending when it ends are destroyed unrun. Posting to a thread
// that has ended answers false. Every function is thread safe; the
// Process/Wait/SetWakeup functions act on the calling thread's queue.
#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <thread>

namespace qm::platform {

namespace detail {
struct EventQueue;
}

// Names one thread's queue; copyable, usable from any thread. Default
// constructed, it names no thread and every post to it fails.
class ThreadEventTarget {
public:
  ThreadEventTarget() = default;
  std::thread::id ThreadId() const noexcept { return thread_; }
  // Whether the thread still runs (its queue still exists).
  bool Alive() const noexcept { return !queue_.expired(); }

private:
  friend ThreadEventTarget CurrentThreadEvents();
  friend bool PostThreadEvent(const ThreadEventTarget& target, std::function<void()> call);
  std::weak_ptr<detail::EventQueue> queue_;
  std::thread::id thread_;
};

// The calling thread's queue (made on first use).
ThreadEventTarget CurrentThreadEvents();

// Queues call to run on target's thread. False (and the call destroyed on
// the calling thread) when that thread has ended or target names none.
bool PostThreadEvent(const ThreadEventTarget& target, std::function<void()> call);

// Runs the calls queued for the calling thread, oldest first, and answers
// how many ran. Only calls queued before it started run, so a call that
// posts again cannot keep it busy; a call may itself process events (a
// modal loop) without disturbing the order. A call's exception is
// swallowed: the loop that pumps must not die of one event.
int ProcessPendingEvents();

// Blocks until a call is queued for the calling thread or timeout passes;
// answers whether one is pending. Runs nothing.
bool WaitForPendingEvents(std::chrono::milliseconds timeout);

bool HasPendingEvents();

// Installs, for the calling thread, what runs (on the posting thread, after
// the call is queued) whenever something is posted to it; empty removes it.
void SetPendingEventsWakeup(std::function<void()> wakeup);

}  // namespace qm::platform
