#include "platform/com/RunningObjects.h"

#include <exception>
#include <map>
#include <mutex>
#include <unordered_map>

#include "platform/com/ErrorInfo.h"
#include "platform/com/OleException.h"
#include "platform/rtl/Utf.h"

namespace qm::platform {
namespace {

struct Registration {
  CLSID Class;
  ComPtr<IUnknown> Object;
};

struct Table {
  std::mutex Lock;
  std::map<uint32_t, Registration> Objects;  // by cookie: oldest first
  std::unordered_map<CLSID, ActiveObjectProvider> Providers;
  uint32_t NextCookie = 1;
};

Table& TheTable() {
  static Table* table = new Table;  // never destroyed: may be used during exit
  return *table;
}

}  // namespace

uint32_t RegisterActiveObject(const CLSID& clsid, ComPtr<IUnknown> object) {
  if (!object) throw EOleSysError(u"No object to register as running", E_INVALIDARG);
  Table& table = TheTable();
  std::lock_guard lock(table.Lock);
  uint32_t cookie = table.NextCookie++;
  while (cookie == 0 || table.Objects.count(cookie) != 0)
    cookie = table.NextCookie++;
  table.Objects.emplace(cookie, Registration{clsid, std::move(object)});
  return cookie;
}

HRESULT RevokeActiveObject(uint32_t cookie) {
  Table& table = TheTable();
  ComPtr<IUnknown> released;  // let go outside the lock
  {
    std::lock_guard lock(table.Lock);
    auto it = table.Objects.find(cookie);
    if (it == table.Objects.end()) return E_INVALIDARG;
    released = std::move(it->second.Object);
    table.Objects.erase(it);
  }
  return S_OK;
}

HRESULT GetActiveObject(const CLSID& clsid, ComPtr<IUnknown>& object) {
  object = nullptr;
  Table& table = TheTable();
  ActiveObjectProvider provider;
  {
    std::lock_guard lock(table.Lock);
    for (const auto& [cookie, registration] : table.Objects) {
      if (registration.Class == clsid) {
        object = registration.Object;
        return S_OK;
      }
    }
    if (auto it = table.Providers.find(clsid); it != table.Providers.end()) provider = it->second;
  }
  if (!provider) return MK_E_UNAVAILABLE;
  try {
    object = provider();
  } catch (const Exception& e) {
    SetErrorInfo({e.Message(), {}});
    object = nullptr;
  } catch (const std::exception& e) {
    SetErrorInfo({Utf8ToUtf16(e.what()), {}});
    object = nullptr;
  } catch (...) {
    object = nullptr;
  }
  return object ? S_OK : MK_E_UNAVAILABLE;
}

void RegisterActiveObjectProvider(const CLSID& clsid, ActiveObjectProvider provider) {
  Table& table = TheTable();
  ActiveObjectProvider replaced;  // destroyed outside the lock
  std::lock_guard lock(table.Lock);
  auto it = table.Providers.find(clsid);
  if (it != table.Providers.end()) {
    replaced = std::move(it->second);
    table.Providers.erase(it);
  }
  if (provider) table.Providers.emplace(clsid, std::move(provider));
}

}  // namespace qm::platform
