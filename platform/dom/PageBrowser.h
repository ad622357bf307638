// The browser: one for the top window and one for each frame. It shows a
// document, navigates, and tells its navigation events to connected sinks.
//
// Events. A browser raises the events of its own navigations and of those
// of every frame below it, with the browser that navigates as the first
// argument, so a sink connected to the top browser hears every frame. A
// top-level page load raises, in this order:
//   BeforeNavigate2 (top)            when the navigation is asked for; a
//                                    sink that sets cancel stops it
//   NavigateComplete2 (top)          the new document is in place
//   for each frame, in document order (and their frames, depth first):
//     BeforeNavigate2, NavigateComplete2, ..., DocumentComplete (frame),
//     and the frame window's onload
//   DownloadComplete
//   DocumentComplete (top)
//   onload of the top window
// BeforeNavigate2 arrives inside the call that asked for the navigation
// (a click(), a submit(), Navigate); the rest arrives later, from the
// browser's own message handling, never inside the asking call.
// NewWindow2 is raised before a navigation that opens a new window; a sink
// may set cancel, or hand over the browser that shall show it.
//
// Ownership. The browser holds its document; replacing the document
// detaches the old one's elements (see PageDocument.h). A frame's browser
// lives while its frame element does; after that it shows nothing and
// navigates nowhere. Sinks are held while connected.
//
// Services. Every browser also answers IServiceProvider
// (platform/com/SiteInterfaces.h): QueryService(SID_SWebBrowserApp,
// PageBrowser::Iid) gives its window's top browser, so that whoever holds
// a browser (a toolbar's automation object) finds the top one the way a
// hosted object finds it through its site.
//
// Everything here belongs to the browser's user-interface thread.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <utility>

#include "platform/com/Unknown.h"
#include "platform/com/Variant.h"
#include "platform/dom/PageEvents.h"

namespace qm::platform {

struct PageBrowser;

struct PageBrowserEvents : IUnknown {
  static constexpr IID Iid = MakeGuid("{6A1E2B41-51C3-4E0B-9C7A-2D4F0E8B1301}");
  using BaseInterface = IUnknown;

  // flags: the navigation's flags; postData: a byte array, or empty for a
  // navigation without a body; headers: extra request headers, each line
  // ending in "\r\n".
  virtual void BeforeNavigate2(const ComPtr<PageBrowser>& browser, const std::u16string& url,
                               int32_t flags, const std::u16string& targetFrameName,
                               const Variant& postData, const std::u16string& headers,
                               bool& cancel) = 0;
  virtual void NavigateComplete2(const ComPtr<PageBrowser>& browser, const std::u16string& url) = 0;
  virtual void DocumentComplete(const ComPtr<PageBrowser>& browser, const std::u16string& url) = 0;
  virtual void DownloadComplete() = 0;
  virtual void NewWindow2(ComPtr<PageBrowser>& newBrowser, bool& cancel) = 0;
};

struct PageBrowser : IUnknown {
  static constexpr IID Iid = MakeGuid("{D30C1661-CDAF-11D0-8A3E-00C04FC9E26E}");
  using BaseInterface = IUnknown;

  // The document shown: none before the first navigation; an HTML document
  // answers PageDocument, any other (a picture, a text) does not.
  virtual ComPtr<IUnknown> Document() = 0;
  // The address of the document shown; empty before the first navigation.
  virtual std::u16string LocationURL() = 0;
  // Asks for a navigation. Empty variants mean absent. targetFrameName: a
  // frame's name, "_self", "_top", "_parent", "_blank". postData: a byte
  // array. headers: text.
  virtual void Navigate(const std::u16string& url, const Variant& flags,
                        const Variant& targetFrameName, const Variant& postData,
                        const Variant& headers) = 0;
  // The handle of the browser's window; 0 when it has none.
  virtual int64_t HWND() = 0;
  virtual bool Visible() = 0;
  // Named values that any party may leave on the browser (empty when never
  // set).
  virtual void PutProperty(const std::u16string& name, const Variant& value) = 0;
  virtual Variant GetProperty(const std::u16string& name) = 0;

  // Connects a sink to the browser's events (the cookie is never 0).
  virtual uint32_t Advise(const ComPtr<PageBrowserEvents>& sink) = 0;
  virtual void Unadvise(uint32_t cookie) = 0;
};

using BrowserEventConnection = SinkConnection<PageBrowser, PageBrowserEvents>;

// A browser event sink that calls functions; an unset function is skipped.
// Each function's first argument is the sink itself.
class BrowserEventHandlers final : public ComObject<PageBrowserEvents> {
public:
  std::function<void(BrowserEventHandlers&, const ComPtr<PageBrowser>& browser,
                     const std::u16string& url, int32_t flags, const std::u16string& target,
                     const Variant& postData, const std::u16string& headers, bool& cancel)>
      OnBeforeNavigate2;
  std::function<void(BrowserEventHandlers&, const ComPtr<PageBrowser>&, const std::u16string&)>
      OnNavigateComplete2;
  std::function<void(BrowserEventHandlers&, const ComPtr<PageBrowser>&, const std::u16string&)>
      OnDocumentComplete;
  std::function<void(BrowserEventHandlers&)> OnDownloadComplete;
  std::function<void(BrowserEventHandlers&, ComPtr<PageBrowser>&, bool&)> OnNewWindow2;

  void BeforeNavigate2(const ComPtr<PageBrowser>& browser, const std::u16string& url, int32_t flags,
                       const std::u16string& targetFrameName, const Variant& postData,
                       const std::u16string& headers, bool& cancel) override;
  void NavigateComplete2(const ComPtr<PageBrowser>& browser, const std::u16string& url) override;
  void DocumentComplete(const ComPtr<PageBrowser>& browser, const std::u16string& url) override;
  void DownloadComplete() override;
  void NewWindow2(ComPtr<PageBrowser>& newBrowser, bool& cancel) override;
};

}  // namespace qm::platform
