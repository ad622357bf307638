// The library's own component server: its class identifiers, the helper
// object's factory, and the one server the exported entry points use.
//
// LibraryServer() is made on the first call of an entry point, with the
// factories in their registration order: the toolbar band's, the helper
// object's, the automation object's (each as its unit joins the library).
// It lives until the library is unloaded.
#pragma once

#include <functional>

#include "addon/server/ComServer.h"
#include "platform/com/SiteInterfaces.h"

namespace qm::server {

// The toolbar band's and the automation object's class identifiers live
// with the type library (addon/Common/QuillmateTLB.h).
inline constexpr CLSID CLASS_VxBrowserHelperObject =
    platform::MakeGuid("{C0D5D8B0-D626-4C77-8ED4-CFE4C41BCDA1}");

inline constexpr char16_t QuillmateServerName[] = u"Quillmate";

// Makes the helper objects; registered under the browser's helper object
// key so that every browser window gets one.
class TVxBrowserHelperObjectFactory : public TComObjectFactory {
public:
  using TCreate = std::function<ComPtr<platform::IObjectWithSite>()>;
  TVxBrowserHelperObjectFactory(TComServer& server, TCreate create);

  // The common entries, then (reg) HKLM's helper object key for the class
  // with the description as its default value, or (unreg) that key removed.
  void UpdateRegistry(bool reg, const std::u16string& fileName) override;

protected:
  ComPtr<IUnknown> CreateComObject() override;

private:
  TCreate create_;
};

// The library's server (made on first use).
TComServer& LibraryServer();

}  // namespace qm::server
