// The document listener: the user's clicks in every frame of a page, not
// only in the top document. THTMLDocListener keeps one THTMLDocSink for the
// document of the top browser and one for the document of every frame,
// nested to any depth, and funnels their click, mousedown and mouseup into
// its three notifications, each with the event object being dispatched.
// Frames come and go while a page loads, so the helper object rebuilds the
// whole set at every navigation event (Reattach); between two calls the
// sinks are exactly the HTML documents that existed at the last one.
//
// No failure leaves the listener: a document that can't be reached gets no
// sink, a frame that fails is skipped (a frame whose document isn't HTML
// gets none, nor do its frames), an event that can't be passed on is
// dropped.
//
// Ownership: the listener owns its sinks and holds the top browser; a sink
// holds its document while connected and disconnects when freed. The
// helper object owns the listener. Everything here belongs to the browser
// window's user-interface thread.
#pragma once

#include <functional>
#include <memory>
#include <vector>

#include "addon/BHO/MSHTMLEvents.h"
#include "platform/dom/PageBrowser.h"
#include "platform/dom/PageDocument.h"

namespace qm {

using platform::PageBrowser;
using platform::PageDocument;

using TDocEventNotify = std::function<void(const ComPtr<PageEvent>& event)>;

// The sink of one document.
class THTMLDocSink {
public:
  THTMLDocSink();
  TDocEventNotify OnClick;
  TDocEventNotify OnMouseUp;
  TDocEventNotify OnMouseDown;

  // Raises what the document's Advise raises.
  void Connect(const ComPtr<PageDocument>& document);
  const ComPtr<PageDocument>& Document() const noexcept { return document_; }

private:
  bool HandleEvent(PageEventType type, const ComPtr<PageEvent>& event);

  ComPtr<PageDocument> document_;
  THTMLEventSink events_;
};

class THTMLDocListener {
public:
  TDocEventNotify OnClick;
  TDocEventNotify OnMouseUp;
  TDocEventNotify OnMouseDown;

  void SetBrowser(const ComPtr<PageBrowser>& browser) { browser_ = browser; }
  const ComPtr<PageBrowser>& Browser() const noexcept { return browser_; }
  // DetachAll, then Attach of the browser (when there is one).
  void Reattach() noexcept;
  // Frees every sink (each disconnects from its document).
  void DetachAll() noexcept;
  // Adds sinks for browser's document and the documents of all its frames.
  void Attach(const ComPtr<PageBrowser>& browser) noexcept;

  int SinkCount() const noexcept { return static_cast<int>(sinks_.size()); }
  const THTMLDocSink& Sinks(int index) const { return *sinks_.at(static_cast<size_t>(index)); }

private:
  std::vector<std::unique_ptr<THTMLDocSink>> sinks_;
  ComPtr<PageBrowser> browser_;
};

}  // namespace qm
