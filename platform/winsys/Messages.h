// Messages: per-thread message queues, the message loop, window procedures
// and timers.
//
// Every thread that makes a window, or calls any function below that acts
// on "the calling thread", gets a message queue (made on first use, gone
// when the thread ends). A message is a window (or NoWindow for a thread
// message), a number and two parameters.
//
// Posting (PostMessageA, PostThreadMessage) queues a message for the
// thread of the window (or the named thread) and answers at once; any
// thread may post. The owning thread takes its messages with GetMessage
// (blocks) or PeekMessage (does not) and hands each to DispatchMessage,
// which calls the window's procedure. SendMessage calls the procedure at
// once, on the calling thread, which must be the window's thread;
// SendNotifyMessage does the same for a window of another thread by
// handing the call to that thread (it runs there when that thread next
// takes messages) and answers at once.
//
// What GetMessage and PeekMessage do, in this order, each time they look:
//   1. run the calls queued for the thread with PostThreadEvent
//      (platform/com/PendingEvents.h) and the sent-notify messages: the
//      message loop owns that queue's wakeup (SetPendingEventsWakeup) for
//      every thread that has a message queue, so manager events and engine
//      events run inside the window thread's loop;
//   2. the oldest posted message;
//   3. the quit message, once PostQuitMessage was called (or a WM_QUIT was
//      posted) and the posted messages are gone;
//   4. WM_TIMER of a timer that is due (wParam: the timer's id).
// A message taken passes the thread's WH_GETMESSAGE hooks (Hooks.h) before
// it is answered.
//
// Window procedures: a window starts with none (DefWindowProc answers 0);
// SetWindowProc replaces the procedure and answers the previous one, so
// that a subclasser passes on what it doesn't handle with CallWindowProc.
// A procedure may replace itself while it runs.
//
// Thread rules: Post*, SendNotifyMessage and the procedure functions work
// from any thread; GetMessage, PeekMessage, WaitMessage, the loop helpers,
// PostQuitMessage, SendMessage and the timers act on the calling thread.
// Nothing is held locked while a procedure, hook or queued call runs.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>

#include "platform/winsys/WindowRegistry.h"

namespace qm::platform {

using UINT = uint32_t;
using WPARAM = uintptr_t;
using LPARAM = intptr_t;
using LRESULT = intptr_t;

inline constexpr UINT WM_NULL = 0x0000;
inline constexpr UINT WM_DESTROY = 0x0002;
inline constexpr UINT WM_ACTIVATE = 0x0006;
inline constexpr UINT WM_SETFOCUS = 0x0007;
inline constexpr UINT WM_KILLFOCUS = 0x0008;
inline constexpr UINT WM_CLOSE = 0x0010;
inline constexpr UINT WM_QUIT = 0x0012;
inline constexpr UINT WM_TIMER = 0x0113;
inline constexpr UINT WM_USER = 0x0400;

// WM_ACTIVATE's wParam: low word the state, high word non-zero when the
// window is minimised; lParam: the window losing (or gaining) activation.
inline constexpr uint16_t WA_INACTIVE = 0;
inline constexpr uint16_t WA_ACTIVE = 1;
inline constexpr uint16_t WA_CLICKACTIVE = 2;

constexpr WPARAM MakeWParam(uint16_t low, uint16_t high) {
  return static_cast<WPARAM>(low) | (static_cast<WPARAM>(high) << 16);
}
constexpr uint16_t LoWord(WPARAM w) { return static_cast<uint16_t>(w & 0xFFFF); }
constexpr uint16_t HiWord(WPARAM w) { return static_cast<uint16_t>((w >> 16) & 0xFFFF); }

struct TMsg {
  HWND Window = NoWindow;
  UINT Message = WM_NULL;
  WPARAM WParam = 0;
  LPARAM LParam = 0;
};

using TWindowProc = std::function<LRESULT(HWND, UINT, WPARAM, LPARAM)>;

// Gives hwnd a new procedure (an empty one means DefWindowProc) and
// answers the previous one (empty when it had none, or hwnd is not a
// window; then nothing is stored).
TWindowProc SetWindowProc(HWND hwnd, TWindowProc proc);
TWindowProc GetWindowProc(HWND hwnd);
// Calls proc (DefWindowProc when it is empty).
LRESULT CallWindowProc(const TWindowProc& proc, HWND hwnd, UINT message, WPARAM wParam,
                       LPARAM lParam);
// The default handling: nothing, answers 0.
LRESULT DefWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

// Queues a message for the thread of hwnd (NoWindow: the calling thread's
// own queue, as a thread message). False when hwnd is not a window or its
// thread has no queue any more.
bool PostMessageA(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
// Queues a thread message (Window NoWindow) for the thread with that
// identifier (GetCurrentThreadId). False when that thread has no queue.
// Posting WM_QUIT ends that thread's GetMessage loop like PostQuitMessage.
bool PostThreadMessage(uint32_t threadId, UINT message, WPARAM wParam, LPARAM lParam);
// Asks the calling thread's loop to end: GetMessage answers false (with
// WM_QUIT, wParam exitCode) once the posted messages are taken.
void PostQuitMessage(int exitCode);

// Takes the next message of the calling thread as described at the top,
// waiting as long as it takes. Answers false when the message is WM_QUIT.
bool GetMessage(TMsg& msg);
inline constexpr UINT PM_NOREMOVE = 0;
inline constexpr UINT PM_REMOVE = 1;
// As GetMessage without waiting: false when there is no message. With
// PM_NOREMOVE the message stays queued (a due timer stays due).
bool PeekMessage(TMsg& msg, UINT removeFlag = PM_REMOVE);
// Waits until the calling thread has something for GetMessage (a posted
// message, the quit message, a due timer, a queued call) or timeout
// passes; answers whether there is something. Runs nothing.
bool WaitMessage(std::chrono::milliseconds timeout);
// Calls the procedure of msg.Window; 0 for a thread message or a window
// that is gone.
LRESULT DispatchMessage(const TMsg& msg);

// Calls the procedure of hwnd now, then the calling thread's
// WH_CALLWNDPROCRET hooks with the result. hwnd must belong to the calling
// thread (raises Exception "SendMessage to a window of another thread"
// otherwise); 0 when hwnd is not a window.
LRESULT SendMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
// SendMessage on the window's own thread: at once when that is the calling
// thread, else queued there and run when that thread next looks for
// messages. False when hwnd is not a window or its thread is gone.
bool SendNotifyMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

// The calling thread's loop: GetMessage and DispatchMessage until WM_QUIT;
// answers the quit message's exit code. onIdle (when set) runs whenever
// the queue has run dry, before the loop waits.
int RunMessageLoop(const std::function<void()>& onIdle = {});
// Takes and dispatches the calling thread's messages until done() answers
// true or timeout passes (checked after each message and each wakeup);
// answers done(). Meant for tests and for waiting on one's own thread
// without blocking its windows. A WM_QUIT taken meanwhile is put back
// (PostQuitMessage) and ends the wait.
bool PumpMessagesUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout);
// Dispatches what is there now, without waiting; answers how many messages
// were dispatched (queued calls are run as well but not counted).
int PumpWaitingMessages();

// Timers: WM_TIMER for hwnd (a window of the calling thread) with wParam
// id, every interval (at least 1 ms), generated when the queue has no
// posted message. Setting an existing (hwnd, id) restarts it. Answers id,
// or 0 when hwnd is not a window of the calling thread or id is 0.
uintptr_t SetTimer(HWND hwnd, uintptr_t id, std::chrono::milliseconds interval);
// False when there is no such timer. A timer of a destroyed window goes
// with it.
bool KillTimer(HWND hwnd, uintptr_t id);

// Activation, as the host tells it: sends WM_ACTIVATE to hwnd on its own
// thread (SendNotifyMessage) with wParam MakeWParam(state, minimized) and
// lParam other (the window on the other side of the change). False when
// hwnd is not a window.
bool SendActivation(HWND hwnd, uint16_t state, bool minimized, HWND other = NoWindow);
// Makes hwnd the active top-level window: the window active before (if
// any, and still a window) gets WA_INACTIVE, then hwnd gets WA_ACTIVE,
// each naming the other. Activating the active window again sends nothing.
// NoWindow deactivates the active window. False when hwnd is not a window.
bool ActivateWindow(HWND hwnd);
HWND GetActiveWindow();

// Keyboard focus, per thread: sends WM_KILLFOCUS (wParam the new window)
// to the window that had it and WM_SETFOCUS (wParam the old one) to hwnd.
// hwnd must be a window of the calling thread, or NoWindow (nobody has the
// focus); answers the window that had the focus, NoWindow when it fails.
HWND SetFocus(HWND hwnd);
// The calling thread's focus window.
HWND GetFocus();

namespace detail {
// Gives the calling thread its message queue now (CreateWindow does).
void EnsureMessageQueue();
// The procedure of hwnd without copying it; null for none.
std::shared_ptr<const TWindowProc> WindowProcOf(HWND hwnd);
}  // namespace detail

}  // namespace qm::platform
