// Connection points: how an object's outgoing (event) interface reaches
// the sinks that want its events.
//
// A source object implements IConnectionPointContainer; FindConnectionPoint
// gives the point of one outgoing interface, whose Advise connects a sink
// (answering a cookie) and Unadvise disconnects it again.
#pragma once

#include <cstdint>

#include "platform/com/Unknown.h"

namespace qm::platform {

struct IConnectionPoint : IUnknown {
  static constexpr IID Iid = MakeGuid("{B196B286-BAB4-101A-B69C-00AA00341D07}");
  using BaseInterface = IUnknown;

  virtual HRESULT GetConnectionInterface(IID& iid) = 0;
  // Connects sink; fails with CONNECT_E_CANNOTCONNECT when the sink doesn't
  // answer the outgoing interface.
  virtual HRESULT Advise(IUnknown* sink, uint32_t& cookie) = 0;
  // CONNECT_E_NOCONNECTION for an unknown cookie.
  virtual HRESULT Unadvise(uint32_t cookie) = 0;
};

struct IConnectionPointContainer : IUnknown {
  static constexpr IID Iid = MakeGuid("{B196B284-BAB4-101A-B69C-00AA00341D07}");
  using BaseInterface = IUnknown;

  // E_NOINTERFACE (CONNECT_E_NOCONNECTION) when there is no such point.
  virtual HRESULT FindConnectionPoint(const IID& iid, ComPtr<IConnectionPoint>& point) = 0;
};

}  // namespace qm::platform
