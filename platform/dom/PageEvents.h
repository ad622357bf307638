// Page events: the event object, the sinks that receive events, the
// sources they connect to, and the connection that pairs the two.
//
// An element, a form, a document and a window are event sources. A sink is
// connected with Advise, which answers a cookie, and disconnected with
// Unadvise. While connected, the source holds a reference to the sink and
// calls HandleEvent for every event it raises (or that bubbles through it);
// after Unadvise it calls the sink never again, even when the disconnection
// happens in the middle of an event, and it drops its reference.
//
// SinkConnection is the client side of one such pairing: it holds the source
// while connected and forgets it on Disconnect, so a disconnected sink keeps
// nothing of the page alive. Owners that want their handler to reach them
// keep the sink's handler pointing at themselves and disconnect in their
// destructor; that breaks the only cycle (source -> sink -> owner -> source).
//
// Everything here belongs to the browser's user-interface thread.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <utility>

#include "platform/com/Unknown.h"

namespace qm::platform {

struct PageElement;

enum class PageEventType : uint8_t {
  Click,           // bubbles; cancellable (the click's default action)
  MouseDown,       // bubbles
  MouseUp,         // bubbles
  Submit,          // at the form; cancellable (the submission)
  Change,          // at the control
  PropertyChange,  // at the control (value, checked, selected)
  Load,            // at the window
};

// "click", "mousedown", ... as a page's event object names them.
std::u16string_view PageEventName(PageEventType type);

// The event being dispatched. It is also the window's current `event`
// while its handlers run.
struct PageEvent : IUnknown {
  static constexpr IID Iid = MakeGuid("{6A1E2B41-51C3-4E0B-9C7A-2D4F0E8B1101}");
  using BaseInterface = IUnknown;

  virtual PageEventType type() = 0;
  // The element the event happened on; none for a window's load.
  virtual ComPtr<PageElement> srcElement() = 0;
  // For PropertyChange: "value", "checked" or "selected"; else empty.
  virtual std::u16string propertyName() = 0;
};

struct PageEventSink : IUnknown {
  static constexpr IID Iid = MakeGuid("{6A1E2B41-51C3-4E0B-9C7A-2D4F0E8B1102}");
  using BaseInterface = IUnknown;

  // Called for each event of the source. For a cancellable event, false
  // cancels its default action; the answer is ignored otherwise. A handler
  // that raises is treated as answering true; the event goes on.
  virtual bool HandleEvent(PageEventType type, const ComPtr<PageEvent>& event) = 0;
};

struct PageEventSource : IUnknown {
  static constexpr IID Iid = MakeGuid("{6A1E2B41-51C3-4E0B-9C7A-2D4F0E8B1103}");
  using BaseInterface = IUnknown;

  // Connects sink (which must not be none); the cookie is never 0. A source
  // that has gone away (a replaced document's element) accepts the sink and
  // never calls it.
  virtual uint32_t Advise(const ComPtr<PageEventSink>& sink) = 0;
  // Disconnects; unknown cookies are ignored.
  virtual void Unadvise(uint32_t cookie) = 0;
};

// A sink that calls a function; the usual way to write one.
class PageEventHandler final : public ComObject<PageEventSink> {
public:
  using Function = std::function<bool(PageEventType, const ComPtr<PageEvent>&)>;
  explicit PageEventHandler(Function function) : function_(std::move(function)) {}
  bool HandleEvent(PageEventType type, const ComPtr<PageEvent>& event) override;

private:
  Function function_;
};

ComPtr<PageEventSink> MakePageEventSink(PageEventHandler::Function function);

// One connection of a sink to a source, from the client's side. Source is
// any interface with Advise(ComPtr<Sink>) -> cookie and Unadvise(cookie).
// Move-only; destruction disconnects.
template <class Source, class Sink>
class SinkConnection {
public:
  SinkConnection() = default;
  SinkConnection(const SinkConnection&) = delete;
  SinkConnection& operator=(const SinkConnection&) = delete;
  SinkConnection(SinkConnection&& o) noexcept
      : source_(std::move(o.source_)), cookie_(std::exchange(o.cookie_, 0)) {}
  SinkConnection& operator=(SinkConnection&& o) noexcept {
    if (this != &o) {
      Disconnect();
      source_ = std::move(o.source_);
      cookie_ = std::exchange(o.cookie_, 0);
    }
    return *this;
  }
  ~SinkConnection() { Disconnect(); }

  // Disconnects an earlier pairing first. Raises what Advise raises, and
  // leaves this connection disconnected then.
  void Connect(const ComPtr<Source>& source, const ComPtr<Sink>& sink) {
    Disconnect();
    if (!source || !sink) return;
    cookie_ = source->Advise(sink);
    source_ = source;
  }
  // Never raises; afterwards the source is forgotten.
  void Disconnect() noexcept {
    ComPtr<Source> source = std::move(source_);
    source_ = nullptr;
    const uint32_t cookie = std::exchange(cookie_, 0);
    if (!source || cookie == 0) return;
    try {
      source->Unadvise(cookie);
    } catch (...) {
      // The source is gone either way; nothing of it is kept.
    }
  }
  bool Connected() const noexcept { return static_cast<bool>(source_); }
  // The source while connected, else none.
  const ComPtr<Source>& ConnectedSource() const noexcept { return source_; }

private:
  ComPtr<Source> source_;
  uint32_t cookie_ = 0;
};

using PageEventConnection = SinkConnection<PageEventSource, PageEventSink>;

}  // namespace qm::platform
