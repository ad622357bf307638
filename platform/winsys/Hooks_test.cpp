#include "platform/winsys/Hooks.h"

#include <gtest/gtest.h>

#include <future>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace qm::platform {
namespace {

using namespace std::chrono_literals;

class ThreadHooks : public ::testing::Test {
protected:
  ThreadHooks() {
    TWindowParams p;
    p.ClassName = u"Test";
    window_ = CreateWindow(p);
    SetWindowProc(window_, [this](HWND, UINT m, WPARAM, LPARAM) -> LRESULT {
      log_.push_back("proc " + std::to_string(m));
      return 77;
    });
  }
  ~ThreadHooks() override {
    for (HHOOK h : hooks_)
      UnhookWindowsHookEx(h);
    DestroyWindow(window_);
  }
  // A hook that writes its name down, then passes the call on.
  HHOOK Install(int kind, std::string name) {
    const HHOOK h = SetWindowsHookExA(
        kind,
        [this, name](int code, WPARAM w, LPARAM l) {
          log_.push_back(name);
          return CallNextHookEx(NoHook, code, w, l);
        },
        nullptr, GetCurrentThreadId());
    hooks_.push_back(h);
    return h;
  }

  HWND window_ = NoWindow;
  std::vector<std::string> log_;
  std::vector<HHOOK> hooks_;
};

TEST_F(ThreadHooks, TheHookInstalledLastRunsFirstAndEachPassesOn) {
  Install(WH_GETMESSAGE, "first");
  Install(WH_GETMESSAGE, "second");
  EXPECT_EQ(ThreadHookCount(GetCurrentThreadId(), WH_GETMESSAGE), 2);
  PostMessageA(window_, 0x501, 1, 2);
  TMsg msg;
  ASSERT_TRUE(GetMessage(msg));
  DispatchMessage(msg);
  EXPECT_EQ(log_, (std::vector<std::string>{"second", "first", "proc 1281"}));
}

TEST_F(ThreadHooks, AGetMessageHookSeesAndMayChangeTheMessageTaken) {
  std::vector<UINT> seen;
  hooks_.push_back(SetWindowsHookExA(
      WH_GETMESSAGE,
      [&](int code, WPARAM remove, LPARAM l) {
        auto* msg = reinterpret_cast<TMsg*>(l);
        EXPECT_EQ(code, HC_ACTION);
        EXPECT_EQ(remove, PM_REMOVE);
        seen.push_back(msg->Message);
        msg->WParam = 99;
        return CallNextHookEx(NoHook, code, remove, l);
      },
      nullptr, GetCurrentThreadId()));
  PostMessageA(window_, WM_USER, 1, 0);
  TMsg msg;
  ASSERT_TRUE(PeekMessage(msg));
  EXPECT_EQ(msg.WParam, 99u);
  EXPECT_EQ(seen, std::vector<UINT>{WM_USER});
}

TEST_F(ThreadHooks, AProcedureReturnHookRunsAfterTheProcedureWithItsResult) {
  TCwpRetStruct seen;
  hooks_.push_back(SetWindowsHookExA(
      WH_CALLWNDPROCRET,
      [&](int code, WPARAM w, LPARAM l) {
        seen = *reinterpret_cast<const TCwpRetStruct*>(l);
        log_.push_back("after");
        return CallNextHookEx(NoHook, code, w, l);
      },
      nullptr, GetCurrentThreadId()));
  EXPECT_EQ(SendMessage(window_, WM_ACTIVATE, MakeWParam(WA_ACTIVE, 0), 5), 77);
  EXPECT_EQ(log_, (std::vector<std::string>{"proc 6", "after"}));
  EXPECT_EQ(seen.Window, window_);
  EXPECT_EQ(seen.Message, WM_ACTIVATE);
  EXPECT_EQ(seen.Result, 77);
  EXPECT_EQ(seen.LParam, 5);
  // A posted message that is dispatched is not a sent one.
  log_.clear();
  PostMessageA(window_, WM_USER, 0, 0);
  EXPECT_EQ(PumpWaitingMessages(), 1);
  EXPECT_EQ(log_, std::vector<std::string>{"proc 1024"});
}

TEST_F(ThreadHooks, AHookRemovedWhileItsChainRunsIsSkipped) {
  HHOOK later = NoHook;
  Install(WH_GETMESSAGE, "bottom");
  later = Install(WH_GETMESSAGE, "middle");
  hooks_.push_back(SetWindowsHookExA(
      WH_GETMESSAGE,
      [&](int code, WPARAM w, LPARAM l) {
        log_.push_back("top");
        EXPECT_TRUE(UnhookWindowsHookEx(later));
        return CallNextHookEx(NoHook, code, w, l);
      },
      nullptr, GetCurrentThreadId()));
  PostMessageA(window_, WM_USER, 0, 0);
  TMsg msg;
  ASSERT_TRUE(PeekMessage(msg));
  EXPECT_EQ(log_, (std::vector<std::string>{"top", "bottom"}));
  EXPECT_FALSE(UnhookWindowsHookEx(later));
  EXPECT_EQ(ThreadHookCount(GetCurrentThreadId(), WH_GETMESSAGE), 2);
}

TEST_F(ThreadHooks, OnlyTheWatchedThreadsMessagesReachItsHooks) {
  Install(WH_GETMESSAGE, "mine");
  std::promise<int> theirs;
  std::thread([&] {
    TWindowParams p;
    const HWND other = CreateWindow(p);
    PostMessageA(other, WM_USER, 0, 0);
    TMsg msg;
    PeekMessage(msg);
    theirs.set_value(ThreadHookCount(GetCurrentThreadId(), WH_GETMESSAGE));
    DestroyWindow(other);
  }).join();
  EXPECT_EQ(theirs.get_future().get(), 0);
  EXPECT_TRUE(log_.empty());
}

TEST_F(ThreadHooks, HooksOfAThreadEndWithIt) {
  uint32_t thread = 0;
  std::thread([&] {
    TWindowParams p;
    DestroyWindow(CreateWindow(p));  // the thread now has a queue
    thread = GetCurrentThreadId();
    SetWindowsHookExA(WH_GETMESSAGE, [](int, WPARAM, LPARAM) { return LRESULT{0}; }, nullptr, thread);
    EXPECT_EQ(ThreadHookCount(thread, WH_GETMESSAGE), 1);
  }).join();
  EXPECT_EQ(ThreadHookCount(thread, WH_GETMESSAGE), 0);
}

TEST_F(ThreadHooks, RefusesWhatDoesNotExistHere) {
  const auto proc = [](int, WPARAM, LPARAM) { return LRESULT{0}; };
  EXPECT_EQ(SetWindowsHookExA(WH_GETMESSAGE, proc, nullptr, 0), NoHook);  // system-wide
  EXPECT_EQ(SetWindowsHookExA(4, proc, nullptr, GetCurrentThreadId()), NoHook);
  EXPECT_EQ(SetWindowsHookExA(WH_GETMESSAGE, {}, nullptr, GetCurrentThreadId()), NoHook);
  EXPECT_FALSE(UnhookWindowsHookEx(NoHook));
  EXPECT_EQ(CallNextHookEx(NoHook, 0, 0, 0), 0);  // no chain is running
}

TEST_F(ThreadHooks, AFailingHookDoesNotStopTheMessage) {
  hooks_.push_back(SetWindowsHookExA(
      WH_GETMESSAGE, [](int, WPARAM, LPARAM) -> LRESULT { throw std::runtime_error("hook"); },
      nullptr, GetCurrentThreadId()));
  PostMessageA(window_, WM_USER, 0, 0);
  EXPECT_EQ(PumpWaitingMessages(), 1);
  EXPECT_EQ(log_, std::vector<std::string>{"proc 1024"});
}

}  // namespace
}  // namespace qm::platform
