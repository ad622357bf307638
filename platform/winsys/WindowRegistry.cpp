#include "platform/winsys/WindowRegistry.h"

#include <algorithm>
#include <atomic>
#include <mutex>
#include <unordered_map>
#include <utility>

#include "platform/rtl/Exception.h"
#include "platform/winsys/Messages.h"

namespace qm::platform {
namespace {

struct WindowRecord {
  TWindowParams Params;
  uint32_t ThreadId = 0;
  std::vector<HWND> Children;  // bottom of the stack first
  bool Topmost = false;
  std::shared_ptr<const TWindowProc> Proc;
};

struct Registry {
  std::mutex Lock;
  std::unordered_map<HWND, WindowRecord> Windows;
  std::vector<HWND> TopLevels;  // the stack of top-level windows, top first
  // Above the values SetWindowPos gives a meaning.
  HWND NextHandle = 0x10;
  TRect Desktop{0, 0, 1024, 768};
  TPoint Cursor;
};

Registry& TheRegistry() {
  static Registry registry;
  return registry;
}

WindowRecord* Find(Registry& r, HWND hwnd) {
  if (hwnd == NoWindow) return nullptr;
  const auto it = r.Windows.find(hwnd);
  return it == r.Windows.end() ? nullptr : &it->second;
}

// The screen rectangle of a window: its own rectangle moved by the origins
// of its parents.
TRect ScreenRect(Registry& r, const WindowRecord& w) {
  TRect rect = w.Params.Rect;
  for (const WindowRecord* p = Find(r, w.Params.Parent); p != nullptr;
       p = Find(r, p->Params.Parent)) {
    rect = rect.Offset(p->Params.Rect.Left, p->Params.Rect.Top);
  }
  return rect;
}

using TDroppedProcs = std::vector<std::shared_ptr<const TWindowProc>>;

// Window procedures of destroyed windows are handed out to be let go after
// the lock is left (see SetWindowProc).
void DestroyLocked(Registry& r, HWND hwnd, TDroppedProcs& dropped) {
  WindowRecord* w = Find(r, hwnd);
  if (w == nullptr) return;
  const std::vector<HWND> children = w->Children;
  for (HWND child : children)
    DestroyLocked(r, child, dropped);
  std::vector<HWND> owned;
  for (const auto& [handle, record] : r.Windows) {
    if (record.Params.Owner == hwnd) owned.push_back(handle);
  }
  for (HWND o : owned)
    DestroyLocked(r, o, dropped);
  w = Find(r, hwnd);
  if (w == nullptr) return;
  dropped.push_back(std::move(w->Proc));
  if (WindowRecord* parent = Find(r, w->Params.Parent)) {
    auto& siblings = parent->Children;
    siblings.erase(std::remove(siblings.begin(), siblings.end(), hwnd), siblings.end());
  }
  r.TopLevels.erase(std::remove(r.TopLevels.begin(), r.TopLevels.end(), hwnd), r.TopLevels.end());
  r.Windows.erase(hwnd);
}

// Puts a top-level window into the stack: at the top of its band (topmost
// or not), at the bottom, or just below another window of the same band.
void StackTopLevel(Registry& r, HWND hwnd, HWND insertAfter) {
  auto& stack = r.TopLevels;
  stack.erase(std::remove(stack.begin(), stack.end(), hwnd), stack.end());
  WindowRecord& w = *Find(r, hwnd);
  if (insertAfter == HWND_TOPMOST) w.Topmost = true;
  if (insertAfter == HWND_NOTOPMOST) w.Topmost = false;
  const auto bandStart = [&] {
    if (w.Topmost) return stack.begin();
    return std::find_if(stack.begin(), stack.end(),
                        [&](HWND h) { return !Find(r, h)->Topmost; });
  };
  auto at = bandStart();
  if (insertAfter == HWND_BOTTOM) {
    at = w.Topmost ? std::find_if(stack.begin(), stack.end(),
                                  [&](HWND h) { return !Find(r, h)->Topmost; })
                   : stack.end();
  } else if (const WindowRecord* above = Find(r, insertAfter);
             above != nullptr && above->Params.Parent == NoWindow &&
             above->Topmost == w.Topmost) {
    at = std::find(stack.begin(), stack.end(), insertAfter) + 1;
  }
  stack.insert(at, hwnd);
}

void StackChild(WindowRecord& parent, HWND hwnd, HWND insertAfter) {
  auto& siblings = parent.Children;
  siblings.erase(std::remove(siblings.begin(), siblings.end(), hwnd), siblings.end());
  if (insertAfter == HWND_BOTTOM) {
    siblings.insert(siblings.begin(), hwnd);
    return;
  }
  const auto above = std::find(siblings.begin(), siblings.end(), insertAfter);
  siblings.insert(above == siblings.end() ? siblings.end() : above, hwnd);
}

// The deepest visible window at a screen point inside w (itself included),
// or NoWindow when the point is outside w.
HWND DeepestAt(Registry& r, HWND hwnd, TPoint point) {
  const WindowRecord* w = Find(r, hwnd);
  if (w == nullptr || !w->Params.Visible || !ScreenRect(r, *w).Contains(point)) return NoWindow;
  for (auto it = w->Children.rbegin(); it != w->Children.rend(); ++it) {
    if (const HWND inner = DeepestAt(r, *it, point); inner != NoWindow) return inner;
  }
  return hwnd;
}

// Runs f on the record of hwnd under the lock; answers fallback when hwnd
// is not a window.
template <class F, class R>
R WithWindow(HWND hwnd, R fallback, F f) {
  Registry& r = TheRegistry();
  std::lock_guard<std::mutex> lock(r.Lock);
  WindowRecord* w = Find(r, hwnd);
  if (w == nullptr) return fallback;
  return f(r, *w);
}

}  // namespace

uint32_t GetCurrentThreadId() noexcept {
  static std::atomic<uint32_t> next{1};
  thread_local const uint32_t id = next++;
  return id;
}

HWND CreateWindow(const TWindowParams& params) {
  // Messages for the window go to its thread's queue, so the thread has one
  // from now on.
  detail::EnsureMessageQueue();
  Registry& r = TheRegistry();
  std::lock_guard<std::mutex> lock(r.Lock);
  if ((params.Parent != NoWindow && Find(r, params.Parent) == nullptr) ||
      (params.Owner != NoWindow && Find(r, params.Owner) == nullptr)) {
    throw Exception(u"Invalid window handle");
  }
  const HWND hwnd = r.NextHandle++;
  WindowRecord record;
  record.Params = params;
  record.ThreadId = GetCurrentThreadId();
  r.Windows.emplace(hwnd, std::move(record));
  if (WindowRecord* parent = Find(r, params.Parent)) {
    parent->Children.push_back(hwnd);
  } else {
    StackTopLevel(r, hwnd, HWND_TOP);
  }
  return hwnd;
}

bool DestroyWindow(HWND hwnd) {
  TDroppedProcs dropped;
  Registry& r = TheRegistry();
  std::lock_guard<std::mutex> lock(r.Lock);
  if (Find(r, hwnd) == nullptr) return false;
  DestroyLocked(r, hwnd, dropped);
  return true;
}

bool IsWindow(HWND hwnd) {
  return WithWindow(hwnd, false, [](Registry&, WindowRecord&) { return true; });
}

bool GetWindowRect(HWND hwnd, TRect& rect) {
  return WithWindow(hwnd, false, [&](Registry& r, WindowRecord& w) {
    rect = ScreenRect(r, w);
    return true;
  });
}

bool MoveWindow(HWND hwnd, const TRect& rect) {
  return WithWindow(hwnd, false, [&](Registry&, WindowRecord& w) {
    w.Params.Rect = rect;
    return true;
  });
}

bool ShowWindow(HWND hwnd, bool visible) {
  return WithWindow(hwnd, false, [&](Registry&, WindowRecord& w) {
    w.Params.Visible = visible;
    return true;
  });
}

bool IsWindowVisible(HWND hwnd) {
  return WithWindow(hwnd, false, [](Registry& r, WindowRecord& w) {
    for (const WindowRecord* p = &w; p != nullptr; p = Find(r, p->Params.Parent)) {
      if (!p->Params.Visible) return false;
    }
    return true;
  });
}

std::u16string GetWindowText(HWND hwnd) {
  return WithWindow(hwnd, std::u16string(),
                    [](Registry&, WindowRecord& w) { return w.Params.Text; });
}

bool SetWindowText(HWND hwnd, std::u16string text) {
  return WithWindow(hwnd, false, [&](Registry&, WindowRecord& w) {
    w.Params.Text = std::move(text);
    return true;
  });
}

std::u16string GetClassName(HWND hwnd) {
  return WithWindow(hwnd, std::u16string(),
                    [](Registry&, WindowRecord& w) { return w.Params.ClassName; });
}

HWND GetParent(HWND hwnd) {
  return WithWindow(hwnd, NoWindow, [](Registry&, WindowRecord& w) { return w.Params.Parent; });
}

HWND GetOwner(HWND hwnd) {
  return WithWindow(hwnd, NoWindow, [](Registry&, WindowRecord& w) { return w.Params.Owner; });
}

HWND GetAncestor(HWND hwnd, TAncestor kind) {
  return WithWindow(hwnd, NoWindow, [&](Registry& r, WindowRecord& w) {
    if (kind == TAncestor::Parent) return w.Params.Parent;
    HWND root = hwnd;
    for (const WindowRecord* p = &w; p->Params.Parent != NoWindow;) {
      root = p->Params.Parent;
      p = Find(r, root);
      if (p == nullptr) break;
    }
    if (kind == TAncestor::RootOwner) {
      // Owners form a chain of top-level windows; it cannot loop, since an
      // owner must exist before the window it owns.
      for (const WindowRecord* p = Find(r, root); p != nullptr && p->Params.Owner != NoWindow;) {
        root = p->Params.Owner;
        p = Find(r, root);
      }
    }
    return root;
  });
}

std::vector<HWND> GetChildWindows(HWND hwnd) {
  return WithWindow(hwnd, std::vector<HWND>(),
                    [](Registry&, WindowRecord& w) { return w.Children; });
}

uint32_t GetWindowThreadId(HWND hwnd) {
  return WithWindow(hwnd, uint32_t{0}, [](Registry&, WindowRecord& w) { return w.ThreadId; });
}

bool SetWindowPos(HWND hwnd, HWND insertAfter, int32_t x, int32_t y, int32_t cx, int32_t cy,
                  uint32_t flags) {
  return WithWindow(hwnd, false, [&](Registry& r, WindowRecord& w) {
    TRect& rect = w.Params.Rect;
    if ((flags & SWP_NOMOVE) == 0) rect = rect.Offset(x - rect.Left, y - rect.Top);
    if ((flags & SWP_NOSIZE) == 0) rect = TRect::FromSize(rect.Left, rect.Top, cx, cy);
    if ((flags & SWP_NOZORDER) == 0 && insertAfter != hwnd) {
      if (WindowRecord* parent = Find(r, w.Params.Parent)) {
        StackChild(*parent, hwnd, insertAfter);
      } else {
        StackTopLevel(r, hwnd, insertAfter);
      }
    }
    if ((flags & SWP_SHOWWINDOW) != 0) w.Params.Visible = true;
    if ((flags & SWP_HIDEWINDOW) != 0) w.Params.Visible = false;
    return true;
  });
}

bool IsWindowTopmost(HWND hwnd) {
  return WithWindow(hwnd, false, [](Registry&, WindowRecord& w) { return w.Topmost; });
}

HWND WindowFromPoint(TPoint point) {
  Registry& r = TheRegistry();
  std::lock_guard<std::mutex> lock(r.Lock);
  for (const HWND top : r.TopLevels) {
    if (const HWND found = DeepestAt(r, top, point); found != NoWindow) return found;
  }
  return NoWindow;
}

TWindowProc SetWindowProc(HWND hwnd, TWindowProc proc) {
  auto next = proc ? std::make_shared<const TWindowProc>(std::move(proc)) : nullptr;
  std::shared_ptr<const TWindowProc> previous;
  WithWindow(hwnd, false, [&](Registry&, WindowRecord& w) {
    previous = std::exchange(w.Proc, std::move(next));
    return true;
  });
  // The old procedure may hold the last reference to an object whose
  // destruction asks the registry again: let it go outside the lock.
  return previous ? *previous : TWindowProc();
}

TWindowProc GetWindowProc(HWND hwnd) {
  const auto proc = detail::WindowProcOf(hwnd);
  return proc ? *proc : TWindowProc();
}

namespace detail {
std::shared_ptr<const TWindowProc> WindowProcOf(HWND hwnd) {
  return WithWindow(hwnd, std::shared_ptr<const TWindowProc>(),
                    [](Registry&, WindowRecord& w) { return w.Proc; });
}
}  // namespace detail

TRect GetDesktopRect() {
  Registry& r = TheRegistry();
  std::lock_guard<std::mutex> lock(r.Lock);
  return r.Desktop;
}

void SetDesktopRect(const TRect& rect) {
  Registry& r = TheRegistry();
  std::lock_guard<std::mutex> lock(r.Lock);
  r.Desktop = rect;
}

TPoint GetCursorPos() {
  Registry& r = TheRegistry();
  std::lock_guard<std::mutex> lock(r.Lock);
  return r.Cursor;
}

void SetCursorPos(TPoint point) {
  Registry& r = TheRegistry();
  std::lock_guard<std::mutex> lock(r.Lock);
  r.Cursor = point;
}

}  // namespace qm::platform
