#include "platform/winsys/Messages.h"

#include <algorithm>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <unordered_map>
#include <vector>

#include "platform/com/PendingEvents.h"
#include "platform/rtl/Exception.h"
#include "platform/winsys/Hooks.h"

namespace qm::platform {
namespace {

using TClock = std::chrono::steady_clock;

struct TTimer {
  HWND Window = NoWindow;
  uintptr_t Id = 0;
  std::chrono::milliseconds Interval{0};
  TClock::time_point Due;
};

struct TThreadQueue {
  uint32_t ThreadId = 0;
  ThreadEventTarget Events;  // the thread's PostThreadEvent queue

  std::mutex Lock;  // guards what follows
  std::condition_variable Arrived;
  std::deque<TMsg> Posted;
  bool QuitPending = false;
  int QuitCode = 0;
  std::vector<TTimer> Timers;

  HWND Focus = NoWindow;  // touched by the owning thread only
};
using TQueueRef = std::shared_ptr<TThreadQueue>;

struct TQueues {
  std::mutex Lock;
  std::unordered_map<uint32_t, std::weak_ptr<TThreadQueue>> ByThread;
  HWND Active = NoWindow;
};

TQueues& Queues() {
  static TQueues queues;
  return queues;
}

// The calling thread owns its queue; others reach it through the map,
// weakly, so that a post to a thread that has ended fails.
struct TOwnQueue {
  TQueueRef Queue;
  ~TOwnQueue() {
    if (!Queue) return;
    {
      TQueues& all = Queues();
      std::lock_guard lock(all.Lock);
      all.ByThread.erase(Queue->ThreadId);
    }
    detail::DropThreadHooks(Queue->ThreadId);
  }
};
thread_local TOwnQueue ownQueue;

TThreadQueue& OwnQueue() {
  if (ownQueue.Queue) return *ownQueue.Queue;
  auto queue = std::make_shared<TThreadQueue>();
  queue->ThreadId = GetCurrentThreadId();
  queue->Events = CurrentThreadEvents();
  {
    TQueues& all = Queues();
    std::lock_guard lock(all.Lock);
    all.ByThread[queue->ThreadId] = queue;
  }
  // A call queued for this thread wakes its loop. Notifying under the lock
  // means a loop that just found nothing is already waiting and hears it.
  SetPendingEventsWakeup([weak = std::weak_ptr<TThreadQueue>(queue)] {
    if (const TQueueRef q = weak.lock()) {
      std::lock_guard lock(q->Lock);
      q->Arrived.notify_all();
    }
  });
  ownQueue.Queue = std::move(queue);
  return *ownQueue.Queue;
}

TQueueRef QueueOf(uint32_t threadId) {
  if (threadId == 0) return nullptr;
  if (threadId == GetCurrentThreadId()) return ownQueue.Queue ? ownQueue.Queue : nullptr;
  TQueues& all = Queues();
  std::lock_guard lock(all.Lock);
  const auto it = all.ByThread.find(threadId);
  return it == all.ByThread.end() ? nullptr : it->second.lock();
}

bool Post(const TQueueRef& queue, const TMsg& msg) {
  if (!queue) return false;
  std::lock_guard lock(queue->Lock);
  queue->Posted.push_back(msg);
  queue->Arrived.notify_all();
  return true;
}

// The due timer that is due longest, under q.Lock; Timers.end() for none.
// Timers of windows that are gone are dropped here.
std::vector<TTimer>::iterator DueTimer(TThreadQueue& q, TClock::time_point now) {
  std::erase_if(q.Timers, [](const TTimer& t) { return !IsWindow(t.Window); });
  auto due = q.Timers.end();
  for (auto it = q.Timers.begin(); it != q.Timers.end(); ++it) {
    if (it->Due <= now && (due == q.Timers.end() || it->Due < due->Due)) due = it;
  }
  return due;
}

// The next message by the order at the top of Messages.h, without the
// queued calls (run before).
bool TakeMessage(TThreadQueue& q, TMsg& msg, bool remove) {
  std::lock_guard lock(q.Lock);
  if (!q.Posted.empty()) {
    msg = q.Posted.front();
    if (remove) q.Posted.pop_front();
    return true;
  }
  if (q.QuitPending) {
    msg = TMsg{NoWindow, WM_QUIT, static_cast<WPARAM>(q.QuitCode), 0};
    if (remove) q.QuitPending = false;
    return true;
  }
  const TClock::time_point now = TClock::now();
  const auto timer = DueTimer(q, now);
  if (timer == q.Timers.end()) return false;
  msg = TMsg{timer->Window, WM_TIMER, timer->Id, 0};
  if (remove) timer->Due = now + timer->Interval;
  return true;
}

// Waits until there is something for the calling thread or deadline
// passes; answers whether there is something.
bool WaitUntil(TThreadQueue& q, TClock::time_point deadline) {
  std::unique_lock lock(q.Lock);
  for (;;) {
    const TClock::time_point now = TClock::now();
    if (!q.Posted.empty() || q.QuitPending || HasPendingEvents()) return true;
    TClock::time_point wake = deadline;
    for (const TTimer& t : q.Timers) {
      if (!IsWindow(t.Window)) continue;
      if (t.Due <= now) return true;
      wake = std::min(wake, t.Due);
    }
    if (now >= deadline) return false;
    if (wake == TClock::time_point::max()) {
      q.Arrived.wait(lock);
    } else {
      q.Arrived.wait_until(lock, wake);
    }
  }
}

TClock::time_point DeadlineAfter(std::chrono::milliseconds timeout) {
  const TClock::time_point now = TClock::now();
  if (timeout >= std::chrono::duration_cast<std::chrono::milliseconds>(TClock::time_point::max() - now))
    return TClock::time_point::max();
  return now + timeout;
}

// Peeks, dispatching nothing; a WM_QUIT is answered through quit.
enum class TPump { Nothing, Dispatched, Quit };
TPump PumpOne() {
  TMsg msg;
  if (!PeekMessage(msg, PM_REMOVE)) return TPump::Nothing;
  if (msg.Message == WM_QUIT) {
    PostQuitMessage(static_cast<int>(msg.WParam));
    return TPump::Quit;
  }
  DispatchMessage(msg);
  return TPump::Dispatched;
}

}  // namespace

namespace detail {
void EnsureMessageQueue() {
  OwnQueue();
}
}  // namespace detail

LRESULT DefWindowProc(HWND, UINT, WPARAM, LPARAM) {
  return 0;
}

LRESULT CallWindowProc(const TWindowProc& proc, HWND hwnd, UINT message, WPARAM wParam,
                       LPARAM lParam) {
  if (!proc) return DefWindowProc(hwnd, message, wParam, lParam);
  return proc(hwnd, message, wParam, lParam);
}

bool PostMessageA(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (hwnd == NoWindow) {
    OwnQueue();
    return Post(ownQueue.Queue, TMsg{NoWindow, message, wParam, lParam});
  }
  return Post(QueueOf(GetWindowThreadId(hwnd)), TMsg{hwnd, message, wParam, lParam});
}

bool PostThreadMessage(uint32_t threadId, UINT message, WPARAM wParam, LPARAM lParam) {
  if (threadId == GetCurrentThreadId()) OwnQueue();
  return Post(QueueOf(threadId), TMsg{NoWindow, message, wParam, lParam});
}

void PostQuitMessage(int exitCode) {
  TThreadQueue& q = OwnQueue();
  std::lock_guard lock(q.Lock);
  q.QuitPending = true;
  q.QuitCode = exitCode;
  q.Arrived.notify_all();
}

bool PeekMessage(TMsg& msg, UINT removeFlag) {
  TThreadQueue& q = OwnQueue();
  ProcessPendingEvents();
  if (!TakeMessage(q, msg, removeFlag == PM_REMOVE)) return false;
  detail::RunThreadHooks(WH_GETMESSAGE, HC_ACTION, removeFlag, reinterpret_cast<LPARAM>(&msg));
  return true;
}

bool GetMessage(TMsg& msg) {
  TThreadQueue& q = OwnQueue();
  for (;;) {
    if (PeekMessage(msg, PM_REMOVE)) return msg.Message != WM_QUIT;
    WaitUntil(q, TClock::time_point::max());
  }
}

bool WaitMessage(std::chrono::milliseconds timeout) {
  return WaitUntil(OwnQueue(), DeadlineAfter(timeout));
}

LRESULT DispatchMessage(const TMsg& msg) {
  if (msg.Window == NoWindow) return 0;
  const auto proc = detail::WindowProcOf(msg.Window);
  if (!proc) return DefWindowProc(msg.Window, msg.Message, msg.WParam, msg.LParam);
  return (*proc)(msg.Window, msg.Message, msg.WParam, msg.LParam);
}

LRESULT SendMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  const uint32_t thread = GetWindowThreadId(hwnd);
  if (thread == 0) return 0;
  if (thread != GetCurrentThreadId()) throw Exception(u"SendMessage to a window of another thread");
  const auto proc = detail::WindowProcOf(hwnd);
  const LRESULT result = proc ? (*proc)(hwnd, message, wParam, lParam)
                              : DefWindowProc(hwnd, message, wParam, lParam);
  const TCwpRetStruct done{result, lParam, wParam, message, hwnd};
  detail::RunThreadHooks(WH_CALLWNDPROCRET, HC_ACTION, 1, reinterpret_cast<LPARAM>(&done));
  return result;
}

bool SendNotifyMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  const uint32_t thread = GetWindowThreadId(hwnd);
  if (thread == 0) return false;
  if (thread == GetCurrentThreadId()) {
    SendMessage(hwnd, message, wParam, lParam);
    return true;
  }
  const TQueueRef queue = QueueOf(thread);
  if (!queue) return false;
  return PostThreadEvent(queue->Events, [=] { SendMessage(hwnd, message, wParam, lParam); });
}

int RunMessageLoop(const std::function<void()>& onIdle) {
  for (;;) {
    TMsg msg;
    if (!PeekMessage(msg, PM_REMOVE)) {
      if (onIdle) onIdle();
      if (!GetMessage(msg)) return static_cast<int>(msg.WParam);
    } else if (msg.Message == WM_QUIT) {
      return static_cast<int>(msg.WParam);
    }
    DispatchMessage(msg);
  }
}

bool PumpMessagesUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
  TThreadQueue& q = OwnQueue();
  const TClock::time_point deadline = DeadlineAfter(timeout);
  while (!done()) {
    switch (PumpOne()) {
      case TPump::Dispatched:
        continue;
      case TPump::Quit:
        return done();
      case TPump::Nothing:
        break;
    }
    if (done()) return true;
    if (!WaitUntil(q, deadline)) return done();
  }
  return true;
}

int PumpWaitingMessages() {
  int dispatched = 0;
  for (TPump r = PumpOne(); r == TPump::Dispatched; r = PumpOne())
    ++dispatched;
  return dispatched;
}

uintptr_t SetTimer(HWND hwnd, uintptr_t id, std::chrono::milliseconds interval) {
  if (id == 0 || GetWindowThreadId(hwnd) != GetCurrentThreadId()) return 0;
  interval = std::max(interval, std::chrono::milliseconds(1));
  TThreadQueue& q = OwnQueue();
  std::lock_guard lock(q.Lock);
  const TTimer timer{hwnd, id, interval, TClock::now() + interval};
  const auto it = std::find_if(q.Timers.begin(), q.Timers.end(),
                               [&](const TTimer& t) { return t.Window == hwnd && t.Id == id; });
  if (it == q.Timers.end()) {
    q.Timers.push_back(timer);
  } else {
    *it = timer;
  }
  return id;
}

bool KillTimer(HWND hwnd, uintptr_t id) {
  if (!ownQueue.Queue) return false;
  TThreadQueue& q = *ownQueue.Queue;
  std::lock_guard lock(q.Lock);
  return std::erase_if(q.Timers,
                       [&](const TTimer& t) { return t.Window == hwnd && t.Id == id; }) > 0;
}

bool SendActivation(HWND hwnd, uint16_t state, bool minimized, HWND other) {
  return SendNotifyMessage(hwnd, WM_ACTIVATE, MakeWParam(state, minimized ? 1 : 0),
                           static_cast<LPARAM>(other));
}

bool ActivateWindow(HWND hwnd) {
  if (hwnd != NoWindow && !IsWindow(hwnd)) return false;
  HWND previous;
  {
    TQueues& all = Queues();
    std::lock_guard lock(all.Lock);
    previous = all.Active;
    if (previous == hwnd && IsWindow(previous)) return true;
    all.Active = hwnd;
  }
  if (previous != NoWindow && previous != hwnd) SendActivation(previous, WA_INACTIVE, false, hwnd);
  if (hwnd != NoWindow) SendActivation(hwnd, WA_ACTIVE, false, previous);
  return true;
}

HWND GetActiveWindow() {
  HWND active;
  {
    TQueues& all = Queues();
    std::lock_guard lock(all.Lock);
    active = all.Active;
  }
  return IsWindow(active) ? active : NoWindow;
}

HWND SetFocus(HWND hwnd) {
  if (hwnd != NoWindow && GetWindowThreadId(hwnd) != GetCurrentThreadId()) return NoWindow;
  TThreadQueue& q = OwnQueue();
  const HWND previous = IsWindow(q.Focus) ? q.Focus : NoWindow;
  if (previous == hwnd) return previous;
  q.Focus = hwnd;
  if (previous != NoWindow) SendMessage(previous, WM_KILLFOCUS, hwnd, 0);
  if (hwnd != NoWindow) SendMessage(hwnd, WM_SETFOCUS, previous, 0);
  return previous;
}

HWND GetFocus() {
  if (!ownQueue.Queue) return NoWindow;
  const HWND focus = ownQueue.Queue->Focus;
  return IsWindow(focus) ? focus : NoWindow;
}

}  // namespace qm::platform
