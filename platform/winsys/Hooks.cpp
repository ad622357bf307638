#include "platform/winsys/Hooks.h"

#include <algorithm>
#include <atomic>
#include <map>
#include <memory>
#include <mutex>
#include <utility>
#include <vector>

namespace qm::platform {
namespace {

struct THookRecord {
  HHOOK Handle = NoHook;
  uint32_t ThreadId = 0;
  int Kind = 0;
  THookProc Proc;
  std::atomic<bool> Removed{false};
};
using THookRef = std::shared_ptr<THookRecord>;

struct THookTable {
  std::mutex Lock;
  // (thread, kind) -> chain, head first.
  std::map<std::pair<uint32_t, int>, std::vector<THookRef>> Chains;
  HHOOK NextHandle = 1;
};

THookTable& Table() {
  static THookTable table;
  return table;
}

bool KnownKind(int kind) {
  return kind == WH_GETMESSAGE || kind == WH_CALLWNDPROCRET;
}

// The chain running on this thread: a snapshot taken when it started and
// the position of the hook being called. Frames nest when a hook sends a
// message that runs hooks again.
struct TChainFrame {
  std::vector<THookRef> Chain;
  size_t Position = 0;
};
thread_local std::vector<TChainFrame*> runningChains;

// Calls the first live hook of frame at or after its position.
LRESULT CallFrom(TChainFrame& frame, int code, WPARAM wParam, LPARAM lParam) {
  while (frame.Position < frame.Chain.size() && frame.Chain[frame.Position]->Removed)
    ++frame.Position;
  if (frame.Position >= frame.Chain.size()) return 0;
  const THookRef hook = frame.Chain[frame.Position];
  return hook->Proc(code, wParam, lParam);
}

}  // namespace

HHOOK SetWindowsHookExA(int idHook, THookProc proc, void* /*module*/, uint32_t threadId) {
  if (!KnownKind(idHook) || !proc || threadId == 0) return NoHook;
  auto record = std::make_shared<THookRecord>();
  record->ThreadId = threadId;
  record->Kind = idHook;
  record->Proc = std::move(proc);
  THookTable& t = Table();
  std::lock_guard lock(t.Lock);
  record->Handle = t.NextHandle++;
  auto& chain = t.Chains[{threadId, idHook}];
  chain.insert(chain.begin(), record);
  return record->Handle;
}

bool UnhookWindowsHookEx(HHOOK hook) {
  if (hook == NoHook) return false;
  THookTable& t = Table();
  std::lock_guard lock(t.Lock);
  for (auto it = t.Chains.begin(); it != t.Chains.end(); ++it) {
    auto& chain = it->second;
    const auto found = std::find_if(chain.begin(), chain.end(),
                                    [&](const THookRef& h) { return h->Handle == hook; });
    if (found == chain.end()) continue;
    (*found)->Removed = true;
    chain.erase(found);
    if (chain.empty()) t.Chains.erase(it);
    return true;
  }
  return false;
}

LRESULT CallNextHookEx(HHOOK /*hook*/, int code, WPARAM wParam, LPARAM lParam) {
  if (runningChains.empty()) return 0;
  TChainFrame& frame = *runningChains.back();
  ++frame.Position;
  return CallFrom(frame, code, wParam, lParam);
}

int ThreadHookCount(uint32_t threadId, int idHook) {
  THookTable& t = Table();
  std::lock_guard lock(t.Lock);
  const auto it = t.Chains.find({threadId, idHook});
  return it == t.Chains.end() ? 0 : static_cast<int>(it->second.size());
}

namespace detail {

LRESULT RunThreadHooks(int idHook, int code, WPARAM wParam, LPARAM lParam) {
  TChainFrame frame;
  {
    THookTable& t = Table();
    std::lock_guard lock(t.Lock);
    const auto it = t.Chains.find({GetCurrentThreadId(), idHook});
    if (it == t.Chains.end()) return 0;
    frame.Chain = it->second;
  }
  runningChains.push_back(&frame);
  struct TPop {
    ~TPop() { runningChains.pop_back(); }
  } pop;
  // A hook that fails must not take the thread's message loop with it; the
  // message goes on as if the hook had passed it on.
  try {
    return CallFrom(frame, code, wParam, lParam);
  } catch (...) {
    return 0;
  }
}

void DropThreadHooks(uint32_t threadId) {
  THookTable& t = Table();
  std::lock_guard lock(t.Lock);
  for (auto it = t.Chains.begin(); it != t.Chains.end();) {
    if (it->first.first != threadId) {
      ++it;
      continue;
    }
    for (const THookRef& h : it->second)
      h->Removed = true;
    it = t.Chains.erase(it);
  }
}

}  // namespace detail
}  // namespace qm::platform
