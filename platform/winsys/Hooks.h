// Thread message hooks: procedures that watch one thread's messages.
//
// A hook is installed for one thread and one kind; the thread's hooks of a
// kind form a chain, the one installed last called first. The system calls
// the first hook of the chain on the watched thread; each hook passes the
// call on with CallNextHookEx, which calls the next one and answers its
// result (0 past the end of the chain). Two kinds exist:
//
//   WH_GETMESSAGE (3)     when GetMessage or PeekMessage takes a message:
//                         code HC_ACTION, wParam PM_REMOVE or PM_NOREMOVE,
//                         lParam a TMsg* that the hook may change.
//   WH_CALLWNDPROCRET (12) after a window procedure has handled a sent
//                         message (SendMessage, SendNotifyMessage,
//                         WM_ACTIVATE from the host): code HC_ACTION,
//                         wParam 1, lParam a const TCwpRetStruct*.
//
// Only thread hooks exist: a hook names its thread; there are no
// system-wide hooks and no modules. As on the platform, CallNextHookEx
// continues the chain that is running on the calling thread whatever hook
// handle it is given (a null handle included); called outside a hook it
// answers 0. A hook removed while its chain runs is skipped from then on.
//
// Hooks of a thread end with the thread. Installing and removing work from
// any thread; hook procedures run on the watched thread with nothing
// locked.
#pragma once

#include <cstdint>
#include <functional>

#include "platform/winsys/Messages.h"

namespace qm::platform {

inline constexpr int WH_GETMESSAGE = 3;
inline constexpr int WH_CALLWNDPROCRET = 12;
inline constexpr int HC_ACTION = 0;

using HHOOK = uintptr_t;
inline constexpr HHOOK NoHook = 0;

using THookProc = std::function<LRESULT(int code, WPARAM wParam, LPARAM lParam)>;

// What WH_CALLWNDPROCRET hooks see.
struct TCwpRetStruct {
  LRESULT Result = 0;
  LPARAM LParam = 0;
  WPARAM WParam = 0;
  UINT Message = 0;
  HWND Window = NoWindow;
};

// Installs proc at the head of threadId's chain of kind idHook. module is
// accepted for the platform's signature and ignored. NoHook when the kind
// is not one of the two above, proc is empty or threadId is 0 (system-wide
// hooks don't exist here). Handles are never reused.
HHOOK SetWindowsHookExA(int idHook, THookProc proc, void* module, uint32_t threadId);
// False when hook is not installed (any more).
bool UnhookWindowsHookEx(HHOOK hook);
// See the top: continues the chain running on the calling thread.
LRESULT CallNextHookEx(HHOOK hook, int code, WPARAM wParam, LPARAM lParam);

// How many hooks of a kind the thread has (for tests and diagnostics).
int ThreadHookCount(uint32_t threadId, int idHook);

namespace detail {
// Runs the calling thread's chain of kind idHook; the messaging code's
// entry. Answers the first hook's result, 0 when there is no hook.
LRESULT RunThreadHooks(int idHook, int code, WPARAM wParam, LPARAM lParam);
// Forgets every hook of a thread (its queue is going away).
void DropThreadHooks(uint32_t threadId);
}  // namespace detail

}  // namespace qm::platform
