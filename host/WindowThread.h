// The user-interface thread of one browser window and its message loop.
//
// Everything of a window (its browser, its helper objects, their dialogs)
// is made and used on this thread. The thread runs the window system's
// message loop (platform/winsys/Messages.h): posted messages, the calls
// queued for the thread (posted work, the manager's events) and timers;
// when the queue runs dry, the window's idle work (the engine's queued
// loads) runs until it is done, then the loop waits.
//
// The host's main thread hands work to the window with Call, which waits
// for the result up to a deadline.
#pragma once

#include <chrono>
#include <functional>
#include <future>
#include <thread>

#include "platform/com/PendingEvents.h"
#include "platform/rtl/Exception.h"

namespace qm::host {

// Call's deadline passed; the window thread may still be busy.
class ETimedOut : public platform::Exception {
public:
  using Exception::Exception;
};

class TWindowThread {
public:
  TWindowThread();
  // Ends the loop and waits for the thread, after the work queued so far.
  ~TWindowThread();
  TWindowThread(const TWindowThread&) = delete;
  TWindowThread& operator=(const TWindowThread&) = delete;

  // What the loop does when its queue runs dry, on the window thread;
  // answers whether it did anything (then it runs again at once). Install
  // it from the window thread (inside a Call).
  void SetIdleWork(std::function<bool()> work);

  // Runs work on the window thread and answers its result; its exception is
  // raised here. Raises ETimedOut when deadline passes first.
  template <class F>
  auto Call(F&& work, std::chrono::steady_clock::time_point deadline) -> decltype(work()) {
    using R = decltype(work());
    auto task = std::make_shared<std::packaged_task<R()>>(std::forward<F>(work));
    std::future<R> result = task->get_future();
    if (!platform::PostThreadEvent(target_, [task] { (*task)(); })) {
      throw platform::Exception(u"The browser window has closed");
    }
    if (result.wait_until(deadline) != std::future_status::ready) {
      throw ETimedOut(u"Timed out");
    }
    return result.get();
  }

  std::thread::id ThreadId() const noexcept { return thread_.get_id(); }

private:
  void Loop();

  std::thread thread_;
  platform::ThreadEventTarget target_;
  std::function<bool()> idleWork_;  // window thread only
};

}  // namespace qm::host
