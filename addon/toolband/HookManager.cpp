#include "addon/toolband/HookManager.h"

#include <limits>

#include "core/Common/LocationCodes.h"
#include "core/Common/VxSystem.h"

namespace qm {

TThreadHookData::TThreadHookData(int hookType, const platform::THookProc& proc, uint32_t threadId) {
  Reported(loc::ThreadHookCreate, [&] {
    ThreadID = threadId;
    Hook = platform::SetWindowsHookExA(hookType, proc, nullptr, threadId);
  });
}

void TThreadHookData::IncUse() {
  Reported(loc::ThreadHookCountOverflow, [&] {
    if (UseCount == std::numeric_limits<int32_t>::max()) throw Exception(u"Hook use count overflow");
    ++UseCount;
  });
}

void TThreadHookData::DecUse() {
  Reported(loc::ThreadHookCountUnderflow, [&] {
    if (UseCount <= 0) throw Exception(u"Hook use count underflow");
    --UseCount;
  });
}

THookManager::THookManager(int hookType, platform::THookProc hookProc)
    : hookType_(hookType), hookProc_(std::move(hookProc)) {
  Reported(loc::HookManagerCreate, [&] {
    if (!hookProc_) throw Exception(u"A hook manager needs a hook procedure");
  });
}

THookManager::~THookManager() {
  Swallowed([&] {
    Reported(loc::HookManagerDestroy, [&] {
      std::lock_guard lock(lock_);
      for (const TThreadHookData& entry : threads_)
        platform::UnhookWindowsHookEx(entry.Hook);
      threads_.Clear();
    });
  });
}

int THookManager::FindThread() const {
  const uint32_t me = platform::GetCurrentThreadId();
  for (int i = 0; i < threads_.Count(); ++i) {
    if (threads_[i].ThreadID == me) return i;
  }
  return -1;
}

int THookManager::Acquire() {
  return Reported(loc::HookAcquire, [&] {
    std::lock_guard lock(lock_);
    int index = FindThread();
    if (index < 0) {
      threads_.Add(TThreadHookData(hookType_, hookProc_, platform::GetCurrentThreadId()));
      index = threads_.Count() - 1;
    }
    threads_[index].IncUse();
    return 0;
  });
}

int THookManager::Release() {
  return Reported(loc::HookRelease, [&] {
    std::lock_guard lock(lock_);
    const int index = FindThread();
    if (index < 0) return 0;
    TThreadHookData& entry = threads_[index];
    entry.DecUse();
    if (entry.UseCount == 0) {
      platform::UnhookWindowsHookEx(entry.Hook);
      threads_.Delete(index);
    }
    return 0;
  });
}

LRESULT THookManager::CallNext(int code, WPARAM wParam, LPARAM lParam) {
  return Reported(loc::HookCallNext, [&]() -> LRESULT {
    HHOOK hook;
    {
      std::lock_guard lock(lock_);
      const int index = FindThread();
      if (index < 0) return 0;
      hook = threads_[index].Hook;
    }
    return platform::CallNextHookEx(hook, code, wParam, lParam);
  });
}

int32_t THookManager::UseCount() const {
  std::lock_guard lock(lock_);
  const int index = FindThread();
  return index < 0 ? 0 : threads_[index].UseCount;
}

int THookManager::ThreadCount() const {
  std::lock_guard lock(lock_);
  return threads_.Count();
}

}  // namespace qm
