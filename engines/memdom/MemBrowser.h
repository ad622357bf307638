// The built-in browser: a PageBrowser that loads its documents through a
// ResourceLoader, loads the documents of its frames the same way, raises
// the navigation events in a browser's order (see PageBrowser.h) and
// follows the navigations its pages ask for.
//
// Navigation is two-step, as in a real browser. Asking (Navigate, a link,
// a form, a page script) raises BeforeNavigate2 at once and queues the
// load; RunPendingNavigations performs queued loads later, from the host's
// message loop or a test, never inside the asking call. A new request for
// a browser replaces one still queued for it. SetNavigationQueuedHandler
// lets a host learn that work is waiting.
//
// A page that is not HTML (by its content type) becomes a plain document
// that answers neither PageDocument nor PageObjectContainer; an address
// with nothing behind it shows an empty HTML page. Frames load in document
// order; a frame nested deeper than MaxFrameDepth, or showing an address
// one of its ancestors shows, stays empty.
//
// Ownership. The top browser owns its document, the queue and, through the
// frame elements, the frame browsers; a frame browser knows its parent
// without owning it. Closing (or destroying) the top browser closes every
// document below it. Everything here belongs to one user-interface thread.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "engines/memdom/MemDocument.h"
#include "engines/memdom/MemElements.h"
#include "engines/memdom/MemNavigation.h"
#include "engines/memdom/ResourceLoader.h"
#include "platform/com/SiteInterfaces.h"
#include "platform/dom/PageBrowser.h"

namespace qm::memdom {

// A document that isn't HTML: a picture, a text, some download.
struct IMemPlainDocument : IUnknown {
  static constexpr IID Iid = platform::MakeGuid("{6A1E2B41-51C3-4E0B-9C7A-2D4F0E8B1404}");
  using BaseInterface = IUnknown;
  virtual std::u16string Url() = 0;
  virtual std::u16string ContentType() = 0;
  virtual const std::string& Bytes() = 0;
};

class MemBrowser final
    : public platform::ComObject<platform::PageBrowser, IMemFrameContent, platform::IServiceProvider>,
      public NavigationHost {
public:
  static constexpr int MaxFrameDepth = 8;

  // A top browser. scripts: shared by every document it loads (none: an
  // empty set of its own).
  static ComPtr<MemBrowser> Create(std::shared_ptr<ResourceLoader> loader,
                                   std::shared_ptr<ScriptBindings> scripts = {});
  ~MemBrowser() override;

  // --- PageBrowser ---
  ComPtr<IUnknown> Document() override;
  std::u16string LocationURL() override { return closed_ ? std::u16string() : url_; }
  void Navigate(const std::u16string& url, const Variant& flags, const Variant& targetFrameName,
                const Variant& postData, const Variant& headers) override;
  int64_t HWND() override { return window_; }
  bool Visible() override { return visible_; }
  void PutProperty(const std::u16string& name, const Variant& value) override;
  Variant GetProperty(const std::u16string& name) override;
  uint32_t Advise(const ComPtr<platform::PageBrowserEvents>& sink) override;
  void Unadvise(uint32_t cookie) override;

  // --- IServiceProvider: SID_SWebBrowserApp is the top browser ---
  platform::HRESULT QueryService(const platform::GUID& service, const platform::IID& iid,
                       void** object) override;

  // --- IMemFrameContent ---
  void FrameElementGone() noexcept override;

  // --- engine ---
  // Raises BeforeNavigate2 and queues the load unless a sink cancels.
  void BeginNavigation(NavigationRequest request);
  // Performs the oldest queued load; false when none was waiting (or when
  // called again from inside a load: the outer call goes on with the queue).
  bool RunPendingNavigation();
  // Performs queued loads, also those they queue, up to limit; answers how
  // many ran.
  size_t RunPendingNavigations(size_t limit = 64);
  bool HasPendingNavigation() const;
  // Navigate and run the queue: the usual way for tests and tools to show
  // a page.
  void Load(const std::u16string& url);

  // The HTML document shown; none for a plain or no document.
  ComPtr<MemDocument> HtmlDocument() const { return htmlDocument_; }
  // The browsers of the frames of the document shown, in document order.
  std::vector<ComPtr<MemBrowser>> Frames();
  MemBrowser* Parent() const noexcept { return parent_; }
  MemBrowser& Top() noexcept;
  const std::u16string& FrameName() const noexcept { return name_; }
  bool Closed() const noexcept { return closed_; }
  // Shows nothing from now on; closes the documents below.
  void Close() noexcept;

  void SetWindowHandle(int64_t window) noexcept { window_ = window; }
  void SetVisible(bool visible) noexcept { visible_ = visible; }
  // Called when a navigation was queued (the host then arranges for
  // RunPendingNavigations).
  void SetNavigationQueuedHandler(std::function<void()> handler) {
    Top().onQueued_ = std::move(handler);
  }
  // Gives the browser of a new window when a page opens one and no sink of
  // NewWindow2 supplied it; none drops the navigation.
  void SetNewWindowHandler(std::function<ComPtr<MemBrowser>()> handler) {
    Top().onNewWindow_ = std::move(handler);
  }

  // --- NavigationHost ---
  void NavigateFrom(MemDocument& document, const NavigationRequest& request) override;

private:
  MemBrowser(std::shared_ptr<ResourceLoader> loader, std::shared_ptr<ScriptBindings> scripts,
             MemBrowser* parent, std::u16string name);

  struct Pending {
    ComPtr<MemBrowser> Target;
    NavigationRequest Request;
  };

  MemBrowser* FindFrame(const std::u16string& name);
  MemBrowser* ResolveTarget(const std::u16string& target, bool& newWindow);
  // Loads request into this browser at once, frames included; with
  // ownDownload it ends with DownloadComplete.
  void LoadNow(const NavigationRequest& request, int depth, bool ownDownload);
  void LoadFrames(int depth);
  void ShowDocument(ComPtr<IUnknown> document, ComPtr<MemDocument> html, std::u16string url);

  // One helper per browser event; each tells this browser's sinks and its
  // ancestors'.
  bool RaiseBeforeNavigate2(const NavigationRequest& request);
  void RaiseNavigateComplete2(const std::u16string& url);
  void RaiseDocumentComplete(const std::u16string& url);
  void RaiseDownloadComplete();
  bool RaiseNewWindow2(ComPtr<platform::PageBrowser>& newBrowser);
  template <class Call>
  void ForEachSink(Call call);

  std::shared_ptr<ResourceLoader> loader_;
  std::shared_ptr<ScriptBindings> scripts_;
  MemBrowser* parent_;
  std::u16string name_;
  std::u16string url_;
  ComPtr<IUnknown> document_;
  ComPtr<MemDocument> htmlDocument_;
  SinkList<platform::PageBrowserEvents> sinks_;
  std::map<std::u16string, Variant> properties_;
  int64_t window_ = 0;
  bool visible_ = true;
  bool closed_ = false;
  // Top browser only:
  std::vector<Pending> queue_;
  bool running_ = false;
  std::function<void()> onQueued_;
  std::function<ComPtr<MemBrowser>()> onNewWindow_;
};

}  // namespace qm::memdom
