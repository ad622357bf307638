// The window registry: every window of the process, known by its handle.
//
// A window here is a record, not a picture: a handle, the thread that
// created it, a parent (for child windows) or an owner (for top-level
// windows such as dialogs owned by a browser window), a rectangle, a
// visibility flag, a class name and a text. Forms of the user-interface
// toolkit (platform/ui) register one window each; the browser host
// registers its browser windows. Code that only has a handle asks the
// registry for the rest (GetWindowRect, GetAncestor, ...), the way the
// add-on asks the platform about the browser's window.
//
// Handles are 32-bit numbers handed out in increasing order and never
// reused while the process runs, so a stale handle finds nothing instead of
// somebody else's window. NoWindow (0) is "no window" everywhere; the
// small numbers and the top ones are never handles (SetWindowPos uses them
// as places in the stacking order).
//
// Stacking: top-level windows are stacked, the topmost ones above all
// others; a new window goes on top of its band, a new child on top of its
// siblings. WindowFromPoint looks through the stack.
//
// Every window remembers the thread that created it (WindowThreadId):
// per-thread message queues, posted messages, thread message hooks and
// timers attach to that identity, so a message for a window goes to the
// queue of its thread.
//
// The registry is process-wide and guarded by one lock: any thread may ask
// about any window. It hands out copies, never references into itself.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace qm::platform {

using HWND = uint32_t;
inline constexpr HWND NoWindow = 0;

struct TPoint {
  int32_t X = 0;
  int32_t Y = 0;
  friend bool operator==(const TPoint&, const TPoint&) = default;
};

struct TRect {
  int32_t Left = 0;
  int32_t Top = 0;
  int32_t Right = 0;
  int32_t Bottom = 0;

  static TRect FromSize(int32_t left, int32_t top, int32_t width, int32_t height) {
    return {left, top, left + width, top + height};
  }
  int32_t Width() const noexcept { return Right - Left; }
  int32_t Height() const noexcept { return Bottom - Top; }
  bool Contains(TPoint p) const noexcept {
    return p.X >= Left && p.X < Right && p.Y >= Top && p.Y < Bottom;
  }
  TRect Offset(int32_t dx, int32_t dy) const noexcept {
    return {Left + dx, Top + dy, Right + dx, Bottom + dy};
  }
  friend bool operator==(const TRect&, const TRect&) = default;
};

// A small number naming the calling thread, given out on first use and
// stable for the thread's life (the platform's 32-bit thread identifier).
uint32_t GetCurrentThreadId() noexcept;

struct TWindowParams {
  std::u16string ClassName;
  std::u16string Text;
  HWND Parent = NoWindow;  // a child window lives inside its parent
  HWND Owner = NoWindow;   // a top-level window may be owned by another
  TRect Rect;              // in the parent's coordinates, or the screen's
  bool Visible = false;
};

// Registers a window for the calling thread. A parent or owner that is not
// a window raises Exception "Invalid window handle".
HWND CreateWindow(const TWindowParams& params);
// Removes the window, its children and the windows it owns; false when
// hwnd is not a window.
bool DestroyWindow(HWND hwnd);
bool IsWindow(HWND hwnd);

// The rectangle in screen coordinates; false (rect untouched) when hwnd is
// not a window.
bool GetWindowRect(HWND hwnd, TRect& rect);
// Moves a window: rect is in the parent's coordinates for a child window,
// in screen coordinates for a top-level one.
bool MoveWindow(HWND hwnd, const TRect& rect);
bool ShowWindow(HWND hwnd, bool visible);
// The window and all its parents are visible.
bool IsWindowVisible(HWND hwnd);
std::u16string GetWindowText(HWND hwnd);
bool SetWindowText(HWND hwnd, std::u16string text);
std::u16string GetClassName(HWND hwnd);

// NoWindow for a top-level window or a handle that is not a window.
HWND GetParent(HWND hwnd);
HWND GetOwner(HWND hwnd);
enum class TAncestor { Parent = 1, Root = 2, RootOwner = 3 };
// Parent: the parent; Root: the top-level window reached through parents;
// RootOwner: Root, then followed through owners. NoWindow when hwnd is not
// a window (and for Parent of a top-level window).
HWND GetAncestor(HWND hwnd, TAncestor kind);
// The children in creation order.
std::vector<HWND> GetChildWindows(HWND hwnd);
// 0 when hwnd is not a window.
uint32_t GetWindowThreadId(HWND hwnd);

// Where SetWindowPos puts a window in the stack (or a window handle: just
// below that window).
inline constexpr HWND HWND_TOP = 0;
inline constexpr HWND HWND_BOTTOM = 1;
inline constexpr HWND HWND_TOPMOST = 0xFFFFFFFFu;
inline constexpr HWND HWND_NOTOPMOST = 0xFFFFFFFEu;
inline constexpr uint32_t SWP_NOSIZE = 0x0001;
inline constexpr uint32_t SWP_NOMOVE = 0x0002;
inline constexpr uint32_t SWP_NOZORDER = 0x0004;
inline constexpr uint32_t SWP_NOACTIVATE = 0x0010;
inline constexpr uint32_t SWP_SHOWWINDOW = 0x0040;
inline constexpr uint32_t SWP_HIDEWINDOW = 0x0080;

// Moves, sizes, restacks, shows or hides a window in one step, as flags
// say (x, y in the parent's coordinates, or the screen's). HWND_TOPMOST
// and HWND_NOTOPMOST apply to top-level windows; a child is only moved
// among its siblings. Never activates a window (activation is the host's:
// ActivateWindow in Messages.h), so SWP_NOACTIVATE changes nothing. False
// when hwnd is not a window.
bool SetWindowPos(HWND hwnd, HWND insertAfter, int32_t x, int32_t y, int32_t cx, int32_t cy,
                  uint32_t flags);
bool IsWindowTopmost(HWND hwnd);
// The deepest visible window under a screen point, looking from the top of
// the stack down; NoWindow over the bare desktop.
HWND WindowFromPoint(TPoint point);

// The desktop's work area (default 0, 0, 1024, 768); hosts and tests set it.
TRect GetDesktopRect();
void SetDesktopRect(const TRect& rect);
// The pointer position in screen coordinates.
TPoint GetCursorPos();
void SetCursorPos(TPoint point);

}  // namespace qm::platform
