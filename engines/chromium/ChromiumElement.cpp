#include "engines/chromium/ChromiumElement.h"

#include "engines/chromium/ChromiumTab.h"
#include "platform/dom/InlineStyle.h"
#include "platform/dom/ControlText.h"
#include "platform/rtl/Exception.h"
#include "platform/rtl/Utf.h"

namespace qm::chromium {

using platform::U8;

namespace {

using platform::NormalizeNewlines;
using platform::StripNewlines;

// The engine's own identity of an element object, for AsChromiumElement.
constexpr platform::IID ChromiumElementIid =
    platform::MakeGuid("{6A1E2B41-51C3-4E0B-9C7A-2D4F0E8B1501}");

std::u16string Lower(std::u16string_view text) {
  std::u16string out(text);
  for (char16_t& c : out) {
    if (c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c + 32);
  }
  return out;
}

// Input types whose value is the value attribute.
bool ValueIsAttribute(std::u16string_view type) {
  return type == u"hidden" || type == u"submit" || type == u"image" || type == u"reset" ||
         type == u"button" || type == u"checkbox" || type == u"radio";
}

// Attributes whose change the page turns into other state (a value, a
// checkedness, a type, an owner): after writing one, ask the page again.
bool ChangesState(std::u16string_view lowerName) {
  return lowerName == u"value" || lowerName == u"checked" || lowerName == u"selected" ||
         lowerName == u"type" || lowerName == u"multiple" || lowerName == u"id" ||
         lowerName == u"form" || lowerName == u"name" || lowerName == u"href" ||
         lowerName == u"src" || lowerName == u"maxlength";
}

class ChromiumStyle final : public platform::ComObject<platform::PageStyle> {
public:
  explicit ChromiumStyle(ComPtr<ChromiumElement> element) : element_(std::move(element)) {}
  std::u16string backgroundColor() override { return element_->BackgroundColor(); }
  void setBackgroundColor(std::u16string_view color) override {
    element_->SetBackgroundColor(color);
  }

private:
  ComPtr<ChromiumElement> element_;
};

class PropertyChangeEvent final : public platform::ComObject<PageEvent> {
public:
  PropertyChangeEvent(ComPtr<PageElement> source, std::u16string property)
      : source_(std::move(source)), property_(std::move(property)) {}
  PageEventType type() override { return PageEventType::PropertyChange; }
  ComPtr<PageElement> srcElement() override { return source_; }
  std::u16string propertyName() override { return property_; }

private:
  ComPtr<PageElement> source_;
  std::u16string property_;
};

}  // namespace

TagKind KindOfTag(std::u16string_view tag) {
  static constexpr std::pair<std::u16string_view, TagKind> kinds[] = {
      {u"FORM", TagKind::Form},         {u"INPUT", TagKind::Input},
      {u"SELECT", TagKind::Select},     {u"OPTION", TagKind::Option},
      {u"TEXTAREA", TagKind::TextArea}, {u"BUTTON", TagKind::Button},
      {u"FIELDSET", TagKind::Listed},   {u"OBJECT", TagKind::Listed},
      {u"OUTPUT", TagKind::Listed},     {u"A", TagKind::Anchor},
      {u"AREA", TagKind::Area},         {u"META", TagKind::Meta},
      {u"IFRAME", TagKind::Frame},      {u"FRAME", TagKind::Frame}};
  for (const auto& [name, kind] : kinds) {
    if (name == tag) return kind;
  }
  return TagKind::Other;
}

ChromiumElement::ChromiumElement(ChromiumDocument* document, int64_t id, std::u16string tag)
    : document_(document), id_(id), tag_(std::move(tag)), kind_(KindOfTag(tag_)) {}

void ChromiumElement::Detach() noexcept {
  document_ = nullptr;
  sinks_.Clear();
}

void* ChromiumElement::QueryExtraInterface(const platform::IID& iid) {
  if (iid == ChromiumElementIid) return this;
  switch (kind_) {
    case TagKind::Form:
      return iid == platform::PageFormElement::Iid ? static_cast<platform::PageFormElement*>(this)
                                                   : nullptr;
    case TagKind::Input:
      return iid == platform::PageInputElement::Iid ? static_cast<platform::PageInputElement*>(this)
                                                    : nullptr;
    case TagKind::Select:
      return iid == platform::PageSelectElement::Iid
                 ? static_cast<platform::PageSelectElement*>(this)
                 : nullptr;
    case TagKind::Option:
      return iid == platform::PageOptionElement::Iid
                 ? static_cast<platform::PageOptionElement*>(this)
                 : nullptr;
    case TagKind::TextArea:
      return iid == platform::PageTextAreaElement::Iid
                 ? static_cast<platform::PageTextAreaElement*>(this)
                 : nullptr;
    case TagKind::Button:
      return iid == platform::PageButtonElement::Iid
                 ? static_cast<platform::PageButtonElement*>(this)
                 : nullptr;
    case TagKind::Anchor:
      return iid == platform::PageAnchorElement::Iid
                 ? static_cast<platform::PageAnchorElement*>(this)
                 : nullptr;
    case TagKind::Area:
      return iid == platform::PageAreaElement::Iid ? static_cast<platform::PageAreaElement*>(this)
                                                   : nullptr;
    case TagKind::Meta:
      return iid == platform::PageMetaElement::Iid ? static_cast<platform::PageMetaElement*>(this)
                                                   : nullptr;
    case TagKind::Frame:
      return iid == platform::PageFrameElement::Iid ? static_cast<platform::PageFrameElement*>(this)
                                                    : nullptr;
    default:
      return nullptr;
  }
}

ComPtr<ChromiumElement> AsChromiumElement(const ComPtr<PageElement>& element) {
  if (!element) return {};
  void* out = nullptr;
  if (platform::Failed(element->QueryInterface(ChromiumElementIid, &out)) || out == nullptr) {
    return {};
  }
  return ComPtr<ChromiumElement>::Adopt(static_cast<ChromiumElement*>(out));
}

// --- state ------------------------------------------------------------

const ElementRecord* ChromiumElement::Record() {
  return document_ == nullptr ? nullptr : document_->Record(id_);
}

ElementRecord* ChromiumElement::Mutable() {
  return document_ == nullptr ? nullptr : document_->MutableRecord(id_);
}

void ChromiumElement::QueueOperation(Json operation) {
  if (document_ != nullptr) document_->QueueWrite(std::move(operation));
}

void ChromiumElement::RaisePropertyChange(std::u16string_view property) {
  if (document_ == nullptr || sinks_.Empty()) return;
  const ComPtr<ChromiumElement> self(this);
  const ComPtr<PageEvent> event(
      platform::MakeCom<PropertyChangeEvent>(ComPtr<PageElement>(this), std::u16string(property))
          .Get());
  ChromiumWindow& window = document_->Window();
  window.PushEvent(event);
  const ComPtr<ChromiumWindow> keepWindow(&window);
  for (const auto& [cookie, sink] : sinks_.Snapshot()) {
    if (document_ == nullptr || !sinks_.Has(cookie)) continue;
    try {
      sink->HandleEvent(PageEventType::PropertyChange, event);
    } catch (...) {
      // A failing sink is one broken listener.
    }
  }
  keepWindow->PopEvent();
}

std::u16string ChromiumElement::AttributeText(std::u16string_view name) {
  const ElementRecord* r = Record();
  const std::u16string* v = r == nullptr ? nullptr : r->FindAttribute(name);
  return v == nullptr ? std::u16string() : *v;
}

bool ChromiumElement::HasAttribute(std::u16string_view name) {
  const ElementRecord* r = Record();
  return r != nullptr && r->FindAttribute(name) != nullptr;
}

// --- PageElement ------------------------------------------------------

uint32_t ChromiumElement::Advise(const ComPtr<PageEventSink>& sink) {
  if (!sink) throw platform::Exception(u"No event sink to connect");
  return document_ == nullptr ? NextSinkCookie() : sinks_.Add(sink);
}

Variant ChromiumElement::getAttribute(std::u16string_view name) {
  const ElementRecord* r = Record();
  const std::u16string* text = r == nullptr ? nullptr : r->FindAttribute(name);
  if (text == nullptr) return Variant::Null();
  if (integerAttributes_.count(Lower(name)) > 0) {
    const std::string digits = U8(*text);
    char* end = nullptr;
    const long long number = std::strtoll(digits.c_str(), &end, 10);
    if (!digits.empty() && end != nullptr && *end == '\0' && number >= INT32_MIN &&
        number <= INT32_MAX) {
      return Variant::FromInt32(static_cast<int32_t>(number));
    }
  }
  return Variant::FromString(*text);
}

void ChromiumElement::setAttribute(std::u16string_view name, const Variant& value) {
  if (name.empty()) throw platform::Exception(u"An attribute needs a name");
  std::u16string text;
  bool integer = false;
  switch (value.GetKind()) {
    case Variant::Kind::Int32:
      integer = true;
      text = value.ToText();
      break;
    case Variant::Kind::String:
    case Variant::Kind::Bool:
      text = value.ToText();
      break;
    case Variant::Kind::Empty:
    case Variant::Kind::Null:
      break;
    default:
      throw platform::Exception(u"An attribute holds a text or an integer");
  }
  ElementRecord* r = Mutable();
  if (r == nullptr) return;
  const std::u16string lower = Lower(name);
  r->StoreAttribute(name, text);
  if (integer) {
    integerAttributes_.insert(lower);
  } else {
    integerAttributes_.erase(lower);
  }
  QueueOperation(Json::array({"a", id_, U8(name), U8(text)}));
  if (ChangesState(lower)) document_->MarkChanged();
}

bool ChromiumElement::removeAttribute(std::u16string_view name) {
  ElementRecord* r = Mutable();
  if (r == nullptr || !r->DropAttribute(name)) return false;
  integerAttributes_.erase(Lower(name));
  QueueOperation(Json::array({"ra", id_, U8(name)}));
  if (ChangesState(Lower(name))) document_->MarkChanged();
  return true;
}

ComPtr<platform::PageStyle> ChromiumElement::style() {
  return platform::MakeCom<ChromiumStyle>(ComPtr<ChromiumElement>(this));
}

std::u16string ChromiumElement::BackgroundColor() {
  return platform::InlineStyleProperty(AttributeText(u"style"), u"background-color");
}

void ChromiumElement::SetBackgroundColor(std::u16string_view color) {
  // The same text the built-in engine writes, set verbatim, so both engines
  // read back what they wrote.
  std::optional<std::u16string> text =
      platform::WithInlineStyleProperty(AttributeText(u"style"), u"background-color", color);
  if (text) setAttribute(u"style", Variant::FromString(std::move(*text)));
}

std::u16string ChromiumElement::title() {
  return AttributeText(u"title");
}

void ChromiumElement::setTitle(std::u16string_view title) {
  setAttribute(u"title", Variant::FromString(std::u16string(title)));
}

int32_t ChromiumElement::sourceIndex() {
  const ElementRecord* r = Record();
  return r == nullptr ? -1 : r->Index;
}

std::u16string ChromiumElement::innerText() {
  if (document_ == nullptr) return {};
  const Json text = document_->CallPage(Json::array({"text", id_}));
  return text.is_string() ? platform::W(text.get<std::string>()) : std::u16string();
}

std::u16string ChromiumElement::innerHTML() {
  if (document_ == nullptr) return {};
  const Json text = document_->CallPage(Json::array({"html", id_}));
  return text.is_string() ? platform::W(text.get<std::string>()) : std::u16string();
}

ComPtr<PageElement> ChromiumElement::parentElement() {
  if (document_ == nullptr) return {};
  const Json answer = document_->CallPage(Json::array({"describe", id_}));
  if (!answer.is_string() || document_ == nullptr) return {};
  const Json r = Json::parse(answer.get<std::string>(), nullptr, false);
  if (r.is_discarded()) return {};
  return ComPtr<PageElement>(document_->Element(r.value("p", int64_t{0})).Get());
}

ComPtr<platform::PageDocument> ChromiumElement::document() {
  return ComPtr<platform::PageDocument>(document_);
}

void ChromiumElement::click() {
  if (document_ == nullptr) return;
  const ComPtr<ChromiumElement> self(this);
  const ComPtr<ChromiumDocument> document(document_);
  // The page acts on what the program wrote before: every frame's writes
  // go first.
  if (Tab* tab = document->GetTab()) tab->FlushWrites();
  if (document->Closed()) return;
  document->CallPage(Json::array({"click", id_}));
  document->MarkChanged();
}

// Handler values stay inside a page that runs scripts; a program's write
// raises the page's own events there (see PageDocument.h).
Variant ChromiumElement::onclick() {
  return Variant::Null();
}

void ChromiumElement::setOnclick(const Variant&) {}

Variant ChromiumElement::onchange() {
  return Variant::Null();
}

void ChromiumElement::setOnchange(const Variant&) {}

// --- forms ------------------------------------------------------------

int32_t ChromiumElement::length() {
  const ElementRecord* r = Record();
  if (r == nullptr) return 0;
  if (kind_ == TagKind::Form) return static_cast<int32_t>(r->Controls.size());
  if (kind_ == TagKind::Select) return static_cast<int32_t>(r->Options.size());
  return 0;
}

ComPtr<PageElement> ChromiumElement::item(int32_t index) {
  const ElementRecord* r = Record();
  if (r == nullptr || index < 0) return {};
  const std::vector<int64_t>& ids = kind_ == TagKind::Form     ? r->Controls
                                    : kind_ == TagKind::Select ? r->Options
                                                               : std::vector<int64_t>();
  if (static_cast<size_t>(index) >= ids.size()) return {};
  const int64_t id = ids[static_cast<size_t>(index)];
  return ComPtr<PageElement>(
      document_->Element(id, kind_ == TagKind::Select ? u"OPTION" : u"").Get());
}

ComPtr<platform::ElementCollection> ChromiumElement::tags(std::u16string_view) {
  if (document_ == nullptr) return {};
  const int64_t id = id_;
  return MakeElementCollection(
      ComPtr<ChromiumDocument>(document_),
      [id](ChromiumDocument& d, const std::u16string& tag) {
        std::vector<ComPtr<PageElement>> out;
        const ElementRecord* form = d.Record(id);
        if (form == nullptr) return out;
        const std::vector<int64_t> controls = form->Controls;
        for (const int64_t control : controls) {
          const ComPtr<ChromiumElement> e = d.Element(control);
          if (e && (tag.empty() || e->tagName() == tag)) out.emplace_back(e.Get());
        }
        return out;
      });
}

std::u16string ChromiumElement::method() {
  return Lower(AttributeText(u"method")) == u"post" ? u"post" : u"get";
}

void ChromiumElement::submit() {
  if (document_ == nullptr || kind_ != TagKind::Form) return;
  const ComPtr<ChromiumElement> self(this);
  const ComPtr<ChromiumDocument> document(document_);
  if (Tab* tab = document->GetTab()) tab->FlushWrites();
  if (document->Closed()) return;
  document->CallPage(Json::array({"submit", id_}));
  document->MarkChanged();
}

// --- controls ---------------------------------------------------------

std::u16string ChromiumElement::type() {
  const ElementRecord* r = Record();
  return r == nullptr ? std::u16string() : r->Type;
}

std::vector<ComPtr<ChromiumElement>> ChromiumElement::SelectOptions() {
  std::vector<ComPtr<ChromiumElement>> options;
  const ElementRecord* r = Record();
  if (r == nullptr) return options;
  const std::vector<int64_t> ids = r->Options;
  for (const int64_t id : ids) {
    if (ComPtr<ChromiumElement> o = document_->Element(id, u"OPTION")) options.push_back(o);
  }
  return options;
}

std::u16string ChromiumElement::value() {
  const ElementRecord* r = Record();
  if (r == nullptr) return {};
  switch (kind_) {
    case TagKind::Input:
    case TagKind::TextArea:
    case TagKind::Option:
      return r->Value;
    case TagKind::Select:
      for (const ComPtr<ChromiumElement>& o : SelectOptions()) {
        const ElementRecord* option = o->Record();
        if (option != nullptr && option->Selected) return option->Value;
      }
      return {};
    case TagKind::Button:
      return AttributeText(u"value");
    default:
      return {};
  }
}

void ChromiumElement::setValue(std::u16string_view value) {
  ElementRecord* r = Mutable();
  if (r == nullptr) return;
  const ComPtr<ChromiumElement> self(this);
  if (kind_ == TagKind::Select) {
    // The first option with that value and no other.
    bool found = false;
    for (const ComPtr<ChromiumElement>& o : SelectOptions()) {
      ElementRecord* option = o->Mutable();
      if (option == nullptr) continue;
      const bool match = !found && option->Value == value;
      found = found || match;
      if (option->Selected == match) continue;
      option->Selected = match;
      o->RaisePropertyChange(u"selected");
    }
    QueueOperation(Json::array({"sv", id_, U8(value)}));
    return;
  }
  if (kind_ == TagKind::TextArea) {
    std::u16string next = NormalizeNewlines(value);
    const bool changed = next != r->Value;
    r->Value = std::move(next);
    QueueOperation(Json::array({"v", id_, U8(r->Value)}));
    if (changed) RaisePropertyChange(u"value");
    return;
  }
  if (kind_ != TagKind::Input) return;
  if (r->Type == u"file") {
    if (!value.empty()) {
      throw platform::Exception(u"A file input's value can only be set to the empty text");
    }
    return;
  }
  std::u16string next =
      ValueIsAttribute(r->Type) ? std::u16string(value) : StripNewlines(value);
  const bool changed = next != r->Value;
  if (ValueIsAttribute(r->Type)) r->StoreAttribute(u"value", next);
  r->Value = std::move(next);
  QueueOperation(Json::array({"v", id_, U8(r->Value)}));
  if (changed) RaisePropertyChange(u"value");
}

std::u16string ChromiumElement::defaultValue() {
  if (kind_ == TagKind::TextArea) {
    const ElementRecord* r = Record();
    return r == nullptr ? std::u16string() : r->DefaultValue;
  }
  return AttributeText(u"value");
}

bool ChromiumElement::checked() {
  const ElementRecord* r = Record();
  return r != nullptr && r->Checked;
}

void ChromiumElement::setChecked(bool checked) {
  ElementRecord* r = Mutable();
  if (r == nullptr || kind_ != TagKind::Input) return;
  const ComPtr<ChromiumElement> self(this);
  QueueOperation(Json::array({"c", id_, checked}));
  if (checked && r->Type == u"radio") {
    // The rest of its group (same name, same form) goes off.
    const std::u16string name = AttributeText(u"name");
    const int64_t form = r->Form;
    if (!name.empty()) {
      const std::vector<int64_t> order = document_->MirrorOrder();
      for (const int64_t id : order) {
        if (id == id_ || document_ == nullptr) continue;
        ElementRecord* other = document_->MutableRecord(id);
        if (other == nullptr || !other->Checked || other->Type != u"radio" ||
            KindOfTag(other->Tag) != TagKind::Input || other->Form != form) {
          continue;
        }
        const std::u16string* otherName = other->FindAttribute(u"name");
        if (otherName == nullptr || *otherName != name) continue;
        other->Checked = false;
        document_->Element(id, other->Tag)->RaisePropertyChange(u"checked");
      }
    }
  }
  r = Mutable();
  if (r == nullptr || r->Checked == checked) return;
  r->Checked = checked;
  RaisePropertyChange(u"checked");
}

int32_t ChromiumElement::maxLength() {
  const ElementRecord* r = Record();
  return r == nullptr || r->MaxLength < 0 ? platform::UnlimitedMaxLength : r->MaxLength;
}

ComPtr<PageElement> ChromiumElement::form() {
  const ElementRecord* r = Record();
  if (r == nullptr || r->Form == 0) return {};
  return ComPtr<PageElement>(document_->Element(r->Form, u"FORM").Get());
}

int32_t ChromiumElement::selectedIndex() {
  int32_t index = 0;
  for (const ComPtr<ChromiumElement>& o : SelectOptions()) {
    const ElementRecord* option = o->Record();
    if (option != nullptr && option->Selected) return index;
    ++index;
  }
  return -1;
}

void ChromiumElement::setSelectedIndex(int32_t index) {
  if (kind_ != TagKind::Select || document_ == nullptr) return;
  const ComPtr<ChromiumElement> self(this);
  int32_t i = 0;
  for (const ComPtr<ChromiumElement>& o : SelectOptions()) {
    ElementRecord* option = o->Mutable();
    const bool want = i++ == index;
    if (option == nullptr || option->Selected == want) continue;
    option->Selected = want;
    o->RaisePropertyChange(u"selected");
  }
  QueueOperation(Json::array({"si", id_, index}));
}

bool ChromiumElement::selected() {
  const ElementRecord* r = Record();
  return r != nullptr && r->Selected;
}

void ChromiumElement::setSelected(bool selected) {
  ElementRecord* r = Mutable();
  if (r == nullptr || kind_ != TagKind::Option) return;
  const ComPtr<ChromiumElement> self(this);
  QueueOperation(Json::array({"s", id_, selected}));
  // Its select settles as a browser's does: one selected option in a single
  // select, the first enabled one when none is left.
  ComPtr<ChromiumElement> select;
  for (const int64_t id : document_->MirrorOrder()) {
    const ElementRecord* s = document_->Record(id);
    if (s != nullptr && std::find(s->Options.begin(), s->Options.end(), id_) != s->Options.end()) {
      select = document_->Element(id, s->Tag);
      break;
    }
  }
  r = Mutable();
  if (r == nullptr) return;
  if (r->Selected != selected) {
    r->Selected = selected;
    RaisePropertyChange(u"selected");
  }
  if (!select || select->multiple()) return;
  std::vector<ComPtr<ChromiumElement>> options = select->SelectOptions();
  bool any = false;
  for (const ComPtr<ChromiumElement>& o : options) {
    ElementRecord* option = o->Mutable();
    if (option == nullptr) continue;
    if (selected && o.Get() != this && option->Selected) {
      option->Selected = false;
      o->RaisePropertyChange(u"selected");
    }
    any = any || option->Selected;
  }
  const std::u16string size = select->AttributeText(u"size");
  if (!any && (size.empty() || size == u"1" || size == u"0")) {
    for (const ComPtr<ChromiumElement>& o : options) {
      ElementRecord* option = o->Mutable();
      if (option == nullptr || option->FindAttribute(u"disabled") != nullptr) continue;
      option->Selected = true;
      o->RaisePropertyChange(u"selected");
      break;
    }
  }
}

std::u16string ChromiumElement::text() {
  const ElementRecord* r = Record();
  return r == nullptr ? std::u16string() : r->Text;
}

int32_t ChromiumElement::index() {
  const ElementRecord* r = Record();
  return r == nullptr ? -1 : r->OptionIndex;
}

std::u16string ChromiumElement::href() {
  const ElementRecord* r = Record();
  return r == nullptr ? std::u16string() : r->Href;
}

std::u16string ChromiumElement::src() {
  const ElementRecord* r = Record();
  return r == nullptr ? std::u16string() : r->Href;
}

ComPtr<platform::PageBrowser> ChromiumElement::contentBrowser() {
  if (document_ == nullptr || kind_ != TagKind::Frame) return {};
  Tab* tab = document_->GetTab();
  if (tab == nullptr) return {};
  const std::string frameId = tab->FrameOfElement(*document_, id_);
  if (frameId.empty()) return {};
  return ComPtr<platform::PageBrowser>(tab->BrowserOf(frameId).Get());
}

}  // namespace qm::chromium
