#include "platform/winsys/Messages.h"

#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <future>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/com/PendingEvents.h"
#include "platform/rtl/Exception.h"

namespace qm::platform {
namespace {

using namespace std::chrono_literals;

HWND MakeTopWindow(TRect rect = TRect::FromSize(0, 0, 100, 100)) {
  TWindowParams p;
  p.ClassName = u"Test";
  p.Rect = rect;
  p.Visible = true;
  return CreateWindow(p);
}

// A window whose procedure writes down what it gets (thread safe, as
// other threads read it).
struct TLoggingWindow {
  HWND Handle = MakeTopWindow();
  std::mutex Lock;
  std::condition_variable Changed;
  std::vector<TMsg> Got;
  std::vector<uint32_t> Threads;

  TLoggingWindow() {
    SetWindowProc(Handle, [this](HWND h, UINT m, WPARAM w, LPARAM l) -> LRESULT {
      std::lock_guard lock(Lock);
      Got.push_back({h, m, w, l});
      Threads.push_back(GetCurrentThreadId());
      Changed.notify_all();
      return static_cast<LRESULT>(m) + 1000;
    });
  }
  // For windows of other threads: waits until n messages arrived.
  bool WaitCount(size_t n) {
    std::unique_lock lock(Lock);
    return Changed.wait_for(lock, 10s, [&] { return Got.size() >= n; });
  }
  ~TLoggingWindow() { DestroyWindow(Handle); }
  std::vector<UINT> Messages() {
    std::lock_guard lock(Lock);
    std::vector<UINT> out;
    for (const TMsg& m : Got)
      out.push_back(m.Message);
    return out;
  }
  size_t Count() {
    std::lock_guard lock(Lock);
    return Got.size();
  }
};

// Runs a message loop on its own thread, as the host runs a browser
// window; the window is made on that thread.
class TWindowThread {
public:
  TWindowThread() {
    std::promise<void> ready;
    thread_ = std::thread([this, &ready] {
      window_ = std::make_unique<TLoggingWindow>();
      threadId_ = GetCurrentThreadId();
      events_ = CurrentThreadEvents();
      ready.set_value();
      exitCode_ = RunMessageLoop();
    });
    ready.get_future().wait();
  }
  ~TWindowThread() { Stop(); }
  int Stop() {
    if (thread_.joinable()) {
      PostThreadMessage(threadId_, WM_QUIT, 7, 0);
      thread_.join();
    }
    return exitCode_;
  }
  TLoggingWindow& Window() { return *window_; }
  HWND Handle() const { return window_->Handle; }
  uint32_t ThreadId() const { return threadId_; }
  const ThreadEventTarget& Events() const { return events_; }

private:
  ThreadEventTarget events_;
  std::thread thread_;
  std::unique_ptr<TLoggingWindow> window_;
  uint32_t threadId_ = 0;
  int exitCode_ = -1;
};

bool WaitFor(const std::function<bool()>& done) {
  return PumpMessagesUntil(done, 10s);
}

TEST(MessageLoop, PostedMessagesReachTheWindowProcedureInPostingOrder) {
  TLoggingWindow w;
  ASSERT_TRUE(PostMessageA(w.Handle, WM_USER + 1, 10, 20));
  ASSERT_TRUE(PostMessageA(w.Handle, WM_USER + 2, 0, 0));
  TMsg msg;
  ASSERT_TRUE(GetMessage(msg));
  EXPECT_EQ(msg.Window, w.Handle);
  EXPECT_EQ(msg.WParam, 10u);
  EXPECT_EQ(msg.LParam, 20);
  EXPECT_EQ(DispatchMessage(msg), static_cast<LRESULT>(WM_USER + 1 + 1000));
  EXPECT_EQ(PumpWaitingMessages(), 1);
  EXPECT_EQ(w.Messages(), (std::vector<UINT>{WM_USER + 1, WM_USER + 2}));
  EXPECT_FALSE(PeekMessage(msg));
}

TEST(MessageLoop, PeekWithoutRemovingLeavesTheMessageQueued) {
  TLoggingWindow w;
  PostMessageA(w.Handle, WM_USER, 0, 0);
  TMsg msg;
  ASSERT_TRUE(PeekMessage(msg, PM_NOREMOVE));
  ASSERT_TRUE(PeekMessage(msg, PM_REMOVE));
  EXPECT_EQ(msg.Message, WM_USER);
  EXPECT_FALSE(PeekMessage(msg, PM_REMOVE));
}

TEST(MessageLoop, ASubclassingProcedurePassesOnThroughThePreviousOne) {
  TLoggingWindow w;
  TWindowProc saved;
  saved = SetWindowProc(w.Handle, [&](HWND h, UINT m, WPARAM wp, LPARAM lp) -> LRESULT {
    if (m == WM_USER + 5) return 55;
    return CallWindowProc(saved, h, m, wp, lp);
  });
  ASSERT_TRUE(saved);
  EXPECT_EQ(SendMessage(w.Handle, WM_USER + 5, 0, 0), 55);
  EXPECT_EQ(SendMessage(w.Handle, WM_USER + 6, 0, 0), static_cast<LRESULT>(WM_USER + 6 + 1000));
  EXPECT_EQ(w.Messages(), std::vector<UINT>{WM_USER + 6});
  // Putting the old one back answers the subclasser.
  EXPECT_TRUE(SetWindowProc(w.Handle, saved));
  EXPECT_EQ(SendMessage(w.Handle, WM_USER + 5, 0, 0), static_cast<LRESULT>(WM_USER + 5 + 1000));
}

TEST(MessageLoop, AProcedureMayReplaceItselfWhileItRuns) {
  const HWND h = MakeTopWindow();
  int calls = 0;
  SetWindowProc(h, [&](HWND hwnd, UINT, WPARAM, LPARAM) -> LRESULT {
    ++calls;
    SetWindowProc(hwnd, {});  // frees this very function object's copy in the registry
    return 1;
  });
  EXPECT_EQ(SendMessage(h, WM_USER, 0, 0), 1);
  EXPECT_EQ(SendMessage(h, WM_USER, 0, 0), 0);  // DefWindowProc now
  EXPECT_EQ(calls, 1);
  EXPECT_FALSE(SetWindowProc(0x7FFFFFF0u, [](HWND, UINT, WPARAM, LPARAM) -> LRESULT { return 0; }));
  DestroyWindow(h);
}

TEST(MessageLoop, QuitComesAfterThePostedMessagesWithItsExitCode) {
  TLoggingWindow w;
  PostQuitMessage(3);
  PostMessageA(w.Handle, WM_USER, 0, 0);
  TMsg msg;
  ASSERT_TRUE(GetMessage(msg));
  EXPECT_EQ(msg.Message, WM_USER);
  EXPECT_FALSE(GetMessage(msg));
  EXPECT_EQ(msg.Message, WM_QUIT);
  EXPECT_EQ(msg.WParam, 3u);
  EXPECT_FALSE(PeekMessage(msg));
}

TEST(MessageLoop, MessagesPostedFromElsewhereRunOnTheWindowsOwnThread) {
  TWindowThread t;
  std::thread poster([&] {
    for (int i = 0; i < 100; ++i)
      ASSERT_TRUE(PostMessageA(t.Handle(), WM_USER, static_cast<WPARAM>(i), 0));
  });
  poster.join();
  ASSERT_TRUE(t.Window().WaitCount(100));
  EXPECT_EQ(t.Stop(), 7);
  for (size_t i = 0; i < t.Window().Got.size(); ++i) {
    EXPECT_EQ(t.Window().Got[i].WParam, i);
    EXPECT_EQ(t.Window().Threads[i], t.ThreadId());
  }
}

TEST(MessageLoop, QueuedCallsRunInsideTheWindowThreadsLoop) {
  TWindowThread t;
  // The thread is blocked in GetMessage: a call queued for it (as the
  // manager's proxy and the engines queue theirs) wakes it and runs there.
  std::promise<uint32_t> ranOn;
  ASSERT_TRUE(PostThreadEvent(t.Events(), [&] { ranOn.set_value(GetCurrentThreadId()); }));
  auto ran = ranOn.get_future();
  ASSERT_EQ(ran.wait_for(10s), std::future_status::ready);
  EXPECT_EQ(ran.get(), t.ThreadId());
  EXPECT_EQ(t.Stop(), 7);
  EXPECT_FALSE(PostThreadEvent(t.Events(), [] {}));
}

TEST(MessageLoop, PostingToAThreadThatEndedFails) {
  HWND orphan = NoWindow;
  uint32_t thread = 0;
  std::thread([&] {
    orphan = MakeTopWindow();
    thread = GetCurrentThreadId();
  }).join();
  EXPECT_FALSE(PostMessageA(orphan, WM_USER, 0, 0));
  EXPECT_FALSE(PostThreadMessage(thread, WM_USER, 0, 0));
  EXPECT_FALSE(SendNotifyMessage(orphan, WM_USER, 0, 0));
  EXPECT_FALSE(PostMessageA(0x7FFFFFF0u, WM_USER, 0, 0));
  DestroyWindow(orphan);
}

TEST(MessageLoop, SendMessageRefusesAnotherThreadsWindowAndSendNotifyRunsItThere) {
  TWindowThread t;
  EXPECT_THROW(SendMessage(t.Handle(), WM_USER, 0, 0), Exception);
  ASSERT_TRUE(SendNotifyMessage(t.Handle(), WM_USER + 3, 0, 0));
  ASSERT_TRUE(t.Window().WaitCount(1));
  EXPECT_EQ(t.Window().Got[0].Message, WM_USER + 3);
  EXPECT_EQ(t.Window().Threads[0], t.ThreadId());
  EXPECT_EQ(SendMessage(0x7FFFFFF0u, WM_USER, 0, 0), 0);
}

TEST(MessageLoop, PumpingStopsAtItsTimeoutAndKeepsAQuitForTheOuterLoop) {
  EXPECT_FALSE(PumpMessagesUntil([] { return false; }, 20ms));
  PostQuitMessage(4);
  EXPECT_FALSE(PumpMessagesUntil([] { return false; }, 10s));
  TMsg msg;
  EXPECT_FALSE(GetMessage(msg));
  EXPECT_EQ(msg.WParam, 4u);
}

TEST(Timers, ATimerTicksUntilKilledAndGivesWayToPostedMessages) {
  TLoggingWindow w;
  ASSERT_EQ(SetTimer(w.Handle, 42, 1ms), 42u);
  ASSERT_TRUE(WaitFor([&] { return w.Count() >= 3; }));
  for (const TMsg& m : w.Got) {
    EXPECT_EQ(m.Message, WM_TIMER);
    EXPECT_EQ(m.WParam, 42u);
  }
  // A due timer waits behind a posted message.
  ASSERT_TRUE(WaitMessage(10s));
  PostMessageA(w.Handle, WM_USER, 0, 0);
  TMsg msg;
  ASSERT_TRUE(PeekMessage(msg));
  EXPECT_EQ(msg.Message, WM_USER);
  EXPECT_TRUE(KillTimer(w.Handle, 42));
  EXPECT_FALSE(KillTimer(w.Handle, 42));
  EXPECT_FALSE(PeekMessage(msg));
}

TEST(Timers, ATimerNeedsAWindowOfTheCallingThreadAndEndsWithIt) {
  TWindowThread t;
  EXPECT_EQ(SetTimer(t.Handle(), 1, 1ms), 0u);
  const HWND h = MakeTopWindow();
  EXPECT_EQ(SetTimer(h, 0, 1ms), 0u);
  ASSERT_EQ(SetTimer(h, 1, 1ms), 1u);
  DestroyWindow(h);
  EXPECT_FALSE(WaitMessage(20ms));
}

TEST(Activation, EachWindowHearsItsOwnActivationOnItsOwnThread) {
  TWindowThread a;
  TWindowThread b;
  ASSERT_TRUE(ActivateWindow(a.Handle()));
  ASSERT_TRUE(ActivateWindow(b.Handle()));
  ASSERT_TRUE(ActivateWindow(b.Handle()));  // already active: nothing sent
  ASSERT_TRUE(a.Window().WaitCount(2));
  ASSERT_TRUE(b.Window().WaitCount(1));
  a.Stop();
  b.Stop();
  const auto& ga = a.Window().Got;
  ASSERT_EQ(ga.size(), 2u);
  ASSERT_EQ(b.Window().Got.size(), 1u);
  EXPECT_EQ(ga[0].Message, WM_ACTIVATE);
  EXPECT_EQ(LoWord(ga[0].WParam), WA_ACTIVE);
  EXPECT_EQ(LoWord(ga[1].WParam), WA_INACTIVE);
  EXPECT_EQ(static_cast<HWND>(ga[1].LParam), b.Handle());
  EXPECT_EQ(a.Window().Threads[0], a.ThreadId());
  const auto& gb = b.Window().Got;
  EXPECT_EQ(LoWord(gb[0].WParam), WA_ACTIVE);
  EXPECT_EQ(static_cast<HWND>(gb[0].LParam), a.Handle());
  EXPECT_EQ(b.Window().Threads[0], b.ThreadId());
  EXPECT_EQ(GetActiveWindow(), b.Handle());
  EXPECT_FALSE(ActivateWindow(0x7FFFFFF0u));
}

TEST(Activation, AMinimisedActivationCarriesTheHighWord) {
  TLoggingWindow w;
  ASSERT_TRUE(SendActivation(w.Handle, WA_ACTIVE, true));
  ASSERT_EQ(w.Count(), 1u);
  EXPECT_EQ(LoWord(w.Got[0].WParam), WA_ACTIVE);
  EXPECT_EQ(HiWord(w.Got[0].WParam), 1);
}

TEST(Focus, MovingTheFocusTellsBothWindows) {
  TLoggingWindow a;
  TLoggingWindow b;
  EXPECT_EQ(SetFocus(a.Handle), NoWindow);
  EXPECT_EQ(SetFocus(b.Handle), a.Handle);
  EXPECT_EQ(GetFocus(), b.Handle);
  EXPECT_EQ(a.Messages(), (std::vector<UINT>{WM_SETFOCUS, WM_KILLFOCUS}));
  EXPECT_EQ(b.Messages(), std::vector<UINT>{WM_SETFOCUS});
  EXPECT_EQ(static_cast<HWND>(b.Got[0].WParam), a.Handle);
  SetFocus(NoWindow);
  EXPECT_EQ(GetFocus(), NoWindow);
}

}  // namespace
}  // namespace qm::platform
