// A browser window for the helper object's tests and benchmarks, put
// together the way the browser host does it:
//   - the built-in engine's browser (MemBrowser), showing pages from memory
//     (AddPage) or through any resource loader (a FileResourceLoader for a
//     folder), with page scripts bound to C++ functions (Scripts);
//   - a window in the window registry;
//   - a site (IServiceProvider handing out the browser as SID_SWebBrowserApp,
//     IOleWindow answering the window);
//   - the helper object made by CreateVxBrowserHelperObject and given the
//     site through SetSite.
// The manager is not part of a window: a TTestManager (TestManager.h)
// registered in this process, or a manager on a private bus, is what the
// window's agent finds. The user is the scripted user-interface backend,
// which the test installs (TBhoEnvironment does all of it).
//
// Running. Navigate asks for a page (BeforeNavigate2 arrives at once);
// RunPending then does what a host's message loop does: it performs the
// queued loads (every page load, frames and onload included, runs the
// helper object's page processing inside it), takes the window thread's
// messages (the manager's events, posted messages, timers), lets the scripted user act on the
// modeless forms and follows an immediate META refresh (as a browser does
// once the page is loaded), until nothing is left or a limit of loads is reached
// (an automatic submit may keep a page going forever). Load is both.
// PumpUntil also waits, with a time limit, for events that other threads
// post (the manager's signals on a bus). Nothing sleeps.
//
// Several windows may share one test thread. Destruction detaches the
// helper object (SetSite(nullptr)), releases it, closes the browser and
// destroys the window.
#pragma once

#include <chrono>
#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "addon/BHO/BHOUnit.h"
#include "engines/memdom/MemBrowser.h"
#include "platform/com/SiteInterfaces.h"
#include "platform/ui/ScriptedBackend.h"
#include "testsupport/TestManager.h"

namespace qm::testing {

// What a browser host gives a hosted object as its site.
class TTestSite final
    : public platform::ComObject<platform::IServiceProvider, platform::IOleWindow> {
public:
  TTestSite(platform::ComPtr<platform::PageBrowser> browser, platform::HWND window)
      : browser_(std::move(browser)), window_(window) {}
  platform::HRESULT QueryService(const platform::GUID& service, const platform::IID& iid,
                                 void** object) override;
  platform::HRESULT GetWindow(platform::HWND& window) override;
  platform::HRESULT ContextSensitiveHelp(bool) override { return platform::E_NOTIMPL; }

private:
  platform::ComPtr<platform::PageBrowser> browser_;
  platform::HWND window_;
};

class TBhoWindow {
public:
  struct TOptions {
    // Where pages come from; none: pages from memory (AddPage).
    std::shared_ptr<memdom::ResourceLoader> Loader;
    // Whether the browser reports the window's handle itself (a host's
    // browser does); without it the helper object asks the site.
    bool BrowserKnowsWindow = true;
    // Whether to attach the helper object at once.
    bool Attach = true;
    // Whether RunPending follows an immediate META refresh of a loaded
    // page, once per page, as a browser does.
    bool FollowMetaRefresh = true;
  };

  TBhoWindow();
  explicit TBhoWindow(TOptions options);
  ~TBhoWindow();
  TBhoWindow(const TBhoWindow&) = delete;
  TBhoWindow& operator=(const TBhoWindow&) = delete;

  // A page from memory (only with the default loader).
  void AddPage(const std::u16string& url, std::string html,
               std::u16string contentType = u"text/html");
  memdom::MapResourceLoader& Pages();
  memdom::ScriptBindings& Scripts() { return *scripts_; }

  const platform::ComPtr<memdom::MemBrowser>& Browser() const noexcept { return browser_; }
  platform::HWND Window() const noexcept { return window_; }
  TVxBrowserHelperObject& Helper() const;
  const platform::ComPtr<platform::IObjectWithSite>& HelperObject() const noexcept {
    return helper_;
  }
  TQuillmateAgent& Agent() const { return Helper().Agent(); }
  const platform::ComPtr<TTestSite>& Site() const noexcept { return site_; }

  // SetSite with the window's site, and with none.
  void Attach();
  void Detach();

  void Navigate(const std::u16string& url);
  // Runs queued loads, posted events and the scripted user until nothing
  // is left or maxLoads loads ran; answers the loads run.
  size_t RunPending(size_t maxLoads = 64);
  // Navigate, then RunPending.
  size_t Load(const std::u16string& url, size_t maxLoads = 64);
  // RunPending, then waits for events other threads post, until done()
  // holds or timeout passes; answers done().
  bool PumpUntil(const std::function<bool()>& done,
                 std::chrono::milliseconds timeout = std::chrono::seconds(10));

  // The top HTML document (none for another kind of page), and elements.
  platform::ComPtr<memdom::MemDocument> Document() const;
  // The HTML document of the frame with that name, at any depth.
  platform::ComPtr<memdom::MemDocument> FrameDocument(std::u16string_view name) const;
  platform::ComPtr<platform::PageElement> Element(std::u16string_view id) const;
  platform::ComPtr<platform::PageElement> Element(const platform::ComPtr<memdom::MemDocument>& doc,
                                                  std::u16string_view id) const;
  // The value an input, textarea or select of the top document holds.
  std::u16string Value(std::u16string_view id) const;

private:
  // Navigates to the top page's immediate META refresh target, once per
  // page; false when there is none.
  bool FollowMetaRefresh();

  std::shared_ptr<memdom::ResourceLoader> loader_;
  std::shared_ptr<memdom::ScriptBindings> scripts_;
  platform::ComPtr<memdom::MemBrowser> browser_;
  platform::HWND window_ = platform::NoWindow;
  platform::ComPtr<TTestSite> site_;
  platform::ComPtr<platform::IObjectWithSite> helper_;
  bool followMetaRefresh_ = true;
  platform::ComPtr<memdom::MemDocument> refreshed_;  // the last page whose refresh was followed
};

// Stores the forms the window's page shows now, with the values they hold,
// as the form set name under the page's key, as saving a submitted form
// does. Raises the manager's refusal.
void SavePageForms(TBhoWindow& window, IQoraServer& server, const String& name);

// The usual world of a helper object test: the scripted user installed,
// the real manager in process on a temporary store, and one window.
struct TBhoEnvironment {
  TBhoEnvironment() = default;
  explicit TBhoEnvironment(TBhoWindow::TOptions options) : Window(std::move(options)) {}

  platform::ui::TScriptedBackend Backend;
  platform::ui::TBackendScope BackendScope{Backend};
  TTestManager Manager;
  TBhoWindow Window;
};

}  // namespace qm::testing
