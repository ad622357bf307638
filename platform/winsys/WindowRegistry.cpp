#include "platform/winsys/WindowRegistry.h"

#include <algorithm>
#include <atomic>
#include <mutex>
#include <unordered_map>

#include "platform/rtl/Exception.h"

namespace qm::platform {
namespace {

struct WindowRecord {
  TWindowParams Params;
  uint32_t ThreadId = 0;
  std::vector<HWND> Children;
};

struct Registry {
  std::mutex Lock;
  std::unordered_map<HWND, WindowRecord> Windows;
  HWND NextHandle = 1;
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

void DestroyLocked(Registry& r, HWND hwnd) {
  WindowRecord* w = Find(r, hwnd);
  if (w == nullptr) return;
  const std::vector<HWND> children = w->Children;
  for (HWND child : children)
    DestroyLocked(r, child);
  std::vector<HWND> owned;
  for (const auto& [handle, record] : r.Windows) {
    if (record.Params.Owner == hwnd) owned.push_back(handle);
  }
  for (HWND o : owned)
    DestroyLocked(r, o);
  w = Find(r, hwnd);
  if (w == nullptr) return;
  if (WindowRecord* parent = Find(r, w->Params.Parent)) {
    auto& siblings = parent->Children;
    siblings.erase(std::remove(siblings.begin(), siblings.end(), hwnd), siblings.end());
  }
  r.Windows.erase(hwnd);
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
  if (WindowRecord* parent = Find(r, params.Parent)) parent->Children.push_back(hwnd);
  return hwnd;
}

bool DestroyWindow(HWND hwnd) {
  Registry& r = TheRegistry();
  std::lock_guard<std::mutex> lock(r.Lock);
  if (Find(r, hwnd) == nullptr) return false;
  DestroyLocked(r, hwnd);
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
