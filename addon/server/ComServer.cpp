#include "addon/server/ComServer.h"

#include <dlfcn.h>

#include <cstdio>

#include "platform/com/ErrorInfo.h"
#include "platform/registry/BrowserKeys.h"
#include "platform/rtl/Utf.h"

namespace qm::server {

using platform::TRegRoot;
using platform::TRegistry;

std::u16string ThreadingModelName(TThreadingModel model) {
  switch (model) {
    case TThreadingModel::Single: return u"Single";
    case TThreadingModel::Apartment: return u"Apartment";
    case TThreadingModel::Free: return u"Free";
    case TThreadingModel::Both: return u"Both";
  }
  return u"";
}

const TTypeLibraryClass* TTypeLibraryInfo::FindClass(const CLSID& clsid) const {
  for (const auto& c : Classes) {
    if (c.Clsid == clsid) return &c;
  }
  return nullptr;
}

std::u16string TTypeLibraryInfo::VersionText() const {
  char text[16];
  std::snprintf(text, sizeof text, "%d.%d", MajorVersion, MinorVersion);
  return platform::Utf8ToUtf16(text);
}

void CreateRegKey(TRegRoot root, std::u16string_view key, std::u16string_view name,
                  std::u16string_view value) {
  TRegistry reg;
  reg.RootKey = root;
  if (!reg.OpenKey(key, true)) return;
  reg.WriteString(name, value);
}

void DeleteRegKey(TRegRoot root, std::u16string_view key) noexcept {
  try {
    TRegistry reg;
    reg.RootKey = root;
    reg.DeleteKey(key);
  } catch (...) {
    // A delete that fails leaves the entry; unregistration goes on.
  }
}

void UpdateHelperObjectKey(bool reg, const CLSID& clsid, std::u16string_view description) {
  const std::u16string key =
      std::u16string(platform::BrowserHelperObjectsKey) + u"\\" + platform::GuidToString(clsid);
  if (reg) {
    CreateRegKey(TRegRoot::LocalMachine, key, u"", description);
  } else {
    DeleteRegKey(TRegRoot::LocalMachine, key);
  }
}

std::u16string ModuleFileName() {
  Dl_info info{};
  if (::dladdr(reinterpret_cast<void*>(&ModuleFileName), &info) == 0 || info.dli_fname == nullptr) {
    return {};
  }
  char resolved[4096];
  if (::realpath(info.dli_fname, resolved) != nullptr) return platform::Utf8ToUtf16(resolved);
  return platform::Utf8ToUtf16(info.dli_fname);
}

// --- TComObjectFactory ---

TComObjectFactory::TComObjectFactory(TComServer& server, const CLSID& clsid, std::u16string className,
                                     std::u16string description, TInstancing instancing,
                                     TThreadingModel threadingModel)
    : server_(server),
      clsid_(clsid),
      className_(std::move(className)),
      description_(std::move(description)),
      instancing_(instancing),
      threadingModel_(threadingModel) {}

HRESULT TComObjectFactory::CreateInstance(IUnknown* outer, const IID& iid, void** object) {
  if (object == nullptr) return platform::E_POINTER;
  *object = nullptr;
  if (outer != nullptr) return platform::CLASS_E_NOAGGREGATION;
  try {
    const ComPtr<IUnknown> made = CreateComObject();
    if (!made) return platform::E_UNEXPECTED;
    return made->QueryInterface(iid, object);
  } catch (const platform::Exception& e) {
    platform::SetErrorInfo({e.Message(), server_.ServerName()});
    return platform::E_FAIL;
  } catch (const std::bad_alloc&) {
    return platform::E_OUTOFMEMORY;
  } catch (...) {
    return platform::E_UNEXPECTED;
  }
}

HRESULT TComObjectFactory::LockServer(bool lock) {
  server_.Lock(lock);
  return platform::S_OK;
}

std::u16string TComObjectFactory::ProgID() const {
  if (className_.empty()) return {};
  return server_.ServerName() + u"." + className_;
}

std::u16string TComObjectFactory::ClassKey() const { return u"CLSID\\" + platform::GuidToString(clsid_); }

void TComObjectFactory::UpdateRegistry(bool reg, const std::u16string& fileName) {
  const std::u16string key = ClassKey();
  const std::u16string progId = ProgID();
  const TTypeLibraryInfo* library = server_.TypeLibrary();
  if (reg) {
    CreateRegKey(TRegRoot::ClassesRoot, key, u"", description_);
    CreateRegKey(TRegRoot::ClassesRoot, key + u"\\InprocServer32", u"", fileName);
    CreateRegKey(TRegRoot::ClassesRoot, key + u"\\InprocServer32", u"ThreadingModel",
                 ThreadingModelName(threadingModel_));
    if (!progId.empty()) {
      CreateRegKey(TRegRoot::ClassesRoot, progId, u"", description_);
      CreateRegKey(TRegRoot::ClassesRoot, progId + u"\\Clsid", u"", platform::GuidToString(clsid_));
      CreateRegKey(TRegRoot::ClassesRoot, key + u"\\ProgID", u"", progId);
    }
    if (Typed() && library != nullptr) {
      CreateRegKey(TRegRoot::ClassesRoot, key + u"\\Version", u"", library->VersionText());
      CreateRegKey(TRegRoot::ClassesRoot, key + u"\\TypeLib", u"", platform::GuidToString(library->LibId));
    }
    return;
  }
  if (Typed()) {
    DeleteRegKey(TRegRoot::ClassesRoot, key + u"\\TypeLib");
    DeleteRegKey(TRegRoot::ClassesRoot, key + u"\\Version");
  }
  if (!progId.empty()) {
    DeleteRegKey(TRegRoot::ClassesRoot, key + u"\\ProgID");
    DeleteRegKey(TRegRoot::ClassesRoot, progId + u"\\Clsid");
    DeleteRegKey(TRegRoot::ClassesRoot, progId);
  }
  DeleteRegKey(TRegRoot::ClassesRoot, key + u"\\InprocServer32");
  DeleteRegKey(TRegRoot::ClassesRoot, key);
}

// --- TTypedComObjectFactory ---

namespace {
const TTypeLibraryClass* LibraryClass(const TComServer& server, const CLSID& clsid) {
  return server.TypeLibrary() ? server.TypeLibrary()->FindClass(clsid) : nullptr;
}
}  // namespace

TTypedComObjectFactory::TTypedComObjectFactory(TComServer& server, const CLSID& clsid,
                                               TInstancing instancing, TThreadingModel threadingModel)
    : TComObjectFactory(server, clsid,
                        LibraryClass(server, clsid) ? LibraryClass(server, clsid)->Name : u"",
                        LibraryClass(server, clsid) ? LibraryClass(server, clsid)->Description : u"",
                        instancing, threadingModel) {}

// --- TComServer ---

TComServer::TComServer(std::u16string serverName) : serverName_(std::move(serverName)) {}

TComServer::~TComServer() = default;

void TComServer::SetTypeLibrary(TTypeLibraryInfo info, TTypeLibrarySteps steps) {
  typeLibrary_ = std::make_unique<TTypeLibraryInfo>(std::move(info));
  typeLibrarySteps_ = std::move(steps);
  if (!typeLibrary_->Name.empty()) serverName_ = typeLibrary_->Name;
}

void TComServer::Add(ComPtr<TComObjectFactory> factory) { factories_.push_back(std::move(factory)); }

TComObjectFactory* TComServer::Find(const CLSID& clsid) const {
  for (const auto& f : factories_) {
    if (f->ClassID() == clsid) return f.Get();
  }
  return nullptr;
}

HRESULT TComServer::GetClassObject(const CLSID& clsid, const IID& iid, void** object) const noexcept {
  if (object == nullptr) return platform::E_POINTER;
  *object = nullptr;
  TComObjectFactory* factory = Find(clsid);
  if (factory == nullptr) return platform::CLASS_E_CLASSNOTAVAILABLE;
  return factory->QueryInterface(iid, object);
}

int32_t TComServer::ObjectCount() const noexcept {
  return platform::LiveComObjectCount() - static_cast<int32_t>(factories_.size());
}

HRESULT TComServer::CanUnloadNow() const noexcept {
  return ObjectCount() <= 0 && LockCount() <= 0 ? platform::S_OK : platform::S_FALSE;
}

HRESULT TComServer::Guarded(const std::function<void()>& work) noexcept {
  try {
    lastError_.clear();
    work();
    return platform::S_OK;
  } catch (const platform::Exception& e) {
    lastError_ = e.Message();
  } catch (const std::exception& e) {
    lastError_ = platform::Utf8ToUtf16(e.what());
  } catch (...) {
    lastError_ = u"Unknown failure";
  }
  try {
    platform::SetErrorInfo({lastError_, serverName_});
  } catch (...) {
  }
  return platform::E_FAIL;
}

HRESULT TComServer::RegisterServer(const std::u16string& fileName) noexcept {
  return Guarded([&] {
    if (typeLibrary_ && typeLibrarySteps_.Register) typeLibrarySteps_.Register(*typeLibrary_, fileName);
    for (const auto& f : factories_) f->UpdateRegistry(true, fileName);
  });
}

HRESULT TComServer::UnregisterServer() noexcept {
  return Guarded([&] {
    if (typeLibrary_ && typeLibrarySteps_.Unregister) typeLibrarySteps_.Unregister(*typeLibrary_);
    for (const auto& f : factories_) f->UpdateRegistry(false, {});
  });
}

}  // namespace qm::server
