#include "addon/BHO/SHDocVwEvents.h"

#include <utility>

namespace qm {
namespace {

// Runs one handler behind the event's edge.
template <class F>
void AtEdge(F&& call) noexcept {
  try {
    call();
  } catch (...) {
    // A failed event call; the browser goes on.
  }
}

}  // namespace

TWebBrowserEvents::TWebBrowserEvents(THandlers handlers)
    : sink_(platform::MakeCom<platform::BrowserEventHandlers>()),
      handlers_(std::make_shared<const THandlers>(std::move(handlers))) {
  // Each function holds the handlers weakly, and strongly while it runs.
  const std::weak_ptr<const THandlers> weak = handlers_;
  sink_->OnBeforeNavigate2 = [weak](platform::BrowserEventHandlers&,
                                    const ComPtr<PageBrowser>& browser, const std::u16string& url,
                                    int32_t flags, const std::u16string& target,
                                    const Variant& postData, const std::u16string& headers,
                                    bool& cancel) {
    const auto h = weak.lock();
    if (h && h->OnBeforeNavigate2) {
      AtEdge([&] { h->OnBeforeNavigate2(browser, url, flags, target, postData, headers, cancel); });
    }
  };
  sink_->OnNavigateComplete2 = [weak](platform::BrowserEventHandlers&,
                                      const ComPtr<PageBrowser>& browser,
                                      const std::u16string& url) {
    const auto h = weak.lock();
    if (h && h->OnNavigateComplete2) AtEdge([&] { h->OnNavigateComplete2(browser, url); });
  };
  sink_->OnDocumentComplete = [weak](platform::BrowserEventHandlers&,
                                     const ComPtr<PageBrowser>& browser,
                                     const std::u16string& url) {
    const auto h = weak.lock();
    if (h && h->OnDocumentComplete) AtEdge([&] { h->OnDocumentComplete(browser, url); });
  };
  sink_->OnDownloadComplete = [weak](platform::BrowserEventHandlers&) {
    const auto h = weak.lock();
    if (h && h->OnDownloadComplete) AtEdge([&] { h->OnDownloadComplete(); });
  };
  sink_->OnNewWindow2 = [weak](platform::BrowserEventHandlers&, ComPtr<PageBrowser>& newBrowser,
                               bool& cancel) {
    const auto h = weak.lock();
    if (h && h->OnNewWindow2) AtEdge([&] { h->OnNewWindow2(newBrowser, cancel); });
  };
}

TWebBrowserEvents::~TWebBrowserEvents() {
  Disconnect();
}

void TWebBrowserEvents::Connect(const ComPtr<PageBrowser>& browser) {
  connection_.Connect(browser, ComPtr<platform::PageBrowserEvents>(sink_.Get()));
}

void TWebBrowserEvents::Disconnect() noexcept {
  connection_.Disconnect();
}

}  // namespace qm
