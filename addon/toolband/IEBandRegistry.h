// The process-wide registry of band forms, by thread, and the two thread
// hooks through which band forms hear their browser window's activation.
//
// Each thread with band forms has one entry (TThreadIEBands): its thread,
// the top-level window of its browser (RootWindow) and its forms
// (TIEBandItem). While a thread has band forms, both hook managers hold a
// hook for it: the activation hook sees every WM_ACTIVATE a window of the
// thread has handled, the message hook every message 0x501 the thread
// takes. When the message's window is the entry's RootWindow, each form of
// the entry gets a posted message: WM_USER (lParam 1 active, 0 inactive)
// for an activation that is not a minimising one, and the 0x501 message
// itself for a broadcast. Forms hear them on their own thread, from its
// message loop (TIEBandForm raises OnActivation and OnBroadcast).
//
// Thread safety: one lock guards the registry; every operation works on the
// calling thread's entry only, so a thread posts to its own forms only.
// The registry and both hook managers exist for the process's life (made
// on first use). Failures are reported with the operation's location code
// and raised again; the hook procedures never let one out.
#pragma once

#include <cstdint>
#include <mutex>

#include "addon/toolband/HookManager.h"
#include "core/Common/OwnedCollection.h"
#include "platform/winsys/Messages.h"

namespace qm {

class TIEBandForm;

// The message a band form gets for its browser window's activation, and the
// message that is passed on to every band form of a thread.
inline constexpr platform::UINT WM_BANDACTIVATION = platform::WM_USER;
inline constexpr platform::UINT WM_BANDBROADCAST = platform::WM_USER + 0x101;

class TIEBandItem {
public:
  TIEBandForm* Form = nullptr;
};

class TThreadIEBands {
public:
  uint32_t ThreadID = 0;
  platform::HWND RootWindow = platform::NoWindow;
  TOwnedCollection<TIEBandItem> Items;

  // The item of form; -1 when it has none.
  int IndexOf(const TIEBandForm& form) const;
  // Appends form, taking it out first when it is there already.
  void Add(TIEBandForm& form);
  void Remove(const TIEBandForm& form);
  // Posts the message to every form's window.
  void PostToAll(platform::UINT message, platform::WPARAM wParam, platform::LPARAM lParam) const;
};

class TProcessIEBands {
public:
  // Enters form for the calling thread (its browser's top-level window is
  // the root of parentWindow) and acquires both thread hooks.
  void Register(TIEBandForm& form, platform::HWND parentWindow);
  // Takes form out, drops an entry left empty, and releases both hooks
  // (the message hook first); nothing for a form that is not entered.
  void Unregister(const TIEBandForm& form);
  // WM_ACTIVATE handled by window with this wParam: posts WM_BANDACTIVATION
  // to the calling thread's forms when window is their root. Activations of
  // a minimised window (high word set) are not passed on; deactivations
  // always are.
  void ActivationNotice(platform::HWND window, platform::WPARAM wParam);
  // 0x501 taken for window: passed on to the calling thread's forms when
  // window is their root.
  void Broadcast(platform::HWND window, platform::WPARAM wParam, platform::LPARAM lParam);

  // For tests and diagnostics: the number of thread entries, and the
  // calling thread's forms and root window.
  int ThreadCount() const;
  int FormCount() const;
  platform::HWND RootWindow() const;

private:
  // The calling thread's entry index, -1 when none; under lock_.
  int FindThread() const;

  TOwnedCollection<TThreadIEBands> threads_;
  mutable std::mutex lock_;
};

TProcessIEBands& ProcessIEBands();
// The hook manager of WH_CALLWNDPROCRET (activation) and of WH_GETMESSAGE
// (broadcast).
THookManager& ActivationHooks();
THookManager& MessageHooks();

}  // namespace qm
