#include "addon/server/ToolbarFactory.h"

#include "platform/com/BandInterfaces.h"
#include "platform/registry/BrowserKeys.h"

namespace qm::server {
namespace {

using platform::GuidToString;
using platform::TRegistry;
using platform::TRegRoot;

constexpr char16_t CachedCategoriesKey[] =
    u"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Discardable\\PostSetup\\"
    u"Component Categories\\";

// Opens key below root (creating it when asked) and writes one value; a
// key that can't be opened skips the write, a failed write raises.
void WriteValue(TRegRoot root, std::u16string_view key, bool create, std::u16string_view name,
                std::u16string_view value) {
  TRegistry reg;
  reg.RootKey = root;
  if (!reg.OpenKey(key, create)) return;
  reg.WriteString(name, value);
}

}  // namespace

// --- TDriftbookToolbarFactory ---

TDriftbookToolbarFactory::TDriftbookToolbarFactory(TComServer& server, const CLSID& clsid,
                                                   std::u16string bandCaption,
                                                   const GUID& category, bool registerAsToolbar,
                                                   TCreate create)
    : TTypedComObjectFactory(server, clsid, TInstancing::MultiInstance,
                             TThreadingModel::Apartment),
      bandCaption_(std::move(bandCaption)),
      category_(category),
      registerAsToolbar_(registerAsToolbar),
      create_(std::move(create)) {}

ComPtr<IUnknown> TDriftbookToolbarFactory::CreateComObject() {
  return create_();
}

void TDriftbookToolbarFactory::UpdateRegistry(bool reg, const std::u16string& fileName) {
  TTypedComObjectFactory::UpdateRegistry(reg, fileName);
  if (reg) {
    RegisterBand();
  } else {
    UnregisterBand();
  }
}

void TDriftbookToolbarFactory::RegisterBand() {
  if (category_ != platform::CATID_DeskBand) {
    // The browser caches the bands of those categories; a new one must not
    // be hidden by a stale list.
    DeleteRegKey(TRegRoot::CurrentUser,
                 CachedCategoriesKey + GuidToString(CATID_InfoBand) + u"\\Enum");
    DeleteRegKey(TRegRoot::CurrentUser,
                 CachedCategoriesKey + GuidToString(CATID_CommBand) + u"\\Enum");
  }
  const std::u16string key = ClassKey();
  WriteValue(TRegRoot::ClassesRoot, key, true, u"", bandCaption_);
  WriteValue(TRegRoot::ClassesRoot, key + u"\\InProcServer32", true, u"ThreadingModel",
             u"Apartment");
  {
    TRegistry reg;
    reg.RootKey = TRegRoot::ClassesRoot;
    reg.OpenKey(key + u"\\Implemented Categories\\" + GuidToString(category_), true);
  }
  if (registerAsToolbar_) {
    WriteValue(TRegRoot::LocalMachine, platform::BrowserToolbarKey, true,
               GuidToString(ClassID()), bandCaption_);
  }
}

void TDriftbookToolbarFactory::UnregisterBand() {
  const std::u16string key = ClassKey();
  if (category_ == platform::CATID_DeskBand) {
    DeleteRegKey(TRegRoot::ClassesRoot,
                 u"Component Categories\\" + GuidToString(category_) + u"\\Enum");
  }
  DeleteRegKey(TRegRoot::ClassesRoot, key + u"\\Implemented Categories\\" + GuidToString(category_));
  DeleteRegKey(TRegRoot::ClassesRoot, key + u"\\InProcServer32");
  DeleteRegKey(TRegRoot::ClassesRoot, key);
  if (!registerAsToolbar_) return;
  try {
    TRegistry reg;
    reg.RootKey = TRegRoot::LocalMachine;
    if (reg.OpenKey(platform::BrowserToolbarKey, false)) reg.DeleteValue(GuidToString(ClassID()));
  } catch (...) {
    // A delete that fails leaves the value; unregistration goes on.
  }
}

// --- TAutoObjectFactory ---

TAutoObjectFactory::TAutoObjectFactory(TComServer& server, const CLSID& clsid,
                                       TInstancing instancing, TThreadingModel threadingModel,
                                       TCreate create)
    : TTypedComObjectFactory(server, clsid, instancing, threadingModel),
      create_(std::move(create)) {}

ComPtr<IUnknown> TAutoObjectFactory::CreateComObject() {
  return create_();
}

// --- the type library's own entries ---

TTypeLibrarySteps TypeLibraryRegistration(std::vector<TTypeLibraryInterface> interfaces) {
  TTypeLibrarySteps steps;
  steps.Register = [interfaces](const TTypeLibraryInfo& library, const std::u16string& fileName) {
    const std::u16string libId = GuidToString(library.LibId);
    const std::u16string key = u"TypeLib\\" + libId + u"\\" + library.VersionText();
    const size_t slash = fileName.rfind(u'/');
    const std::u16string folder =
        slash == std::u16string::npos ? std::u16string() : fileName.substr(0, slash);
    WriteValue(TRegRoot::ClassesRoot, key, true, u"", library.HelpString);
    WriteValue(TRegRoot::ClassesRoot, key + u"\\0\\linux", true, u"", fileName);
    WriteValue(TRegRoot::ClassesRoot, key + u"\\FLAGS", true, u"", u"0");
    WriteValue(TRegRoot::ClassesRoot, key + u"\\HELPDIR", true, u"", folder);
    for (const TTypeLibraryInterface& i : interfaces) {
      const std::u16string iface = u"Interface\\" + GuidToString(i.Iid);
      WriteValue(TRegRoot::ClassesRoot, iface, true, u"", i.Name);
      WriteValue(TRegRoot::ClassesRoot, iface + u"\\ProxyStubClsid32", true, u"",
                 GuidToString(CLSID_AutomationMarshaler));
      WriteValue(TRegRoot::ClassesRoot, iface + u"\\TypeLib", true, u"", libId);
      WriteValue(TRegRoot::ClassesRoot, iface + u"\\TypeLib", true, u"Version",
                 library.VersionText());
    }
  };
  steps.Unregister = [interfaces](const TTypeLibraryInfo& library) {
    for (const TTypeLibraryInterface& i : interfaces)
      DeleteRegKey(TRegRoot::ClassesRoot, u"Interface\\" + GuidToString(i.Iid));
    const std::u16string libKey = u"TypeLib\\" + GuidToString(library.LibId);
    DeleteRegKey(TRegRoot::ClassesRoot, libKey + u"\\" + library.VersionText());
    // The library's key goes when no other version of it is left.
    try {
      TRegistry reg;
      reg.RootKey = TRegRoot::ClassesRoot;
      if (reg.OpenKey(libKey, false) && reg.GetKeyNames().empty()) {
        reg.CloseKey();
        reg.DeleteKey(libKey);
      }
    } catch (...) {
    }
  };
  return steps;
}

}  // namespace qm::server
