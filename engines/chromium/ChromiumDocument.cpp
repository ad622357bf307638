#include "engines/chromium/ChromiumDocument.h"

#include <atomic>
#include <functional>

#include "engines/chromium/ChromiumElement.h"
#include "engines/chromium/ChromiumTab.h"
#include "platform/rtl/Utf.h"

namespace qm::chromium {

using platform::ElementCollection;
using platform::W;

uint32_t NextSinkCookie() noexcept {
  static std::atomic<uint32_t> next{0x40000000};
  uint32_t cookie = ++next;
  if (cookie == 0) cookie = ++next;
  return cookie;
}

uint32_t SinkList::Add(const ComPtr<PageEventSink>& sink) {
  const uint32_t cookie = NextSinkCookie();
  sinks_.emplace_back(cookie, sink);
  return cookie;
}

void SinkList::Remove(uint32_t cookie) {
  std::erase_if(sinks_, [cookie](const auto& entry) { return entry.first == cookie; });
}

bool SinkList::Has(uint32_t cookie) const noexcept {
  for (const auto& entry : sinks_) {
    if (entry.first == cookie) return true;
  }
  return false;
}

namespace {

bool SameName(std::u16string_view a, std::u16string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    char16_t x = a[i], y = b[i];
    if (x >= u'A' && x <= u'Z') x = static_cast<char16_t>(x + 32);
    if (y >= u'A' && y <= u'Z') y = static_cast<char16_t>(y + 32);
    if (x != y) return false;
  }
  return true;
}

std::u16string Upper(std::u16string_view text) {
  std::u16string out(text);
  for (char16_t& c : out) {
    if (c >= u'a' && c <= u'z') c = static_cast<char16_t>(c - 32);
  }
  return out;
}

bool IsMirroredTag(std::u16string_view upper) {
  static constexpr std::u16string_view tags[] = {
      u"FORM",   u"INPUT",  u"SELECT", u"OPTION", u"TEXTAREA", u"BUTTON", u"FIELDSET", u"OBJECT",
      u"OUTPUT", u"A",      u"AREA",   u"META",   u"IFRAME",   u"FRAME",  u"EMBED"};
  for (std::u16string_view t : tags) {
    if (t == upper) return true;
  }
  return false;
}

std::u16string Text(const Json& record, const char* key) {
  const auto it = record.find(key);
  return it != record.end() && it->is_string() ? W(it->get<std::string>()) : std::u16string();
}

ElementRecord ParseRecord(const Json& r) {
  ElementRecord out;
  out.Id = r.value("i", int64_t{0});
  out.Tag = Text(r, "n");
  out.Index = r.value("x", -1);
  if (const auto a = r.find("a"); a != r.end() && a->is_array()) {
    for (size_t i = 0; i + 1 < a->size(); i += 2) {
      if (!(*a)[i].is_string() || !(*a)[i + 1].is_string()) continue;
      out.Attributes.emplace_back(W((*a)[i].get<std::string>()), W((*a)[i + 1].get<std::string>()));
    }
  }
  out.Form = r.value("f", int64_t{0});
  out.Type = Text(r, "y");
  out.Value = Text(r, "v");
  out.DefaultValue = Text(r, "dv");
  out.Text = Text(r, "t");
  out.Href = Text(r, "h");
  out.Checked = r.value("c", false);
  out.Selected = r.value("s", false);
  out.MaxLength = r.value("m", -1);
  out.OptionIndex = r.value("ix", -1);
  if (const auto o = r.find("o"); o != r.end() && o->is_array()) {
    for (const Json& id : *o) {
      if (id.is_number_integer()) out.Options.push_back(id.get<int64_t>());
    }
  }
  out.Parent = r.value("p", int64_t{0});
  if (r.value("k", true) == false) out.Index = -1;
  return out;
}

// A live list: listed again whenever the page may have changed since.
class ChromiumCollection final : public platform::ComObject<ElementCollection> {
public:
  ChromiumCollection(ComPtr<ChromiumDocument> document, ElementLister lister, std::u16string tag)
      : document_(std::move(document)), lister_(std::move(lister)), tag_(Upper(tag)) {}

  int32_t length() override { return static_cast<int32_t>(Items().size()); }
  ComPtr<PageElement> item(int32_t index) override {
    const auto& items = Items();
    if (index < 0 || static_cast<size_t>(index) >= items.size()) return {};
    return items[static_cast<size_t>(index)];
  }
  ComPtr<ElementCollection> tags(std::u16string_view tagName) override {
    return platform::MakeCom<ChromiumCollection>(document_, lister_, std::u16string(tagName));
  }

private:
  const std::vector<ComPtr<PageElement>>& Items() {
    if (document_->Closed()) {
      items_.clear();
      return items_;
    }
    document_->EnsureMirror();
    if (!built_ || builtAt_ != document_->Generation()) {
      items_ = lister_(*document_, tag_);
      builtAt_ = document_->Generation();
      built_ = true;
    }
    return items_;
  }

  ComPtr<ChromiumDocument> document_;
  ElementLister lister_;
  std::u16string tag_;
  std::vector<ComPtr<PageElement>> items_;
  uint64_t builtAt_ = 0;
  bool built_ = false;
};

class ChromiumEvent final : public platform::ComObject<PageEvent> {
public:
  ChromiumEvent(PageEventType type, ComPtr<PageElement> source, std::u16string property)
      : type_(type), source_(std::move(source)), property_(std::move(property)) {}
  PageEventType type() override { return type_; }
  ComPtr<PageElement> srcElement() override { return source_; }
  std::u16string propertyName() override { return property_; }

private:
  PageEventType type_;
  ComPtr<PageElement> source_;
  std::u16string property_;
};

bool EventTypeOf(std::string_view name, PageEventType& type) {
  static constexpr std::pair<std::string_view, PageEventType> types[] = {
      {"click", PageEventType::Click},   {"mousedown", PageEventType::MouseDown},
      {"mouseup", PageEventType::MouseUp}, {"submit", PageEventType::Submit},
      {"change", PageEventType::Change}, {"propertychange", PageEventType::PropertyChange}};
  for (const auto& [n, t] : types) {
    if (n == name) {
      type = t;
      return true;
    }
  }
  return false;
}

// Calls the sinks of one stop; list() is asked again before every call, so
// a sink disconnected meanwhile is skipped.
template <class ListOf>
void NotifySinks(ListOf list, PageEventType type, const ComPtr<PageEvent>& event) {
  SinkList* now = list();
  if (now == nullptr || now->Empty()) return;
  for (const auto& [cookie, sink] : now->Snapshot()) {
    now = list();
    if (now == nullptr || !now->Has(cookie)) continue;
    try {
      sink->HandleEvent(type, event);
    } catch (...) {
      // A failing sink is one broken listener; the page goes on.
    }
  }
}

}  // namespace

// --- records ----------------------------------------------------------

const std::u16string* ElementRecord::FindAttribute(std::u16string_view name) const {
  for (const auto& [n, v] : Attributes) {
    if (SameName(n, name)) return &v;
  }
  return nullptr;
}

void ElementRecord::StoreAttribute(std::u16string_view name, std::u16string value) {
  for (auto& [n, v] : Attributes) {
    if (SameName(n, name)) {
      v = std::move(value);
      return;
    }
  }
  Attributes.emplace_back(std::u16string(name), std::move(value));
}

bool ElementRecord::DropAttribute(std::u16string_view name) {
  const size_t before = Attributes.size();
  std::erase_if(Attributes, [&](const auto& a) { return SameName(a.first, name); });
  return Attributes.size() != before;
}

// --- window -----------------------------------------------------------

uint32_t ChromiumWindow::Advise(const ComPtr<PageEventSink>& sink) {
  if (!sink) throw platform::Exception(u"No event sink to connect");
  return document_ == nullptr ? NextSinkCookie() : sinks_.Add(sink);
}

ComPtr<PageEvent> ChromiumWindow::event() {
  return events_.empty() ? ComPtr<PageEvent>() : events_.back();
}

ComPtr<platform::PageDocument> ChromiumWindow::document() {
  return ComPtr<platform::PageDocument>(document_);
}

void ChromiumWindow::Detach() noexcept {
  document_ = nullptr;
  sinks_.Clear();
  events_.clear();
}

// --- document ---------------------------------------------------------

ChromiumDocument::ChromiumDocument(Tab* tab, std::string frameId)
    : tab_(tab), frameId_(std::move(frameId)), window_(platform::MakeCom<ChromiumWindow>(this)) {}

ChromiumDocument::~ChromiumDocument() {
  Close();
}

void ChromiumDocument::Close() noexcept {
  if (tab_ == nullptr) return;
  tab_ = nullptr;
  sinks_.Clear();
  window_->Detach();
  std::unordered_map<int64_t, ComPtr<ChromiumElement>> elements;
  elements.swap(elements_);
  for (auto& [id, element] : elements)
    element->Detach();
  records_.clear();
  described_.clear();
  order_.clear();
  writes_ = Json::array();
  ++generation_;
}

uint32_t ChromiumDocument::Advise(const ComPtr<PageEventSink>& sink) {
  if (!sink) throw platform::Exception(u"No event sink to connect");
  return Closed() ? NextSinkCookie() : sinks_.Add(sink);
}

void ChromiumDocument::MarkChanged() noexcept {
  changed_ = true;
  ++generation_;
}

bool ChromiumDocument::Frozen() {
  return tab_ != nullptr && tab_->FrozenFrame(frameId_);
}

void ChromiumDocument::EnsureMirror() {
  if (Closed() || (taken_ && !changed_) || (taken_ && Frozen())) return;
  changed_ = false;  // events heard during the call mark it again
  const Json answer = CallPage(Json::array({"snap", !taken_}));
  if (Closed()) return;
  if (answer.is_string()) ReadMirror(answer.get<std::string>());
  taken_ = true;
}

MirrorData ParseMirror(const std::string& text) {
  const Json mirror = Json::parse(text, nullptr, false);
  if (mirror.is_discarded() || !mirror.is_object()) {
    throw EChromiumError(EChromiumError::Kind::Refused, u"The page answered a broken mirror");
  }
  MirrorData out;
  try {
    out.Url = Text(mirror, "u");
    out.Charset = Text(mirror, "cs");
    for (char16_t& c : out.Charset) {
      if (c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c + 32);
    }
    out.Title = Text(mirror, "ti");
    const auto records = mirror.find("r");
    if (records == mirror.end() || !records->is_array()) return out;
    out.Records.reserve(records->size());
    for (const Json& r : *records) {
      if (!r.is_object()) continue;
      out.Records.push_back(ParseRecord(r));
      out.Records.back().Mirrored = true;
    }
  } catch (const Json::exception&) {
    // A value of the wrong kind: no page script of ours answers that.
    throw EChromiumError(EChromiumError::Kind::Refused, u"The page answered a broken mirror");
  }
  return out;
}

void ChromiumDocument::ReadMirror(const std::string& text) {
  MirrorData mirror = ParseMirror(text);
  url_ = std::move(mirror.Url);
  charset_ = std::move(mirror.Charset);
  title_ = std::move(mirror.Title);
  records_.clear();
  described_.clear();
  order_.clear();
  order_.reserve(mirror.Records.size());
  records_.reserve(mirror.Records.size());
  for (ElementRecord& record : mirror.Records) {
    const int64_t id = record.Id;
    if (!records_.emplace(id, std::move(record)).second) continue;  // one record per element
    order_.push_back(id);
  }
  // Forms list their controls, in order.
  for (const int64_t id : order_) {
    const ElementRecord& r = records_[id];
    if (r.Form == 0 || r.Form == id) continue;
    const auto form = records_.find(r.Form);
    if (form != records_.end()) form->second.Controls.push_back(id);
  }
  ++generation_;
}

const std::vector<int64_t>& ChromiumDocument::MirrorOrder() {
  EnsureMirror();
  return order_;
}

const ElementRecord* ChromiumDocument::Record(int64_t id) {
  return MutableRecord(id);
}

ElementRecord* ChromiumDocument::MutableRecord(int64_t id) {
  if (Closed()) return nullptr;
  EnsureMirror();
  if (const auto it = records_.find(id); it != records_.end()) return &it->second;
  if (const auto it = described_.find(id); it != described_.end() && it->second.first == generation_) {
    return &it->second.second;
  }
  if (Frozen()) return nullptr;
  const Json answer = CallPage(Json::array({"describe", id}));
  if (Closed() || !answer.is_string()) return nullptr;
  const Json r = Json::parse(answer.get<std::string>(), nullptr, false);
  if (r.is_discarded()) return nullptr;
  auto& slot = described_[id];
  slot = {generation_, ParseRecord(r)};
  return &slot.second;
}

ComPtr<ChromiumElement> ChromiumDocument::Element(int64_t id, std::u16string_view tag) {
  if (Closed() || id == 0) return {};
  if (const auto it = elements_.find(id); it != elements_.end()) return it->second;
  std::u16string name(tag);
  if (name.empty()) {
    const ElementRecord* r = Record(id);
    if (r == nullptr) return {};
    name = r->Tag;
  }
  auto element = platform::MakeCom<ChromiumElement>(this, id, std::move(name));
  elements_.emplace(id, element);
  return element;
}

std::vector<ComPtr<PageElement>> ChromiumDocument::ListElements(std::u16string_view tag) {
  std::vector<ComPtr<PageElement>> out;
  if (Closed()) return out;
  const std::u16string upper = Upper(tag);
  // While the page can't be asked, `all` holds what the mirror knows.
  if ((!upper.empty() && IsMirroredTag(upper)) || (upper.empty() && Frozen())) {
    for (const int64_t id : MirrorOrder()) {
      const ElementRecord& r = records_[id];
      if (upper.empty() || Upper(r.Tag) == upper) out.emplace_back(Element(id, r.Tag).Get());
    }
    return out;
  }
  const Json answer = CallPage(Json::array({"list", platform::U8(tag)}));
  const Json list = answer.is_string() ? Json::parse(answer.get<std::string>(), nullptr, false)
                                       : Json();
  if (!list.is_array()) return out;
  for (size_t i = 0; i + 1 < list.size(); i += 2) {
    out.emplace_back(Element(list[i].get<int64_t>(), W(list[i + 1].get<std::string>())).Get());
  }
  return out;
}

ComPtr<ElementCollection> MakeElementCollection(const ComPtr<ChromiumDocument>& document,
                                                ElementLister lister) {
  return platform::MakeCom<ChromiumCollection>(document, std::move(lister), std::u16string());
}

ComPtr<ElementCollection> ChromiumDocument::all() {
  return MakeElementCollection(
      ComPtr<ChromiumDocument>(this),
      [](ChromiumDocument& d, const std::u16string& tag) { return d.ListElements(tag); });
}

ComPtr<ElementCollection> ChromiumDocument::forms() {
  return MakeElementCollection(
      ComPtr<ChromiumDocument>(this), [](ChromiumDocument& d, const std::u16string& tag) {
        if (!tag.empty() && tag != u"FORM") return std::vector<ComPtr<PageElement>>();
        return d.ListElements(u"FORM");
      });
}

ComPtr<PageElement> ChromiumDocument::activeElement() {
  if (Closed()) return {};
  const Json id = CallPage(Json::array({"active"}));
  return ComPtr<PageElement>(Element(id.is_number_integer() ? id.get<int64_t>() : 0).Get());
}

std::u16string ChromiumDocument::url() {
  EnsureMirror();
  return url_;
}

std::u16string ChromiumDocument::charset() {
  EnsureMirror();
  return charset_;
}

std::u16string ChromiumDocument::title() {
  EnsureMirror();
  return title_;
}

ComPtr<platform::PageWindow> ChromiumDocument::parentWindow() {
  return ComPtr<platform::PageWindow>(window_.Get());
}

std::vector<ComPtr<IUnknown>> ChromiumDocument::embeddedObjects() {
  std::vector<ComPtr<IUnknown>> objects;
  if (Closed()) return objects;
  const std::vector<int64_t> order = MirrorOrder();
  for (const int64_t id : order) {
    if (Closed()) break;
    const ElementRecord& r = records_[id];
    const TagKind kind = KindOfTag(r.Tag);
    const std::u16string upper = Upper(r.Tag);
    if (kind == TagKind::Frame) {
      if (auto browser = Element(id, r.Tag)->contentBrowser()) {
        objects.push_back(browser.As<IUnknown>());
      }
    } else if (upper == u"OBJECT" || upper == u"EMBED") {
      objects.push_back(ComPtr<PageElement>(Element(id, r.Tag).Get()).As<IUnknown>());
    }
  }
  return objects;
}

// --- writes and calls -------------------------------------------------

void ChromiumDocument::QueueWrite(Json operation) {
  if (Closed()) return;
  writes_.push_back(std::move(operation));
  tab_->ScheduleFlush();
}

void ChromiumDocument::FlushWrites() {
  if (Closed() || writes_.empty() || Frozen()) return;
  Json writes = Json::array();
  writes.swap(writes_);
  CallPage(Json::array({"apply", std::move(writes)}), false);
  // The page reacts to the writes in its own way (a framework may format a
  // value): the next read asks it.
  MarkChanged();
}

Json ChromiumDocument::CallPage(Json arguments, bool flushFirst) {
  if (Closed()) throw EChromiumError(EChromiumError::Kind::Closed, u"The document is gone");
  if (flushFirst && !writes_.empty()) FlushWrites();
  if (Closed()) throw EChromiumError(EChromiumError::Kind::Closed, u"The document is gone");
  const ComPtr<ChromiumDocument> keep(this);
  return tab_->CallPage(frameId_, arguments);
}

// --- events -----------------------------------------------------------

void ChromiumDocument::DispatchPageEvent(const Json& event) {
  PageEventType type;
  if (!EventTypeOf(event.value("t", ""), type)) return;
  const Json& path = event["p"];
  if (!path.is_array() || path.empty()) return;
  const ComPtr<ChromiumDocument> keep(this);
  const ComPtr<ChromiumElement> target = Element(path[0].get<int64_t>(), Text(event, "n"));
  if (!target) return;
  const auto pageEvent = platform::MakeCom<ChromiumEvent>(
      type, ComPtr<PageElement>(target.Get()), Text(event, "q"));
  const ComPtr<PageEvent> shared(pageEvent.Get());
  window_->PushEvent(shared);
  struct Pop {
    ComPtr<ChromiumWindow> Window;
    ~Pop() { Window->PopEvent(); }
  } pop{window_};
  const bool bubbles = type == PageEventType::Click || type == PageEventType::MouseDown ||
                       type == PageEventType::MouseUp;
  const size_t stops = bubbles ? path.size() : 1;
  for (size_t i = 0; i < stops && !Closed(); ++i) {
    const auto it = elements_.find(path[i].get<int64_t>());
    if (it == elements_.end()) continue;
    const ComPtr<ChromiumElement> stop = it->second;
    NotifySinks([&stop] { return stop->Owner() ? &stop->Sinks() : nullptr; }, type, shared);
  }
  if (bubbles && !Closed()) {
    NotifySinks([this] { return Closed() ? nullptr : &sinks_; }, type, shared);
  }
}

void ChromiumDocument::FireLoad() {
  if (Closed()) return;
  const ComPtr<ChromiumDocument> keep(this);
  const auto event = platform::MakeCom<ChromiumEvent>(PageEventType::Load, nullptr, u"");
  const ComPtr<PageEvent> shared(event.Get());
  window_->PushEvent(shared);
  NotifySinks([this] { return Closed() ? nullptr : &window_->Sinks(); }, PageEventType::Load,
              shared);
  window_->PopEvent();
}

}  // namespace qm::chromium
