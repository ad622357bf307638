// The class factories of the toolbar band and of the automation object,
// and the registration of the library's type library.
//
// TDriftbookToolbarFactory makes the toolbar bands. Besides the common
// entries of a typed factory it writes what makes a browser offer the band:
// the band caption as the class key's default value, the class's component
// category (the desk-band category), and, with the toolbar flag, the band
// caption under HKLM's browser toolbar key, in a value named by the class
// identifier. TAutoObjectFactory makes automation objects: a typed factory
// whose objects are reached late-bound as well.
//
// TypeLibraryRegistration writes (and removes) the type library's own
// entries: HKCR "TypeLib\{libid}\<version>" with its help string, its file
// ("0\linux"), flags and help folder, and for every interface it describes
// "Interface\{iid}" with its name, its marshaller, the library and its
// version.
//
// Factories live as long as their server; registration runs on the thread
// that calls the entry point.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "addon/server/ComServer.h"

namespace qm::server {

class TDriftbookToolbarFactory : public TTypedComObjectFactory {
public:
  using TCreate = std::function<ComPtr<IUnknown>()>;
  TDriftbookToolbarFactory(TComServer& server, const CLSID& clsid, std::u16string bandCaption,
                           const GUID& category, bool registerAsToolbar, TCreate create);

  const std::u16string& BandCaption() const noexcept { return bandCaption_; }
  const GUID& Category() const noexcept { return category_; }
  bool RegisterAsToolbar() const noexcept { return registerAsToolbar_; }

  void UpdateRegistry(bool reg, const std::u16string& fileName) override;

protected:
  ComPtr<IUnknown> CreateComObject() override;

private:
  void RegisterBand();
  void UnregisterBand();

  std::u16string bandCaption_;
  GUID category_;
  bool registerAsToolbar_;
  TCreate create_;
};

class TAutoObjectFactory : public TTypedComObjectFactory {
public:
  using TCreate = std::function<ComPtr<IUnknown>()>;
  TAutoObjectFactory(TComServer& server, const CLSID& clsid, TInstancing instancing,
                     TThreadingModel threadingModel, TCreate create);

protected:
  ComPtr<IUnknown> CreateComObject() override;

private:
  TCreate create_;
};

// An interface the type library describes, as its registration names it.
struct TTypeLibraryInterface {
  IID Iid;
  std::u16string Name;  // "IQMAgent"
};

// The steps that write and remove the type library's own entries, for
// TComServer::SetTypeLibrary.
TTypeLibrarySteps TypeLibraryRegistration(std::vector<TTypeLibraryInterface> interfaces);

// The marshaller of automation interfaces, named in their registration.
inline constexpr CLSID CLSID_AutomationMarshaler =
    platform::MakeGuid("{00020424-0000-0000-C000-000000000046}");
// HKCU's cached lists of the two toolbar categories other than the
// desk-band one, dropped when a band of another category registers.
inline constexpr GUID CATID_InfoBand = platform::MakeGuid("{00021493-0000-0000-C000-000000000046}");
inline constexpr GUID CATID_CommBand = platform::MakeGuid("{00021494-0000-0000-C000-000000000046}");

}  // namespace qm::server
