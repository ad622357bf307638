// THookManager: one kind of thread message hook, installed once per thread
// for as long as some code of that thread wants it.
//
// Band forms must hear messages of their browser's top-level window that
// they never receive themselves. Several band forms may live on one thread
// and several threads in one process, and a thread's hook must exist
// exactly while at least one band form of that thread wants it. A manager
// owns one hook kind and its procedure and keeps one TThreadHookData per
// thread that acquired it: the installed hook and a use count. Acquire
// installs the hook for the calling thread on first use; Release removes
// it when the count drops to 0.
//
// Thread safety: every operation acts on the calling thread's entry under
// the manager's one lock. CallNext holds the lock only to look up the
// handle and passes the call on after leaving it, so a hook procedure may
// run code that takes other locks. Hook procedures run on the hooked
// thread; Acquire and Release on the band forms' threads.
//
// Failures are reported with the operation's location code and raised
// again. A hook the platform refuses is stored as no hook and not
// reported; CallNext then passes the null handle on.
#pragma once

#include <cstdint>
#include <mutex>

#include "core/Common/OwnedCollection.h"
#include "platform/winsys/Hooks.h"

namespace qm {

using platform::HHOOK;
using platform::LPARAM;
using platform::LRESULT;
using platform::WPARAM;

class TThreadHookData {
public:
  TThreadHookData() = default;
  // Installs the hook for threadId (code 115).
  TThreadHookData(int hookType, const platform::THookProc& proc, uint32_t threadId);

  uint32_t ThreadID = 0;
  HHOOK Hook = platform::NoHook;
  int32_t UseCount = 0;

  // One more user; raises when the count would overflow (code 114).
  void IncUse();
  // One user fewer; raises when the count would go below 0 (code 116).
  void DecUse();
};

class THookManager {
public:
  // Code 110.
  THookManager(int hookType, platform::THookProc hookProc);
  // Removes the hook of every thread still listed (code 111).
  ~THookManager();
  THookManager(const THookManager&) = delete;
  THookManager& operator=(const THookManager&) = delete;

  int HookType() const noexcept { return hookType_; }
  // Installs the hook for the calling thread unless it has one, and counts
  // one more use. Answers 0 (code 112).
  int Acquire();
  // Counts one use fewer for the calling thread and removes its hook at 0.
  // A thread that never acquired answers 0 and nothing changes (code 113).
  int Release();
  // Passes a hook call on to the next hook of the calling thread's chain;
  // 0 without calling anything when the thread has no entry (code 109).
  LRESULT CallNext(int code, WPARAM wParam, LPARAM lParam);

  // The calling thread's use count, 0 without an entry; and the number of
  // threads with an entry.
  int32_t UseCount() const;
  int ThreadCount() const;

private:
  // The calling thread's entry index, -1 when none; under lock_.
  int FindThread() const;

  const int hookType_;
  const platform::THookProc hookProc_;
  TOwnedCollection<TThreadHookData> threads_;
  mutable std::mutex lock_;
};

}  // namespace qm
