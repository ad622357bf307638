// The helper object's browser event sink: the navigation events of one
// browser (and, as a browser raises them, of all its frames) delivered to
// functions its owner sets. Of the browser's events it hears
// BeforeNavigate2, NavigateComplete2, DocumentComplete, DownloadComplete
// and NewWindow2; an unset function is skipped. Each function runs behind
// an edge: what it raises is dropped there, as a failed event call that
// the browser ignores.
//
// Ownership. The browser holds the COM sink while connected; the sink
// reaches the functions only while its owner lives, and a call in progress
// keeps them alive until it returns. Destruction disconnects. Everything
// here belongs to the browser's user-interface thread.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "platform/dom/PageBrowser.h"

namespace qm {

using platform::ComPtr;
using platform::PageBrowser;
using platform::Variant;

class TWebBrowserEvents {
public:
  struct THandlers {
    std::function<void(const ComPtr<PageBrowser>& browser, const std::u16string& url,
                       int32_t flags, const std::u16string& targetFrame, const Variant& postData,
                       const std::u16string& headers, bool& cancel)>
        OnBeforeNavigate2;
    std::function<void(const ComPtr<PageBrowser>& browser, const std::u16string& url)>
        OnNavigateComplete2;
    std::function<void(const ComPtr<PageBrowser>& browser, const std::u16string& url)>
        OnDocumentComplete;
    std::function<void()> OnDownloadComplete;
    std::function<void(ComPtr<PageBrowser>& newBrowser, bool& cancel)> OnNewWindow2;
  };

  explicit TWebBrowserEvents(THandlers handlers);
  ~TWebBrowserEvents();
  TWebBrowserEvents(const TWebBrowserEvents&) = delete;
  TWebBrowserEvents& operator=(const TWebBrowserEvents&) = delete;

  // Disconnects an earlier browser first. Raises what Advise raises.
  void Connect(const ComPtr<PageBrowser>& browser);
  // Never raises.
  void Disconnect() noexcept;
  bool Connected() const noexcept { return connection_.Connected(); }

private:
  ComPtr<platform::BrowserEventHandlers> sink_;
  std::shared_ptr<const THandlers> handlers_;
  platform::BrowserEventConnection connection_;
};

}  // namespace qm
