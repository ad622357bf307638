// Making objects by class identifier through the registry, the way a
// program asks for a component without knowing which library serves it.
//
// HKCR "CLSID\{clsid}\InprocServer32" names the library (its default
// value). The library is loaded (dlopen) the first time any class of it is
// asked for and kept for the life of the process: a component library may
// hand out objects and factories at any time, and unloading it under them
// would leave code pointers into nothing. Its DllGetClassObject is asked for
// the class's factory, whose CreateInstance makes the object.
//
// Only in-process servers exist here. Failures answer the platform's
// statuses, with a one-line description left as the thread's error
// information (ErrorInfo.h) where the status alone would not say what:
//   REGDB_E_CLASSNOTREG  the class has no InprocServer32 entry naming a
//                        library, or in-process servers were not asked for
//   REGDB_E_READREGDB    the registry file could not be read (damaged)
//   CO_E_DLLNOTFOUND     the library named is not there
//   CO_E_ERRORINDLL      the library cannot be loaded, or lacks
//                        DllGetClassObject
//   whatever DllGetClassObject or the factory answer (for example
//   CLASS_E_CLASSNOTAVAILABLE, CLASS_E_NOAGGREGATION, E_NOINTERFACE).
// Nothing escapes as an exception.
//
// Any thread; the loaded-library table has its own lock, and the library is
// never called under it.
#pragma once

#include <cstdint>
#include <string>

#include "platform/com/ClassFactory.h"

namespace qm::platform {

// Where a class's server may run; only in-process servers exist here.
inline constexpr uint32_t CLSCTX_INPROC_SERVER = 0x1;
inline constexpr uint32_t CLSCTX_INPROC_HANDLER = 0x2;
inline constexpr uint32_t CLSCTX_LOCAL_SERVER = 0x4;
inline constexpr uint32_t CLSCTX_ALL =
    CLSCTX_INPROC_SERVER | CLSCTX_INPROC_HANDLER | CLSCTX_LOCAL_SERVER;

// The class object (usually its IClassFactory) of clsid, as interface iid.
HRESULT CoGetClassObject(const CLSID& clsid, uint32_t context, const IID& iid, void** object);

// A new object of clsid answering interface iid (an added reference in
// *object, null on failure). outer must be null: no class here aggregates.
HRESULT CoCreateInstance(const CLSID& clsid, IUnknown* outer, uint32_t context, const IID& iid,
                         void** object);

// The same for interface I, into made (emptied on failure).
template <class I>
HRESULT CoCreateInstance(const CLSID& clsid, ComPtr<I>& made) {
  made = nullptr;
  void* out = nullptr;
  const HRESULT hr = CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, I::Iid, &out);
  if (Succeeded(hr)) made = ComPtr<I>::Adopt(static_cast<I*>(out));
  return hr;
}

// The library file HKCR names for clsid's in-process server; empty when
// none (or the registry cannot be read).
std::string InprocServerLibrary(const CLSID& clsid);

}  // namespace qm::platform
