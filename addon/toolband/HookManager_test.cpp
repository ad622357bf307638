#include "addon/toolband/HookManager.h"

#include <gtest/gtest.h>

#include <future>
#include <memory>
#include <thread>
#include <vector>

#include "core/Common/LocationCodes.h"
#include "testsupport/QmTesting.h"

namespace qm {
namespace {

using namespace platform;

class HookManagerTest : public ::testing::Test {
protected:
  HookManagerTest() {
    manager = std::make_unique<THookManager>(WH_GETMESSAGE, [this](int code, WPARAM w, LPARAM l) {
      ++calls;
      return manager->CallNext(code, w, l);
    });
  }
  int Hooks() const { return ThreadHookCount(GetCurrentThreadId(), WH_GETMESSAGE); }

  int calls = 0;
  std::unique_ptr<THookManager> manager;
};

TEST_F(HookManagerTest, OneHookPerThreadLivesAsLongAsItsUsers) {
  EXPECT_EQ(manager->Acquire(), 0);
  EXPECT_EQ(manager->Acquire(), 0);
  EXPECT_EQ(Hooks(), 1);
  EXPECT_EQ(manager->UseCount(), 2);
  EXPECT_EQ(manager->Release(), 0);
  EXPECT_EQ(Hooks(), 1) << "one user is left";
  EXPECT_EQ(manager->Release(), 0);
  EXPECT_EQ(Hooks(), 0);
  EXPECT_EQ(manager->ThreadCount(), 0);
}

TEST_F(HookManagerTest, TheHookSeesTheThreadsMessagesAndPassesThemOn) {
  int later = 0;
  manager->Acquire();
  // A hook installed after the manager's runs first and passes on to it.
  const HHOOK outer = SetWindowsHookExA(
      WH_GETMESSAGE,
      [&](int code, WPARAM w, LPARAM l) {
        ++later;
        return CallNextHookEx(NoHook, code, w, l);
      },
      nullptr, GetCurrentThreadId());
  PostThreadMessage(GetCurrentThreadId(), WM_USER, 0, 0);
  TMsg msg;
  ASSERT_TRUE(PeekMessage(msg));
  EXPECT_EQ(later, 1);
  EXPECT_EQ(calls, 1);
  UnhookWindowsHookEx(outer);
  manager->Release();
}

TEST_F(HookManagerTest, AThreadWithoutAnEntryReleasesNothingAndCallsNoNextHook) {
  manager->Acquire();
  std::thread([&] {
    EXPECT_EQ(manager->Release(), 0);
    int next = 0;
    SetWindowsHookExA(
        WH_GETMESSAGE,
        [&](int, WPARAM, LPARAM) {
          ++next;
          return LRESULT{0};
        },
        nullptr, GetCurrentThreadId());
    EXPECT_EQ(manager->CallNext(HC_ACTION, 0, 0), 0);
    EXPECT_EQ(next, 0);
  }).join();
  EXPECT_EQ(manager->UseCount(), 1) << "this thread's entry is untouched";
  manager->Release();
}

TEST_F(HookManagerTest, EachThreadHasItsOwnEntry) {
  manager->Acquire();
  std::promise<void> acquired;
  std::promise<void> done;
  std::thread other([&] {
    manager->Acquire();
    acquired.set_value();
    done.get_future().wait();
    manager->Release();
  });
  acquired.get_future().wait();
  EXPECT_EQ(manager->ThreadCount(), 2);
  EXPECT_EQ(manager->UseCount(), 1);
  done.set_value();
  other.join();
  EXPECT_EQ(manager->ThreadCount(), 1);
  manager->Release();
}

TEST_F(HookManagerTest, DestroyingTheManagerRemovesTheHooksLeft) {
  manager->Acquire();
  manager->Acquire();
  manager.reset();
  EXPECT_EQ(Hooks(), 0);
}

TEST(ThreadHookData, CountsRefuseToPassTheirLimitsWithTheirCodes) {
  TThreadHookData data;
  testing::ExpectThrowsExactly<Exception>(
      [&] { data.DecUse(); },
      testing::Trail(u"Hook use count underflow", {loc::ThreadHookCountUnderflow}));
  data.UseCount = std::numeric_limits<int32_t>::max();
  testing::ExpectThrowsExactly<Exception>(
      [&] { data.IncUse(); },
      testing::Trail(u"Hook use count overflow", {loc::ThreadHookCountOverflow}));
}

}  // namespace
}  // namespace qm
