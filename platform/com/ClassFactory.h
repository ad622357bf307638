// The contract between a component library and the program that loads it:
// class factories, and the four functions every such library exports.
//
// A program loads a library (dlopen), finds DllGetClassObject and asks it
// for the factory of a class identifier; the factory's CreateInstance
// makes the objects. DllCanUnloadNow tells whether the library may go (no
// object of it alive, no factory locked); DllRegisterServer and
// DllUnregisterServer write and remove the library's registry entries.
//
// The exported functions take pointers, not references, so that their
// calling convention is plain C; nothing may escape them as an exception.
//
// A factory belongs to the library that made it and may be used from any
// thread; the objects it makes belong to the caller's thread unless their
// class says otherwise.
#pragma once

#include "platform/com/Unknown.h"

namespace qm::platform {

struct IClassFactory : IUnknown {
  static constexpr IID Iid = MakeGuid("{00000001-0000-0000-C000-000000000046}");
  using BaseInterface = IUnknown;

  // Makes an object and answers its interface iid into *object (an added
  // reference). outer must be null (no aggregation: CLASS_E_NOAGGREGATION).
  virtual HRESULT CreateInstance(IUnknown* outer, const IID& iid, void** object) = 0;
  // lock true keeps the library loaded while no object lives; each true is
  // undone by one false.
  virtual HRESULT LockServer(bool lock) = 0;

protected:
  ~IClassFactory() = default;
};

// The exported functions, by their names in the library.
extern "C" {
using DllGetClassObjectFunc = HRESULT (*)(const CLSID* clsid, const IID* iid, void** object);
using DllCanUnloadNowFunc = HRESULT (*)();
using DllRegisterServerFunc = HRESULT (*)();
using DllUnregisterServerFunc = HRESULT (*)();
}
inline constexpr const char* DllGetClassObjectName = "DllGetClassObject";
inline constexpr const char* DllCanUnloadNowName = "DllCanUnloadNow";
inline constexpr const char* DllRegisterServerName = "DllRegisterServer";
inline constexpr const char* DllUnregisterServerName = "DllUnregisterServer";

}  // namespace qm::platform
