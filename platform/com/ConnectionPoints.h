// The reusable implementation of connection points for source objects.
//
// A source object (the manager, its bus proxy, a test double) keeps a
// TConnectionPointList member with one TConnectionPoint per outgoing
// interface, answers IConnectionPointContainer::FindConnectionPoint from it,
// and fires an event with Fire (at once, on the firing thread) or Post (on
// each sink's own thread, see PendingEvents.h).
//
// Outgoing interfaces are dispatch interfaces: Advise asks the sink for the
// point's interface and keeps what it answers as the sink's IDispatch.
//
// Ownership: a point holds a reference to each connected sink until it is
// unadvised or the point goes away; the list holds its points, and whoever
// found a point holds it too. Sinks are kept in advise order.
//
// Threads: Advise, Unadvise, Fire and Post may come from any thread; the
// sink list is guarded by the point's own lock, which is never held while a
// sink runs, so a sink may unadvise itself (or others) from its Invoke.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "platform/com/ConnectionPoint.h"
#include "platform/com/Dispatch.h"

namespace qm::platform {

class TConnectionPoint final : public ComObject<IConnectionPoint> {
public:
  explicit TConnectionPoint(const IID& iid);
  ~TConnectionPoint() override;

  HRESULT GetConnectionInterface(IID& iid) override;
  HRESULT Advise(IUnknown* sink, uint32_t& cookie) override;
  HRESULT Unadvise(uint32_t cookie) override;

  // Calls Invoke(id, DISPATCH_METHOD, params) on each sink connected when
  // the fire begins that is still connected when its turn comes, on the
  // calling thread. A sink that fails, throws or disconnects does not stop
  // the walk. Answers how many sinks were called.
  int Fire(DISPID id, const DispParams& params);

  // Posts the event to the thread that connected each sink; it is invoked
  // there when that thread processes its pending events, if the sink is
  // still connected then. Answers how many posts were queued.
  int Post(DISPID id, DispParams params);

  int ConnectionCount() const;
  const IID& Iid() const noexcept;

private:
  struct State;  // shared with posted deliveries, which hold it weakly
  std::shared_ptr<State> state_;
};

// The points of one source object.
class TConnectionPointList {
public:
  // Adds the point of an outgoing interface (once per interface).
  TConnectionPoint& Add(const IID& iid);
  // The point of iid, or nullptr.
  TConnectionPoint* Find(const IID& iid) const;
  // For IConnectionPointContainer::FindConnectionPoint:
  // CONNECT_E_NOCONNECTION when the object has no such point.
  HRESULT FindConnectionPoint(const IID& iid, ComPtr<IConnectionPoint>& point) const;

private:
  std::vector<ComPtr<TConnectionPoint>> points_;
};

}  // namespace qm::platform
