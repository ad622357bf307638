// The four functions the library exports, and nothing else: everything of
// ours inside the library stays hidden (quillmate.map), and nothing escapes
// these functions as an exception. Each answers its server's status.
#include "addon/server/QuillmateServer.h"

#define QM_EXPORT extern "C" __attribute__((visibility("default")))

using qm::platform::HRESULT;

QM_EXPORT HRESULT DllGetClassObject(const qm::platform::CLSID* clsid, const qm::platform::IID* iid,
                                    void** object) noexcept {
  if (object == nullptr) return qm::platform::E_POINTER;
  *object = nullptr;
  if (clsid == nullptr || iid == nullptr) return qm::platform::E_INVALIDARG;
  try {
    return qm::server::LibraryServer().GetClassObject(*clsid, *iid, object);
  } catch (...) {
    return qm::platform::E_UNEXPECTED;
  }
}

QM_EXPORT HRESULT DllCanUnloadNow() noexcept {
  try {
    return qm::server::LibraryServer().CanUnloadNow();
  } catch (...) {
    return qm::platform::S_FALSE;
  }
}

QM_EXPORT HRESULT DllRegisterServer() noexcept {
  try {
    return qm::server::LibraryServer().RegisterServer(qm::server::ModuleFileName());
  } catch (...) {
    return qm::platform::E_FAIL;
  }
}

QM_EXPORT HRESULT DllUnregisterServer() noexcept {
  try {
    return qm::server::LibraryServer().UnregisterServer();
  } catch (...) {
    return qm::platform::E_FAIL;
  }
}
