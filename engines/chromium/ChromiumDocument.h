// A frame's document as the add-on sees it, served from a mirror of the
// page's forms and controls.
//
// The mirror is one answer of the page script (PageScript.h) per frame: the
// forms, controls, options, links, meta and frame elements with their
// attributes and live state, in document order. It is taken again only at
// a point where the page may have changed (the page told us of an event or
// a change of its tree, we navigated, clicked or applied writes) and then
// costs one call, answered "unchanged" when nothing changed. Elements the
// mirror leaves out (a div reached as a click's source) are described by
// one call each, kept until the page changes.
//
// Writes change the mirror at once and queue an operation; the queue goes
// to the page in one call before the next call to the page, before click()
// and submit(), and at the end of the thread's current task (a flush
// posted to the window's thread at the first queued write).
//
// Identity: one ChromiumElement per page element per document, however it
// is reached. Ownership: the document holds its elements; elements and the
// window point back at it without holding it. Close (navigation, a crashed
// renderer, the tab's end) detaches every element and drops every sink.
//
// Everything here belongs to the tab's window thread.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <unordered_map>
#include <vector>

#include "engines/chromium/DevToolsConnection.h"
#include "platform/dom/PageDocument.h"

namespace qm::chromium {

using platform::ComPtr;
using platform::IUnknown;
using platform::PageElement;
using platform::PageEvent;
using platform::PageEventSink;
using platform::PageEventType;
using platform::Variant;

class Tab;
class ChromiumDocument;
class ChromiumElement;

// Lists a document's elements of one tag (upper case; empty: any).
using ElementLister =
    std::function<std::vector<ComPtr<PageElement>>(ChromiumDocument&, const std::u16string& tag)>;
// A live collection: listed again whenever the page may have changed.
ComPtr<platform::ElementCollection> MakeElementCollection(const ComPtr<ChromiumDocument>& document,
                                                         ElementLister lister);

// A new connection cookie, never 0.
uint32_t NextSinkCookie() noexcept;

// Sinks connected to one source, in the order they connected.
class SinkList {
public:
  uint32_t Add(const ComPtr<PageEventSink>& sink);
  void Remove(uint32_t cookie);
  bool Has(uint32_t cookie) const noexcept;
  bool Empty() const noexcept { return sinks_.empty(); }
  void Clear() noexcept { sinks_.clear(); }
  std::vector<std::pair<uint32_t, ComPtr<PageEventSink>>> Snapshot() const { return sinks_; }

private:
  std::vector<std::pair<uint32_t, ComPtr<PageEventSink>>> sinks_;
};

// What the page script told of one element.
struct ElementRecord {
  int64_t Id = 0;
  std::u16string Tag;  // as the page gives it ("INPUT")
  int32_t Index = -1;  // position in the document's order; -1 detached
  std::vector<std::pair<std::u16string, std::u16string>> Attributes;
  int64_t Form = 0;
  std::u16string Type, Value, DefaultValue, Text, Href;
  bool Checked = false;
  bool Selected = false;
  int32_t MaxLength = -1;
  int32_t OptionIndex = -1;
  std::vector<int64_t> Options;
  std::vector<int64_t> Controls;  // forms: their listed elements, in order
  int64_t Parent = 0;             // described elements only
  bool Mirrored = false;

  const std::u16string* FindAttribute(std::u16string_view name) const;
  void StoreAttribute(std::u16string_view name, std::u16string value);
  bool DropAttribute(std::u16string_view name);
};

// The mirror as the page script answered it (JSON text). Raises
// EChromiumError (Refused) for text that is no mirror.
struct MirrorData {
  std::u16string Url, Charset, Title;
  std::vector<ElementRecord> Records;  // document order
};
MirrorData ParseMirror(const std::string& text);

class ChromiumWindow final : public platform::ComObject<platform::PageWindow> {
public:
  explicit ChromiumWindow(ChromiumDocument* document) : document_(document) {}
  uint32_t Advise(const ComPtr<PageEventSink>& sink) override;
  void Unadvise(uint32_t cookie) override { sinks_.Remove(cookie); }
  ComPtr<PageEvent> event() override;
  ComPtr<platform::PageDocument> document() override;

  SinkList& Sinks() { return sinks_; }
  void PushEvent(ComPtr<PageEvent> event) { events_.push_back(std::move(event)); }
  void PopEvent() {
    if (!events_.empty()) events_.pop_back();
  }
  void Detach() noexcept;

private:
  ChromiumDocument* document_;
  SinkList sinks_;
  std::vector<ComPtr<PageEvent>> events_;
};

class ChromiumDocument final
    : public platform::ComObject<platform::PageDocument, platform::PageObjectContainer> {
public:
  ChromiumDocument(Tab* tab, std::string frameId);
  ~ChromiumDocument() override;

  // --- PageDocument ---
  uint32_t Advise(const ComPtr<PageEventSink>& sink) override;
  void Unadvise(uint32_t cookie) override { sinks_.Remove(cookie); }
  ComPtr<platform::ElementCollection> all() override;
  ComPtr<platform::ElementCollection> forms() override;
  ComPtr<PageElement> activeElement() override;
  std::u16string url() override;
  std::u16string charset() override;
  std::u16string title() override;
  ComPtr<platform::PageWindow> parentWindow() override;
  // --- PageObjectContainer ---
  std::vector<ComPtr<IUnknown>> embeddedObjects() override;

  // --- engine ---
  bool Closed() const noexcept { return tab_ == nullptr; }
  void Close() noexcept;
  Tab* GetTab() const noexcept { return tab_; }
  const std::string& FrameId() const noexcept { return frameId_; }
  ChromiumWindow& Window() noexcept { return *window_; }
  SinkList& Sinks() noexcept { return sinks_; }

  // The page may have changed: the next read takes the mirror again.
  void MarkChanged() noexcept;
  // Changes whenever the page may have changed; live lists compare it.
  uint64_t Generation() const noexcept { return generation_; }
  // The mirror, taken again when the page may have changed.
  void EnsureMirror();
  // The element's record: from the mirror, else described by the page
  // (none when the page no longer knows it).
  const ElementRecord* Record(int64_t id);
  // The same, for changing it locally after a queued write.
  ElementRecord* MutableRecord(int64_t id);
  // The one object of the page element id (tag: its tag name, when known).
  ComPtr<ChromiumElement> Element(int64_t id, std::u16string_view tag = {});
  const std::vector<int64_t>& MirrorOrder();
  // Every element (tag empty) or those of one tag, in document order.
  std::vector<ComPtr<PageElement>> ListElements(std::u16string_view tag);

  // Writes: queued, sent in one call (see above).
  void QueueWrite(Json operation);
  void FlushWrites();
  bool HasPendingWrites() const noexcept { return !writes_.empty(); }

  // A call of the page script in this document's world (flushes first
  // unless it is the flush itself).
  Json CallPage(Json arguments, bool flushFirst = true);

  // Runs the connected sinks for an event the page reported.
  void DispatchPageEvent(const Json& event);
  void FireLoad();

private:
  void ReadMirror(const std::string& text);

  // While the page can't be asked, reads answer from the mirror as it was.
  bool Frozen();

  Tab* tab_;
  std::string frameId_;
  ComPtr<ChromiumWindow> window_;
  SinkList sinks_;
  bool taken_ = false;
  bool changed_ = true;
  uint64_t generation_ = 1;
  std::u16string url_, charset_, title_;
  std::unordered_map<int64_t, ElementRecord> records_;
  std::unordered_map<int64_t, std::pair<uint64_t, ElementRecord>> described_;
  std::vector<int64_t> order_;
  std::unordered_map<int64_t, ComPtr<ChromiumElement>> elements_;
  Json writes_ = Json::array();
};

}  // namespace qm::chromium
