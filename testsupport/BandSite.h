// A browser's band site for the toolbar's tests, made the way the browser
// host makes its own (platform/com/BandInterfaces.h): the window the band
// lives in, the focus notices it hears, a command target that knows no
// commands, and the web browser service. Each part can be left out, to
// see a band refuse an incomplete site.
//
// Belongs to the test's thread.
#pragma once

#include <vector>

#include "platform/com/BandInterfaces.h"
#include "platform/dom/PageBrowser.h"

namespace qm::testing {

class TBandSite final
    : public platform::ComObject<platform::IOleWindow, platform::IInputObjectSite,
                                 platform::IOleCommandTarget, platform::IServiceProvider> {
public:
  struct TParts {
    bool Window = true;
    bool InputObjectSite = true;
    bool CommandTarget = true;
    bool Browser = true;
  };

  TBandSite(platform::HWND window, platform::ComPtr<platform::PageBrowser> browser, TParts parts)
      : window_(window), browser_(std::move(browser)), parts_(parts) {}
  TBandSite(platform::HWND window, platform::ComPtr<platform::PageBrowser> browser)
      : TBandSite(window, std::move(browser), TParts{}) {}

  // What the band said about its focus, in order.
  std::vector<bool> FocusNotices;

  platform::HRESULT GetWindow(platform::HWND& window) override {
    window = parts_.Window ? window_ : platform::NoWindow;
    return parts_.Window ? platform::S_OK : platform::E_FAIL;
  }
  platform::HRESULT ContextSensitiveHelp(bool) override { return platform::E_NOTIMPL; }
  platform::HRESULT OnFocusChangeIS(platform::IUnknown* object, bool focus) override {
    if (object == nullptr) return platform::E_INVALIDARG;
    FocusNotices.push_back(focus);
    return platform::S_OK;
  }
  platform::HRESULT QueryStatus(const platform::GUID*, uint32_t, platform::OLECMD*) override {
    return platform::OLECMDERR_E_UNKNOWNGROUP;
  }
  platform::HRESULT Exec(const platform::GUID*, uint32_t, uint32_t, const platform::Variant*,
                         platform::Variant*) override {
    return platform::OLECMDERR_E_UNKNOWNGROUP;
  }
  platform::HRESULT QueryService(const platform::GUID& service, const platform::IID& iid,
                                 void** object) override {
    if (object == nullptr) return platform::E_POINTER;
    *object = nullptr;
    if (!parts_.Browser || !browser_ || service != platform::SID_SWebBrowserApp) {
      return platform::E_NOINTERFACE;
    }
    return browser_->QueryInterface(iid, object);
  }

  // Leaves out the interfaces the parts say are missing.
  platform::HRESULT QueryInterface(const platform::IID& iid, void** object) override {
    if ((!parts_.InputObjectSite && iid == platform::IInputObjectSite::Iid) ||
        (!parts_.CommandTarget && iid == platform::IOleCommandTarget::Iid)) {
      if (object != nullptr) *object = nullptr;
      return platform::E_NOINTERFACE;
    }
    return ComObject::QueryInterface(iid, object);
  }

private:
  platform::HWND window_;
  platform::ComPtr<platform::PageBrowser> browser_;
  TParts parts_;
};

}  // namespace qm::testing
