#include "platform/winsys/WindowRegistry.h"

#include <gtest/gtest.h>

#include <thread>

#include "platform/rtl/Exception.h"

namespace qm::platform {
namespace {

HWND MakeWindow(HWND parent, HWND owner, TRect rect, bool visible = true) {
  TWindowParams p;
  p.ClassName = u"Test";
  p.Parent = parent;
  p.Owner = owner;
  p.Rect = rect;
  p.Visible = visible;
  return CreateWindow(p);
}

TEST(WindowRegistry, ChildRectanglesAddUpToScreenCoordinates) {
  const HWND top = MakeWindow(NoWindow, NoWindow, TRect::FromSize(100, 50, 800, 600));
  const HWND child = MakeWindow(top, NoWindow, TRect::FromSize(10, 20, 300, 200));
  const HWND grandChild = MakeWindow(child, NoWindow, TRect::FromSize(1, 2, 30, 40));
  TRect r;
  ASSERT_TRUE(GetWindowRect(grandChild, r));
  EXPECT_EQ(r, TRect::FromSize(111, 72, 30, 40));
  ASSERT_TRUE(MoveWindow(top, TRect::FromSize(0, 0, 800, 600)));
  ASSERT_TRUE(GetWindowRect(grandChild, r));
  EXPECT_EQ(r, TRect::FromSize(11, 22, 30, 40));
  DestroyWindow(top);
}

TEST(WindowRegistry, AncestorsFollowParentsThenOwners) {
  const HWND browser = MakeWindow(NoWindow, NoWindow, TRect::FromSize(0, 0, 800, 600));
  const HWND band = MakeWindow(browser, NoWindow, TRect::FromSize(0, 0, 200, 22));
  const HWND dialog = MakeWindow(NoWindow, browser, TRect::FromSize(0, 0, 260, 278));
  EXPECT_EQ(GetAncestor(band, TAncestor::Parent), browser);
  EXPECT_EQ(GetAncestor(band, TAncestor::Root), browser);
  EXPECT_EQ(GetAncestor(browser, TAncestor::Root), browser);
  EXPECT_EQ(GetAncestor(browser, TAncestor::Parent), NoWindow);
  EXPECT_EQ(GetAncestor(dialog, TAncestor::Root), dialog);
  EXPECT_EQ(GetAncestor(dialog, TAncestor::RootOwner), browser);
  EXPECT_EQ(GetOwner(dialog), browser);
  EXPECT_EQ(GetChildWindows(browser), std::vector<HWND>{band});
  DestroyWindow(browser);
}

TEST(WindowRegistry, DestroyingAWindowTakesItsChildrenAndOwnedWindowsAndNeverReusesHandles) {
  const HWND browser = MakeWindow(NoWindow, NoWindow, TRect::FromSize(0, 0, 800, 600));
  const HWND child = MakeWindow(browser, NoWindow, TRect{});
  const HWND dialog = MakeWindow(NoWindow, browser, TRect{});
  EXPECT_TRUE(DestroyWindow(browser));
  EXPECT_FALSE(IsWindow(browser));
  EXPECT_FALSE(IsWindow(child));
  EXPECT_FALSE(IsWindow(dialog));
  EXPECT_FALSE(DestroyWindow(browser));
  TRect r{1, 2, 3, 4};
  EXPECT_FALSE(GetWindowRect(dialog, r));
  EXPECT_EQ(r, (TRect{1, 2, 3, 4}));
  const HWND next = MakeWindow(NoWindow, NoWindow, TRect{});
  EXPECT_GT(next, dialog);
  DestroyWindow(next);
}

TEST(WindowRegistry, RefusesAParentThatIsNotAWindow) {
  EXPECT_THROW(MakeWindow(0x7FFFFFF0u, NoWindow, TRect{}), Exception);
  EXPECT_THROW(MakeWindow(NoWindow, 0x7FFFFFF0u, TRect{}), Exception);
}

TEST(WindowRegistry, VisibilityNeedsEveryParentVisible) {
  const HWND top = MakeWindow(NoWindow, NoWindow, TRect{}, false);
  const HWND child = MakeWindow(top, NoWindow, TRect{}, true);
  EXPECT_FALSE(IsWindowVisible(child));
  ShowWindow(top, true);
  EXPECT_TRUE(IsWindowVisible(child));
  DestroyWindow(top);
}

TEST(WindowRegistry, WindowsRememberTheThreadThatMadeThem) {
  const HWND mine = MakeWindow(NoWindow, NoWindow, TRect{});
  HWND theirs = NoWindow;
  uint32_t theirThread = 0;
  std::thread t([&] {
    theirs = MakeWindow(NoWindow, NoWindow, TRect{});
    theirThread = GetCurrentThreadId();
  });
  t.join();
  EXPECT_EQ(GetWindowThreadId(mine), GetCurrentThreadId());
  EXPECT_EQ(GetWindowThreadId(theirs), theirThread);
  EXPECT_NE(theirThread, GetCurrentThreadId());
  EXPECT_EQ(GetWindowThreadId(NoWindow), 0u);
  DestroyWindow(mine);
  DestroyWindow(theirs);
}

TEST(WindowRegistry, WindowFromPointFindsTheDeepestVisibleWindowOnTopOfTheStack) {
  const HWND below = MakeWindow(NoWindow, NoWindow, TRect::FromSize(0, 0, 400, 400));
  const HWND above = MakeWindow(NoWindow, NoWindow, TRect::FromSize(100, 100, 400, 400));
  const HWND child = MakeWindow(above, NoWindow, TRect::FromSize(10, 10, 50, 50));
  EXPECT_EQ(WindowFromPoint({50, 50}), below);
  EXPECT_EQ(WindowFromPoint({300, 300}), above);  // the newer window lies on top
  EXPECT_EQ(WindowFromPoint({115, 115}), child);
  EXPECT_EQ(WindowFromPoint({900, 900}), NoWindow);
  ASSERT_TRUE(SetWindowPos(below, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE));
  EXPECT_EQ(WindowFromPoint({300, 300}), below);
  ShowWindow(below, false);
  EXPECT_EQ(WindowFromPoint({115, 115}), child);
  DestroyWindow(below);
  DestroyWindow(above);
}

TEST(WindowRegistry, TopmostWindowsStayAboveOthersWhateverComesLater) {
  const HWND popup = MakeWindow(NoWindow, NoWindow, TRect::FromSize(0, 0, 100, 40), false);
  ASSERT_TRUE(SetWindowPos(popup, HWND_TOPMOST, 30, 40, 104, 43, SWP_NOACTIVATE | SWP_SHOWWINDOW));
  TRect r;
  ASSERT_TRUE(GetWindowRect(popup, r));
  EXPECT_EQ(r, TRect::FromSize(30, 40, 104, 43));
  EXPECT_TRUE(IsWindowVisible(popup));
  EXPECT_TRUE(IsWindowTopmost(popup));
  const HWND later = MakeWindow(NoWindow, NoWindow, TRect::FromSize(0, 0, 800, 600));
  EXPECT_EQ(WindowFromPoint({50, 50}), popup);
  ASSERT_TRUE(SetWindowPos(later, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE));
  EXPECT_EQ(WindowFromPoint({50, 50}), popup);
  ASSERT_TRUE(SetWindowPos(popup, HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE));
  ASSERT_TRUE(SetWindowPos(popup, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE));
  EXPECT_EQ(WindowFromPoint({50, 50}), later);
  ASSERT_TRUE(SetWindowPos(popup, NoWindow, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_HIDEWINDOW));
  EXPECT_FALSE(IsWindowVisible(popup));
  EXPECT_FALSE(SetWindowPos(0x7FFFFFF0u, HWND_TOP, 0, 0, 0, 0, 0));
  DestroyWindow(popup);
  DestroyWindow(later);
}

TEST(WindowRegistry, ChildrenRestackAmongTheirSiblings) {
  const HWND top = MakeWindow(NoWindow, NoWindow, TRect::FromSize(0, 0, 100, 100));
  const HWND first = MakeWindow(top, NoWindow, TRect::FromSize(0, 0, 50, 50));
  const HWND second = MakeWindow(top, NoWindow, TRect::FromSize(0, 0, 50, 50));
  EXPECT_EQ(WindowFromPoint({5, 5}), second);
  SetWindowPos(second, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
  EXPECT_EQ(WindowFromPoint({5, 5}), first);
  SetWindowPos(first, second, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);  // just below second
  EXPECT_EQ(WindowFromPoint({5, 5}), second);
  DestroyWindow(top);
}

}  // namespace
}  // namespace qm::platform
