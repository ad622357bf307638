#include "platform/com/Activation.h"

#include <dlfcn.h>
#include <sys/stat.h>

#include <map>
#include <mutex>
#include <new>

#include "platform/com/ErrorInfo.h"
#include "platform/registry/BrowserKeys.h"
#include "platform/registry/Registry.h"
#include "platform/rtl/Utf.h"

namespace qm::platform {
namespace {

constexpr char16_t ActivationSource[] = u"CoCreateInstance";

HRESULT Fail(HRESULT hr, const std::string& why) {
  SetErrorInfo({W(why), ActivationSource});
  return hr;
}

// The libraries loaded for classes, by the name the registry gave; kept
// until the process ends. The lock is held across dlopen, whose
// initialisers may themselves ask for a class: it must let the same thread
// in again.
struct TLoadedLibraries {
  std::recursive_mutex Lock;
  std::map<std::string, void*> Handles;
};

TLoadedLibraries& Loaded() {
  static auto* libraries = new TLoadedLibraries;  // outlives every static destructor
  return *libraries;
}

// Loads library once (later calls answer the kept handle) and takes its
// DllGetClassObject.
HRESULT ClassObjectEntry(const std::string& library, DllGetClassObjectFunc& entry) {
  TLoadedLibraries& loaded = Loaded();
  std::lock_guard guard(loaded.Lock);
  void*& handle = loaded.Handles[library];
  if (handle == nullptr) {
    // A name without a slash is searched for like any library; a path must
    // name a file.
    const bool isPath = library.find('/') != std::string::npos;
    struct stat info {};
    if (isPath && ::stat(library.c_str(), &info) != 0) {
      loaded.Handles.erase(library);
      return Fail(CO_E_DLLNOTFOUND, "The library " + library + " does not exist");
    }
    handle = ::dlopen(library.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr) {
      const char* reason = ::dlerror();
      loaded.Handles.erase(library);
      return Fail(isPath ? CO_E_ERRORINDLL : CO_E_DLLNOTFOUND,
                  "The library " + library + " cannot be loaded: " + (reason ? reason : "?"));
    }
  }
  ::dlerror();
  entry = reinterpret_cast<DllGetClassObjectFunc>(::dlsym(handle, DllGetClassObjectName));
  if (entry == nullptr) {
    return Fail(CO_E_ERRORINDLL,
                "The library " + library + " has no entry point " + DllGetClassObjectName);
  }
  return S_OK;
}

HRESULT RegisteredLibrary(const CLSID& clsid, std::string& library) {
  try {
    TRegistry reg;
    reg.RootKey = TRegRoot::ClassesRoot;
    if (reg.OpenKey(u"CLSID\\" + GuidToString(clsid) + u"\\" + InprocServerSubkey, false)) {
      library = U8(reg.ReadString(u"").value_or(u""));
    }
  } catch (const ERegistryException& e) {
    return Fail(REGDB_E_READREGDB, U8(e.Message()));
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  } catch (...) {
    return E_UNEXPECTED;
  }
  if (library.empty()) {
    return Fail(REGDB_E_CLASSNOTREG, "The class " + GuidToAscii(clsid) + " is not registered");
  }
  return S_OK;
}

}  // namespace

std::string InprocServerLibrary(const CLSID& clsid) {
  std::string library;
  if (Failed(RegisteredLibrary(clsid, library))) ClearErrorInfo();
  return library;
}

HRESULT CoGetClassObject(const CLSID& clsid, uint32_t context, const IID& iid, void** object) {
  if (object == nullptr) return E_POINTER;
  *object = nullptr;
  ClearErrorInfo();
  if ((context & CLSCTX_INPROC_SERVER) == 0) {
    return Fail(REGDB_E_CLASSNOTREG,
                "The class " + GuidToAscii(clsid) + " has no server of the kind asked for");
  }
  std::string library;
  if (const HRESULT hr = RegisteredLibrary(clsid, library); Failed(hr)) return hr;
  DllGetClassObjectFunc entry = nullptr;
  if (const HRESULT hr = ClassObjectEntry(library, entry); Failed(hr)) return hr;
  HRESULT hr;
  try {
    hr = entry(&clsid, &iid, object);
  } catch (...) {
    hr = E_UNEXPECTED;  // the library broke its contract; nothing may pass
  }
  if (Failed(hr) && *object != nullptr) *object = nullptr;
  if (Succeeded(hr) && *object == nullptr) hr = E_UNEXPECTED;
  return hr;
}

HRESULT CoCreateInstance(const CLSID& clsid, IUnknown* outer, uint32_t context, const IID& iid,
                         void** object) {
  if (object == nullptr) return E_POINTER;
  *object = nullptr;
  void* out = nullptr;
  if (const HRESULT hr = CoGetClassObject(clsid, context, IClassFactory::Iid, &out); Failed(hr)) {
    return hr;
  }
  const auto factory = ComPtr<IClassFactory>::Adopt(static_cast<IClassFactory*>(out));
  HRESULT hr;
  try {
    hr = factory->CreateInstance(outer, iid, object);
  } catch (...) {
    hr = E_UNEXPECTED;
  }
  if (Failed(hr)) *object = nullptr;
  return hr;
}

}  // namespace qm::platform
