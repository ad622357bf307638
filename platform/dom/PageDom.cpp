#include "platform/dom/PageBrowser.h"
#include "platform/dom/PageDocument.h"
#include "platform/dom/PageEvents.h"

namespace qm::platform {

std::u16string_view PageEventName(PageEventType type) {
  switch (type) {
    case PageEventType::Click:
      return u"click";
    case PageEventType::MouseDown:
      return u"mousedown";
    case PageEventType::MouseUp:
      return u"mouseup";
    case PageEventType::Submit:
      return u"submit";
    case PageEventType::Change:
      return u"change";
    case PageEventType::PropertyChange:
      return u"propertychange";
    case PageEventType::Load:
      return u"load";
  }
  return u"";
}

bool PageEventHandler::HandleEvent(PageEventType type, const ComPtr<PageEvent>& event) {
  return function_ ? function_(type, event) : true;
}

ComPtr<PageEventSink> MakePageEventSink(PageEventHandler::Function function) {
  return MakeCom<PageEventHandler>(std::move(function));
}

void BrowserEventHandlers::BeforeNavigate2(const ComPtr<PageBrowser>& browser,
                                           const std::u16string& url, int32_t flags,
                                           const std::u16string& targetFrameName,
                                           const Variant& postData, const std::u16string& headers,
                                           bool& cancel) {
  if (OnBeforeNavigate2) {
    OnBeforeNavigate2(*this, browser, url, flags, targetFrameName, postData, headers, cancel);
  }
}

void BrowserEventHandlers::NavigateComplete2(const ComPtr<PageBrowser>& browser,
                                             const std::u16string& url) {
  if (OnNavigateComplete2) OnNavigateComplete2(*this, browser, url);
}

void BrowserEventHandlers::DocumentComplete(const ComPtr<PageBrowser>& browser,
                                            const std::u16string& url) {
  if (OnDocumentComplete) OnDocumentComplete(*this, browser, url);
}

void BrowserEventHandlers::DownloadComplete() {
  if (OnDownloadComplete) OnDownloadComplete(*this);
}

void BrowserEventHandlers::NewWindow2(ComPtr<PageBrowser>& newBrowser, bool& cancel) {
  if (OnNewWindow2) OnNewWindow2(*this, newBrowser, cancel);
}

}  // namespace qm::platform
