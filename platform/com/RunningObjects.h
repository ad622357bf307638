// The running-object table: how a program finds the running instance of a
// class without starting one.
//
// GetActiveObject answers first from the objects registered in this process
// (an embedded manager, tests), the oldest registration of the class first;
// then from the provider registered for the class, which looks elsewhere
// (the manager's provider asks the session bus, see QoraServerBusProxy.h).
// Nothing here creates or starts anything.
//
// Ownership: the table holds a reference to each registered object until it
// is revoked. Providers are kept until replaced or removed.
//
// Thread safe: one lock guards the table; it is never held while a provider
// runs or an object is released, so either may use the table themselves.
#pragma once

#include <cstdint>
#include <functional>

#include "platform/com/Guid.h"
#include "platform/com/Unknown.h"

namespace qm::platform {

// Answers the running object of its class, or an empty reference when there
// is none. May raise; GetActiveObject then answers MK_E_UNAVAILABLE with the
// message left as error information.
using ActiveObjectProvider = std::function<ComPtr<IUnknown>()>;

// Registers object as the running instance of clsid and answers the cookie
// that revokes it (never 0). Raises EOleSysError (E_INVALIDARG) for no object.
uint32_t RegisterActiveObject(const CLSID& clsid, ComPtr<IUnknown> object);

// E_INVALIDARG for a cookie that names no registration.
HRESULT RevokeActiveObject(uint32_t cookie);

// S_OK with the object, or MK_E_UNAVAILABLE and an empty reference.
HRESULT GetActiveObject(const CLSID& clsid, ComPtr<IUnknown>& object);

// Installs (replacing any earlier one) or, with an empty function, removes
// the provider asked for clsid when no object of it is registered here.
void RegisterActiveObjectProvider(const CLSID& clsid, ActiveObjectProvider provider);

}  // namespace qm::platform
