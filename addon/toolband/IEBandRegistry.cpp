#include "addon/toolband/IEBandRegistry.h"

#include "addon/toolband/IEBandForm.h"
#include "core/Common/LocationCodes.h"
#include "core/Common/VxSystem.h"
#include "platform/winsys/Hooks.h"

namespace qm {
namespace {

using platform::HWND;
using platform::UINT;

// After a window procedure of a hooked thread returned.
LRESULT ActivationHookProc(int code, WPARAM wParam, LPARAM lParam) {
  Swallowed([&] {
    Reported(loc::ActivationHookProc, [&] {
      if (code != platform::HC_ACTION) return;
      const auto& done = *reinterpret_cast<const platform::TCwpRetStruct*>(lParam);
      if (done.Message == platform::WM_ACTIVATE) {
        ProcessIEBands().ActivationNotice(done.Window, done.WParam);
      }
    });
  });
  LRESULT result = 0;
  Swallowed([&] { result = ActivationHooks().CallNext(code, wParam, lParam); });
  return result;
}

// When a hooked thread takes a message.
LRESULT MessageHookProc(int code, WPARAM wParam, LPARAM lParam) {
  Swallowed([&] {
    if (code != platform::HC_ACTION) return;
    const auto& msg = *reinterpret_cast<const platform::TMsg*>(lParam);
    if (msg.Message == WM_BANDBROADCAST) {
      ProcessIEBands().Broadcast(msg.Window, msg.WParam, msg.LParam);
    }
  });
  LRESULT result = 0;
  Swallowed([&] { result = MessageHooks().CallNext(code, wParam, lParam); });
  return result;
}

}  // namespace

// --- TThreadIEBands ---

int TThreadIEBands::IndexOf(const TIEBandForm& form) const {
  return Reported(loc::BandThreadEntry4, [&] {
    for (int i = 0; i < Items.Count(); ++i) {
      if (Items[i].Form == &form) return i;
    }
    return -1;
  });
}

void TThreadIEBands::Add(TIEBandForm& form) {
  Reported(loc::BandThreadEntry2, [&] {
    Remove(form);
    Items.Add(TIEBandItem{&form});
  });
}

void TThreadIEBands::Remove(const TIEBandForm& form) {
  Reported(loc::BandThreadEntry3, [&] {
    if (const int index = IndexOf(form); index >= 0) Items.Delete(index);
  });
}

void TThreadIEBands::PostToAll(UINT message, WPARAM wParam, LPARAM lParam) const {
  Reported(loc::BandThreadEntry5, [&] {
    for (const TIEBandItem& item : Items)
      platform::PostMessageA(item.Form->Handle(), message, wParam, lParam);
  });
}

// --- TProcessIEBands ---

int TProcessIEBands::FindThread() const {
  return Reported(loc::BandRegistry5, [&] {
    const uint32_t me = platform::GetCurrentThreadId();
    for (int i = 0; i < threads_.Count(); ++i) {
      if (threads_[i].ThreadID == me) return i;
    }
    return -1;
  });
}

void TProcessIEBands::Register(TIEBandForm& form, HWND parentWindow) {
  Reported(loc::BandRegistry1, [&] {
    std::lock_guard lock(lock_);
    int index = FindThread();
    if (index < 0) {
      Reported(loc::BandThreadEntry1, [&] {
        TThreadIEBands entry;
        entry.ThreadID = platform::GetCurrentThreadId();
        entry.RootWindow = platform::GetAncestor(parentWindow, platform::TAncestor::Root);
        threads_.Add(std::move(entry));
      });
      index = threads_.Count() - 1;
    }
    threads_[index].Add(form);
    ActivationHooks().Acquire();
    MessageHooks().Acquire();
  });
}

void TProcessIEBands::Unregister(const TIEBandForm& form) {
  Reported(loc::BandRegistry2, [&] {
    std::lock_guard lock(lock_);
    const int index = FindThread();
    // Only a form that was entered gives its hooks back: a form whose
    // creation failed before it was entered must not take the hooks of the
    // thread's other bands with it.
    if (index < 0 || threads_[index].IndexOf(form) < 0) return;
    TThreadIEBands& entry = threads_[index];
    entry.Remove(form);
    if (entry.Items.Empty()) {
      Reported(loc::BandThreadEntry6, [&] { threads_.Delete(index); });
    }
    MessageHooks().Release();
    ActivationHooks().Release();
  });
}

void TProcessIEBands::ActivationNotice(HWND window, WPARAM wParam) {
  Reported(loc::BandRegistry3, [&] {
    const bool active = platform::LoWord(wParam) != platform::WA_INACTIVE;
    if (active && platform::HiWord(wParam) != 0) return;  // minimised
    std::lock_guard lock(lock_);
    const int index = FindThread();
    if (index < 0 || threads_[index].RootWindow != window) return;
    Reported(loc::BandActivationPost, [&] {
      threads_[index].PostToAll(WM_BANDACTIVATION, 0, active ? 1 : 0);
    });
  });
}

void TProcessIEBands::Broadcast(HWND window, WPARAM wParam, LPARAM lParam) {
  Reported(loc::BandRegistry4, [&] {
    std::lock_guard lock(lock_);
    const int index = FindThread();
    if (index < 0 || threads_[index].RootWindow != window) return;
    threads_[index].PostToAll(WM_BANDBROADCAST, wParam, lParam);
  });
}

int TProcessIEBands::ThreadCount() const {
  std::lock_guard lock(lock_);
  return threads_.Count();
}

int TProcessIEBands::FormCount() const {
  std::lock_guard lock(lock_);
  const int index = FindThread();
  return index < 0 ? 0 : threads_[index].Items.Count();
}

HWND TProcessIEBands::RootWindow() const {
  std::lock_guard lock(lock_);
  const int index = FindThread();
  return index < 0 ? platform::NoWindow : threads_[index].RootWindow;
}

TProcessIEBands& ProcessIEBands() {
  static TProcessIEBands registry;
  return registry;
}

THookManager& ActivationHooks() {
  static THookManager manager(platform::WH_CALLWNDPROCRET, ActivationHookProc);
  return manager;
}

THookManager& MessageHooks() {
  static THookManager manager(platform::WH_GETMESSAGE, MessageHookProc);
  return manager;
}

}  // namespace qm
