// Events in the built-in engine: sink lists, the event object, and the one
// named helper per event that raises it.
//
// Dispatch. An event goes to its target and, for click, mousedown and
// mouseup, on up through every ancestor to the document. At each stop the
// page's own handler script runs first (when scripts run at all), then the
// connected sinks in the order they connected. The window's `event` is the
// event while this happens. A handler answering false cancels the default
// action of a cancellable event. Sinks are taken from a snapshot, and each
// one is asked whether it is still connected just before its call, so a
// sink disconnected during the event is not called any more.
//
// Program changes of value, checked and selected raise propertychange for
// the sinks only: writing a property never runs a page script.
//
// Everything here belongs to the page's user-interface thread.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "engines/memdom/MemNode.h"
#include "platform/dom/PageEvents.h"

namespace qm::memdom {

class MemDocument;

// A new connection cookie, unique in the process, never 0.
uint32_t NextConnectionCookie() noexcept;

// Sinks connected to one source, in the order they connected.
template <class Sink>
class SinkList {
public:
  uint32_t Add(const ComPtr<Sink>& sink) {
    const uint32_t cookie = NextConnectionCookie();
    sinks_.emplace_back(cookie, sink);
    return cookie;
  }
  void Remove(uint32_t cookie) {
    std::erase_if(sinks_, [cookie](const auto& entry) { return entry.first == cookie; });
  }
  bool Has(uint32_t cookie) const noexcept {
    for (const auto& entry : sinks_) {
      if (entry.first == cookie) return true;
    }
    return false;
  }
  bool Empty() const noexcept { return sinks_.empty(); }
  void Clear() noexcept { sinks_.clear(); }
  std::vector<std::pair<uint32_t, ComPtr<Sink>>> Snapshot() const { return sinks_; }

private:
  std::vector<std::pair<uint32_t, ComPtr<Sink>>> sinks_;
};

using ListenerList = SinkList<PageEventSink>;

class MemEvent final : public platform::ComObject<PageEvent> {
public:
  MemEvent(PageEventType type, ComPtr<PageElement> source, std::u16string propertyName)
      : type_(type), source_(std::move(source)), propertyName_(std::move(propertyName)) {}

  PageEventType type() override { return type_; }
  ComPtr<PageElement> srcElement() override { return source_; }
  std::u16string propertyName() override { return propertyName_; }

  bool Cancelled = false;
  bool CancelBubble = false;

private:
  PageEventType type_;
  ComPtr<PageElement> source_;
  std::u16string propertyName_;
};

// Each returns true when the default action may go on.
bool FireClick(MemElement& target);
bool FireMouseDown(MemElement& target);
bool FireMouseUp(MemElement& target);
bool FireSubmit(MemFormElement& form);
// A committed change of a control's value or selection, by the user or by
// a click; runs the control's change script.
void FireChange(MemElement& control);
// property: "value", "checked" or "selected". fromUser also runs the
// page's own handler script.
void FirePropertyChange(MemElement& control, std::u16string_view property, bool fromUser = false);
// The window's load: the body's onload script, then the window's sinks.
void FireLoad(MemDocument& document);

}  // namespace qm::memdom
