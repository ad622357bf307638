#include "platform/com/ConnectionPoints.h"

#include <algorithm>
#include <mutex>

#include "platform/com/PendingEvents.h"

namespace qm::platform {

struct TConnectionPoint::State {
  struct Connection {
    uint32_t Cookie;
    ComPtr<IDispatch> Sink;
    ThreadEventTarget Thread;
  };

  explicit State(const IID& iid) : Iid(iid) {}

  // The sink behind cookie, or empty when it is no longer connected.
  ComPtr<IDispatch> SinkOf(uint32_t cookie) const {
    std::lock_guard lock(Lock);
    for (const Connection& c : Connections) {
      if (c.Cookie == cookie) return c.Sink;
    }
    return {};
  }

  const IID Iid;
  mutable std::mutex Lock;
  std::vector<Connection> Connections;
  uint32_t NextCookie = 1;
};

namespace {

// A sink's misbehaviour must not reach the source that fires.
void InvokeQuietly(IDispatch& sink, DISPID id, const DispParams& params) noexcept {
  try {
    (void)sink.Invoke(id, DISPATCH_METHOD, params, nullptr);
  } catch (...) {
  }
}

}  // namespace

TConnectionPoint::TConnectionPoint(const IID& iid) : state_(std::make_shared<State>(iid)) {}

TConnectionPoint::~TConnectionPoint() = default;

HRESULT TConnectionPoint::GetConnectionInterface(IID& iid) {
  iid = state_->Iid;
  return S_OK;
}

HRESULT TConnectionPoint::Advise(IUnknown* sink, uint32_t& cookie) {
  cookie = 0;
  if (sink == nullptr) return E_POINTER;
  void* answer = nullptr;
  if (Failed(sink->QueryInterface(state_->Iid, &answer)) || answer == nullptr) {
    return CONNECT_E_CANNOTCONNECT;
  }
  auto dispatch = ComPtr<IDispatch>::Adopt(static_cast<IDispatch*>(answer));
  std::lock_guard lock(state_->Lock);
  cookie = state_->NextCookie++;
  if (state_->NextCookie == 0) state_->NextCookie = 1;  // 0 never names a connection
  state_->Connections.push_back({cookie, std::move(dispatch), CurrentThreadEvents()});
  return S_OK;
}

HRESULT TConnectionPoint::Unadvise(uint32_t cookie) {
  ComPtr<IDispatch> released;  // let go outside the lock: its last release may re-enter
  {
    std::lock_guard lock(state_->Lock);
    auto& list = state_->Connections;
    auto it = std::find_if(list.begin(), list.end(),
                           [&](const State::Connection& c) { return c.Cookie == cookie; });
    if (it == list.end()) return CONNECT_E_NOCONNECTION;
    released = std::move(it->Sink);
    list.erase(it);
  }
  return S_OK;
}

int TConnectionPoint::Fire(DISPID id, const DispParams& params) {
  std::vector<uint32_t> cookies;
  {
    std::lock_guard lock(state_->Lock);
    for (const State::Connection& c : state_->Connections)
      cookies.push_back(c.Cookie);
  }
  int called = 0;
  for (uint32_t cookie : cookies) {
    // Looked up again at its turn: an earlier sink may have disconnected it.
    ComPtr<IDispatch> sink = state_->SinkOf(cookie);
    if (!sink) continue;
    InvokeQuietly(*sink, id, params);
    ++called;
  }
  return called;
}

int TConnectionPoint::Post(DISPID id, DispParams params) {
  std::vector<std::pair<uint32_t, ThreadEventTarget>> targets;
  {
    std::lock_guard lock(state_->Lock);
    for (const State::Connection& c : state_->Connections)
      targets.emplace_back(c.Cookie, c.Thread);
  }
  auto shared = std::make_shared<const DispParams>(std::move(params));
  std::weak_ptr<State> weakState = state_;
  int posted = 0;
  for (const auto& [cookie, thread] : targets) {
    // The delivery holds no reference to the sink or the point: whatever
    // it finds connected when it runs is what it calls.
    const bool queued = PostThreadEvent(thread, [weakState, cookie = cookie, id, shared] {
      std::shared_ptr<State> state = weakState.lock();
      if (!state) return;
      if (ComPtr<IDispatch> sink = state->SinkOf(cookie)) InvokeQuietly(*sink, id, *shared);
    });
    if (queued) ++posted;
  }
  return posted;
}

int TConnectionPoint::ConnectionCount() const {
  std::lock_guard lock(state_->Lock);
  return static_cast<int>(state_->Connections.size());
}

const IID& TConnectionPoint::Iid() const noexcept {
  return state_->Iid;
}

TConnectionPoint& TConnectionPointList::Add(const IID& iid) {
  if (TConnectionPoint* existing = Find(iid)) return *existing;
  points_.push_back(MakeCom<TConnectionPoint>(iid));
  return *points_.back();
}

TConnectionPoint* TConnectionPointList::Find(const IID& iid) const {
  for (const auto& point : points_) {
    if (point->Iid() == iid) return point.Get();
  }
  return nullptr;
}

HRESULT TConnectionPointList::FindConnectionPoint(const IID& iid,
                                                  ComPtr<IConnectionPoint>& point) const {
  TConnectionPoint* found = Find(iid);
  if (found == nullptr) {
    point = nullptr;
    return CONNECT_E_NOCONNECTION;
  }
  point = ComPtr<IConnectionPoint>(found);
  return S_OK;
}

}  // namespace qm::platform
