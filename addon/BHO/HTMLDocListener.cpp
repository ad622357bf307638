#include "addon/BHO/HTMLDocListener.h"

#include <utility>

#include "core/Common/VxSystem.h"

namespace qm {

using platform::IUnknown;
using platform::PageObjectContainer;

// --- THTMLDocSink ---

THTMLDocSink::THTMLDocSink() {
  events_.SetOnEvent([this](PageEventType type, const ComPtr<PageEvent>& event) {
    return HandleEvent(type, event);
  });
}

void THTMLDocSink::Connect(const ComPtr<PageDocument>& document) {
  document_ = document;
  events_.Connect(ComPtr<PageEventSource>(document.Get()));
}

bool THTMLDocSink::HandleEvent(PageEventType type, const ComPtr<PageEvent>& event) {
  const TDocEventNotify* notify = nullptr;
  switch (type) {
    case PageEventType::Click:
      notify = &OnClick;
      break;
    case PageEventType::MouseDown:
      notify = &OnMouseDown;
      break;
    case PageEventType::MouseUp:
      notify = &OnMouseUp;
      break;
    default:
      return true;
  }
  if (!*notify) return true;
  // A copy: the notification may end with this sink freed (a Reattach
  // run by what it started).
  const TDocEventNotify call = *notify;
  const ComPtr<PageDocument> document = document_;
  Swallowed([&] {
    // The event object the page's window dispatches, as its handlers see it.
    ComPtr<PageEvent> current;
    if (document) {
      if (const auto window = document->parentWindow()) current = window->event();
    }
    call(current ? current : event);
  });
  return true;  // the click's default action goes on
}

// --- THTMLDocListener ---

void THTMLDocListener::Reattach() noexcept {
  DetachAll();
  if (browser_) Attach(browser_);
}

void THTMLDocListener::DetachAll() noexcept {
  // Freed from a local list, so that a sink's event arriving meanwhile
  // finds the listener already empty.
  std::vector<std::unique_ptr<THTMLDocSink>> old = std::move(sinks_);
  sinks_.clear();
  old.clear();
}

void THTMLDocListener::Attach(const ComPtr<PageBrowser>& browser) noexcept {
  // Depth first in document order, without recursion: a document's frames
  // are pushed last first.
  std::vector<ComPtr<PageBrowser>> pending{browser};
  while (!pending.empty()) {
    const ComPtr<PageBrowser> current = std::move(pending.back());
    pending.pop_back();
    Swallowed([&] {
      if (!current) return;
      const ComPtr<PageDocument> document = current->Document().As<PageDocument>();
      if (!document) return;
      auto sink = std::make_unique<THTMLDocSink>();
      sink->OnClick = [this](const ComPtr<PageEvent>& e) {
        if (OnClick) OnClick(e);
      };
      sink->OnMouseDown = [this](const ComPtr<PageEvent>& e) {
        if (OnMouseDown) OnMouseDown(e);
      };
      sink->OnMouseUp = [this](const ComPtr<PageEvent>& e) {
        if (OnMouseUp) OnMouseUp(e);
      };
      sink->Connect(document);
      sinks_.push_back(std::move(sink));
      const auto container = document.As<PageObjectContainer>();
      if (!container) return;
      const std::vector<ComPtr<IUnknown>> objects = container->embeddedObjects();
      for (auto it = objects.rbegin(); it != objects.rend(); ++it) {
        Swallowed([&] {
          if (auto frame = it->As<PageBrowser>()) pending.push_back(std::move(frame));
        });
      }
    });
  }
}

}  // namespace qm
