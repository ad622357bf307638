// The contracts between a browser and the objects it hosts: a hosted
// object is given a site (IObjectWithSite), asks the site for its window
// (IOleWindow) and for the services the browser offers
// (IServiceProvider), the web browser among them.
//
// These are the shapes the browser host (quillbrowse) and the add-on's
// helper object and toolbar band agree on; nothing here has behaviour of
// its own. A site usually implements all three of its interfaces on one
// object and answers QueryService(SID_SWebBrowserApp, PageBrowser::Iid)
// with the window's top browser.
//
// Threads: a site and the objects it hosts belong to their browser
// window's user-interface thread.
#pragma once

#include <cstdint>

#include "platform/com/Guid.h"
#include "platform/com/HResult.h"
#include "platform/com/Unknown.h"
#include "platform/winsys/WindowRegistry.h"

namespace qm::platform {

// An object that a container hands its site. SetSite(nullptr) withdraws
// it. GetSite answers the site's interface iid into *site (an added
// reference), or a failure with *site set to null.
struct IObjectWithSite : IUnknown {
  static constexpr IID Iid = MakeGuid("{FC4801A3-2BA9-11CF-A229-00AA003D7352}");
  using BaseInterface = IUnknown;

  virtual HRESULT SetSite(IUnknown* site) = 0;
  virtual HRESULT GetSite(const IID& iid, void** site) = 0;

protected:
  ~IObjectWithSite() = default;
};

// Something that has a window: GetWindow answers its handle (a failure
// when it has none).
struct IOleWindow : IUnknown {
  static constexpr IID Iid = MakeGuid("{00000114-0000-0000-C000-000000000046}");
  using BaseInterface = IUnknown;

  virtual HRESULT GetWindow(HWND& window) = 0;
  virtual HRESULT ContextSensitiveHelp(bool enterMode) = 0;

protected:
  ~IOleWindow() = default;
};

// Hands out services by service identifier: QueryService answers the
// service's interface iid into *object (an added reference), or a failure
// (E_NOINTERFACE for an unknown service) with *object set to null.
struct IServiceProvider : IUnknown {
  static constexpr IID Iid = MakeGuid("{6D5140C1-7436-11CE-8034-00AA006009FA}");
  using BaseInterface = IUnknown;

  virtual HRESULT QueryService(const GUID& service, const IID& iid, void** object) = 0;

protected:
  ~IServiceProvider() = default;
};

// The service under which a site hands out its window's top web browser
// (asked for with PageBrowser::Iid).
inline constexpr GUID SID_SWebBrowserApp = MakeGuid("{0002DF05-0000-0000-C000-000000000046}");

// QueryService through a ComPtr: the service's interface I, or none when
// the provider is none or refuses.
template <class I>
ComPtr<I> QueryService(const ComPtr<IServiceProvider>& provider, const GUID& service) {
  if (!provider) return {};
  void* out = nullptr;
  if (Failed(provider->QueryService(service, I::Iid, &out)) || out == nullptr) return {};
  return ComPtr<I>::Adopt(static_cast<I*>(out));
}

}  // namespace qm::platform
