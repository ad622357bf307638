#include "engines/memdom/MemEvents.h"

#include <atomic>

#include "engines/memdom/MemDocument.h"
#include "engines/memdom/MemElements.h"
#include "engines/memdom/MemScript.h"

namespace qm::memdom {

uint32_t NextConnectionCookie() noexcept {
  static std::atomic<uint32_t> next{0};
  uint32_t cookie = ++next;
  if (cookie == 0) cookie = ++next;
  return cookie;
}

namespace {

struct WindowEventScope {
  MemWindow& Window;
  WindowEventScope(MemWindow& window, ComPtr<PageEvent> event) : Window(window) {
    Window.PushEvent(std::move(event));
  }
  ~WindowEventScope() { Window.PopEvent(); }
};

// Calls the sinks of one stop; list() gives the stop's current list (none
// once it has gone), asked again before every call.
template <class ListOf>
void NotifySinks(ListOf list, PageEventType type, const ComPtr<MemEvent>& event) {
  ListenerList* now = list();
  if (now == nullptr || now->Empty()) return;
  const ComPtr<PageEvent> pageEvent(event.Get());
  for (const auto& [cookie, sink] : now->Snapshot()) {
    now = list();
    if (now == nullptr || !now->Has(cookie)) continue;
    try {
      if (!sink->HandleEvent(type, pageEvent)) event->Cancelled = true;
    } catch (...) {
      // A failing sink is one broken listener; the page goes on.
    }
  }
}

void RunHandler(MemElement* element, MemDocument& document, const ComPtr<IUnknown>& script,
                const ComPtr<MemEvent>& event) {
  if (!script) return;
  ScriptContext context;
  context.Element = ComPtr<PageElement>(element);
  context.Event = ComPtr<PageEvent>(event.Get());
  context.Document = &document;
  try {
    if (RunScript(script, context) == false) event->Cancelled = true;
  } catch (...) {
    // A failing page script stops itself, not the event.
  }
  if (context.CancelBubble) event->CancelBubble = true;
}

struct Dispatch {
  bool Bubbles;
  bool RunsScripts;
};

bool DispatchEvent(MemElement& target, PageEventType type, std::u16string_view property,
                   Dispatch how) {
  MemDocument* document = target.OwnerDocument();
  if (document == nullptr || document->Closed()) return true;
  // An event that stays at its target, runs no script and has no sink
  // there reaches nobody: a program's value writes mostly are such.
  if (!how.Bubbles && !how.RunsScripts) {
    const ListenerList* listeners = target.ListenersIfAny();
    if (listeners == nullptr || listeners->Empty()) return true;
  }
  const ComPtr<MemDocument> keepDocument(document);
  const auto event =
      MakeCom<MemEvent>(type, ComPtr<PageElement>(&target), std::u16string(property));
  std::vector<ComPtr<MemElement>> path;
  path.emplace_back(&target);
  if (how.Bubbles) {
    for (MemElement* p = target.Parent(); p != nullptr; p = p->Parent())
      path.emplace_back(p);
  }
  WindowEventScope scope(document->Window(), ComPtr<PageEvent>(event.Get()));
  for (const ComPtr<MemElement>& stop : path) {
    if (stop->OwnerDocument() != document) continue;
    if (how.RunsScripts) RunHandler(stop.Get(), *document, stop->HandlerScript(type), event);
    NotifySinks([&stop] { return stop->ListenersIfAny(); }, type, event);
    if (event->CancelBubble) return !event->Cancelled;
  }
  if (how.Bubbles && !document->Closed()) {
    NotifySinks([document] { return document->Closed() ? nullptr : &document->Listeners(); }, type,
                event);
  }
  return !event->Cancelled;
}

}  // namespace

bool FireClick(MemElement& target) {
  return DispatchEvent(target, PageEventType::Click, {}, {true, true});
}

bool FireMouseDown(MemElement& target) {
  return DispatchEvent(target, PageEventType::MouseDown, {}, {true, true});
}

bool FireMouseUp(MemElement& target) {
  return DispatchEvent(target, PageEventType::MouseUp, {}, {true, true});
}

bool FireSubmit(MemFormElement& form) {
  return DispatchEvent(form, PageEventType::Submit, {}, {false, true});
}

void FireChange(MemElement& control) {
  DispatchEvent(control, PageEventType::Change, {}, {false, true});
}

void FirePropertyChange(MemElement& control, std::u16string_view property, bool fromUser) {
  DispatchEvent(control, PageEventType::PropertyChange, property, {false, fromUser});
}

void FireLoad(MemDocument& document) {
  if (document.Closed()) return;
  const ComPtr<MemDocument> keepDocument(&document);
  const auto event = MakeCom<MemEvent>(PageEventType::Load, nullptr, std::u16string());
  WindowEventScope scope(document.Window(), ComPtr<PageEvent>(event.Get()));
  if (MemElement* body = document.Body()) {
    RunHandler(nullptr, document, body->HandlerScript(PageEventType::Load), event);
  }
  MemWindow& window = document.Window();
  NotifySinks([&document, &window] { return document.Closed() ? nullptr : &window.Listeners(); },
              PageEventType::Load, event);
}

}  // namespace qm::memdom
