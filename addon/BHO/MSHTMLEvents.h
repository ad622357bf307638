// The page event sinks of the helper object: one sink connected to one
// event source (the top document's window for its load, a document for the
// user's clicks, a form for its mousedown and submit), calling a function
// for every event it hears.
//
// The function's answer is the event's: false cancels a cancellable
// event's default action. A function that raises counts as answering true;
// nothing escapes into the page.
//
// Ownership. THTMLEventSink owns the COM sink the page holds while
// connected; that sink reaches the function only while its owner lives, and
// a call in progress keeps the function alive until it returns, so the
// owner may be destroyed (or disconnect) from inside its own event.
// Destruction disconnects. Everything here belongs to the page's
// user-interface thread.
#pragma once

#include <functional>
#include <memory>

#include "platform/dom/PageDocument.h"
#include "platform/dom/PageEvents.h"

namespace qm {

using platform::ComPtr;
using platform::PageEvent;
using platform::PageEventSource;
using platform::PageEventType;

class THTMLEventSink {
public:
  using TEventFunction = std::function<bool(PageEventType type, const ComPtr<PageEvent>& event)>;

  explicit THTMLEventSink(TEventFunction onEvent = {});
  ~THTMLEventSink();
  THTMLEventSink(const THTMLEventSink&) = delete;
  THTMLEventSink& operator=(const THTMLEventSink&) = delete;

  void SetOnEvent(TEventFunction onEvent);
  // Disconnects an earlier source first; none just disconnects. Raises
  // what the source's Advise raises (and stays disconnected then).
  void Connect(const ComPtr<PageEventSource>& source);
  // Never raises; the source is forgotten.
  void Disconnect() noexcept;
  bool Connected() const noexcept { return connection_.Connected(); }
  // The source while connected, else none.
  const ComPtr<PageEventSource>& Source() const noexcept { return connection_.ConnectedSource(); }

private:
  class TRelay;
  ComPtr<TRelay> relay_;
  platform::PageEventConnection connection_;
};

}  // namespace qm
