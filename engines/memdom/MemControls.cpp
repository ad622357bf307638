#include <algorithm>

#include "engines/memdom/MemDocument.h"
#include "engines/memdom/MemElements.h"
#include "engines/memdom/MemEvents.h"
#include "platform/dom/ControlText.h"
#include "platform/rtl/Exception.h"

namespace qm::memdom {
namespace {

using platform::NormalizeNewlines;
using platform::StripNewlines;

constexpr std::u16string_view InputTypes[] = {
    u"hidden",   u"text",  u"search", u"tel",      u"url",   u"email",
    u"password", u"date",  u"month",  u"week",     u"time",  u"datetime-local",
    u"number",   u"range", u"color",  u"checkbox", u"radio", u"file",
    u"submit",   u"image", u"reset",  u"button",
};

// Leading white space, an optional "+", digits; what follows is ignored.
// fallback for no digits or a number beyond int32.
int32_t ParseNonNegative(std::u16string_view text, int32_t fallback) {
  size_t i = 0;
  while (i < text.size() && IsHtmlSpace(text[i]))
    ++i;
  if (i < text.size() && text[i] == u'+') ++i;
  const size_t first = i;
  int64_t value = 0;
  while (i < text.size() && text[i] >= u'0' && text[i] <= u'9') {
    value = value * 10 + (text[i] - u'0');
    if (value > 2147483647) return fallback;
    ++i;
  }
  return i == first ? fallback : static_cast<int32_t>(value);
}

ComPtr<PageElement> OwnerFormOf(MemElement& control) {
  return ComPtr<PageElement>(control.FormOwner());
}

}  // namespace

// --- input ------------------------------------------------------------

MemInputElement::MemInputElement(MemDocument* document, ElementKind kind, Namespace ns,
                                 std::u16string localName)
    : MemElementWith(document, kind, ns, std::move(localName)) {}

void MemInputElement::ParsedAttributesReady() {
  value_ = StripNewlines(AttributeText(u"value"));
  checked_ = HasAttribute(u"checked");
}

std::u16string MemInputElement::type() {
  std::u16string t = AsciiLower(AttributeText(u"type"));
  for (std::u16string_view known : InputTypes) {
    if (t == known) return t;
  }
  return u"text";
}

MemInputElement::ValueMode MemInputElement::Mode() {
  const std::u16string t = type();
  if (t == u"hidden" || t == u"submit" || t == u"image" || t == u"reset" || t == u"button") {
    return ValueMode::Default;
  }
  if (t == u"checkbox" || t == u"radio") return ValueMode::DefaultOn;
  if (t == u"file") return ValueMode::Filename;
  return ValueMode::Value;
}

bool MemInputElement::IsTextField() {
  return Mode() == ValueMode::Value;
}

bool MemInputElement::IsCheckable() {
  return Mode() == ValueMode::DefaultOn;
}

std::u16string MemInputElement::value() {
  if (Dead()) return {};
  switch (Mode()) {
    case ValueMode::Value:
      return value_;
    case ValueMode::Default:
      return AttributeText(u"value");
    case ValueMode::DefaultOn:
      return HasAttribute(u"value") ? AttributeText(u"value") : u"on";
    case ValueMode::Filename:
      return {};
  }
  return {};
}

void MemInputElement::setValue(std::u16string_view value) {
  if (Dead()) return;
  switch (Mode()) {
    case ValueMode::Value: {
      std::u16string next = StripNewlines(value);
      dirtyValue_ = true;
      if (next == value_) return;
      value_ = std::move(next);
      FirePropertyChange(*this, u"value");
      return;
    }
    case ValueMode::Default:
    case ValueMode::DefaultOn: {
      const std::u16string old = this->value();
      StoreAttribute(u"value", Variant::FromString(std::u16string(value)));
      if (this->value() != old) FirePropertyChange(*this, u"value");
      return;
    }
    case ValueMode::Filename:
      if (!value.empty()) {
        throw platform::Exception(u"A file input's value can only be set to the empty text");
      }
      return;
  }
}

void MemInputElement::SetValueByUser(std::u16string value) {
  if (Dead() || Mode() != ValueMode::Value) return;
  std::u16string next = StripNewlines(value);
  dirtyValue_ = true;
  if (next == value_) return;
  value_ = std::move(next);
  FirePropertyChange(*this, u"value", true);
}

void MemInputElement::SetValueInternal(std::u16string value) {
  value_ = StripNewlines(value);
}

void MemInputElement::SetCheckedInternal(bool checked) noexcept {
  checked_ = checked;
}

void MemInputElement::setChecked(bool checked) {
  if (Dead()) return;
  dirtyChecked_ = true;
  if (checked && type() == u"radio") {
    CheckInGroup(true);
    return;
  }
  if (checked_ == checked) return;
  checked_ = checked;
  FirePropertyChange(*this, u"checked");
}

std::vector<ComPtr<MemInputElement>> MemInputElement::RadioGroup() {
  std::vector<ComPtr<MemInputElement>> group;
  MemDocument* document = OwnerDocument();
  const std::u16string name = AttributeText(u"name");
  if (document == nullptr || name.empty() || !IsConnected()) return group;
  MemFormElement* owner = FormOwner();
  const std::vector<MemElement*>& candidates =
      owner != nullptr ? document->FormControls(*owner) : document->Order();
  for (MemElement* e : candidates) {
    if (!e->Is(ElementKind::Input)) continue;
    auto* input = static_cast<MemInputElement*>(e);
    if (input->type() != u"radio" || input->AttributeText(u"name") != name) continue;
    if (owner == nullptr && input->FormOwner() != nullptr) continue;
    group.emplace_back(input);
  }
  return group;
}

void MemInputElement::CheckInGroup(bool raiseEvents) {
  const ComPtr<MemElement> self(this);
  for (const ComPtr<MemInputElement>& other : RadioGroup()) {
    if (other.Get() == this || !other->checked_) continue;
    other->checked_ = false;
    if (raiseEvents) FirePropertyChange(*other, u"checked");
  }
  if (checked_ || Dead()) return;
  checked_ = true;
  if (raiseEvents) FirePropertyChange(*this, u"checked");
}

MemInputElement* MemInputElement::CheckedRadioOfGroup() {
  for (const ComPtr<MemInputElement>& r : RadioGroup()) {
    if (r->checked_) return r.Get();
  }
  return nullptr;
}

int32_t MemInputElement::maxLength() {
  if (!HasAttribute(u"maxlength")) return platform::UnlimitedMaxLength;
  return ParseNonNegative(AttributeText(u"maxlength"), platform::UnlimitedMaxLength);
}

ComPtr<PageElement> MemInputElement::form() {
  return OwnerFormOf(*this);
}

void MemInputElement::AttributeChanged(std::u16string_view lowerName) {
  MemElement::AttributeChanged(lowerName);
  if (Dead()) return;
  if (lowerName == u"value" && !dirtyValue_ && Mode() == ValueMode::Value) {
    std::u16string next = StripNewlines(AttributeText(u"value"));
    if (next == value_) return;
    value_ = std::move(next);
    FirePropertyChange(*this, u"value");
  } else if (lowerName == u"checked" && !dirtyChecked_) {
    const bool next = HasAttribute(u"checked");
    if (next == checked_) return;
    if (next && type() == u"radio") {
      CheckInGroup(true);
      return;
    }
    checked_ = next;
    FirePropertyChange(*this, u"checked");
  }
}

// A checkbox or radio button changes at once, before the click's listeners
// run (they see the new state), and goes back when one of them cancels.
void MemInputElement::PrepareActivation() {
  const std::u16string t = type();
  previousRadio_ = nullptr;
  wasChecked_ = checked_;
  if (t == u"checkbox") {
    dirtyChecked_ = true;
    checked_ = !checked_;
    FirePropertyChange(*this, u"checked", true);
  } else if (t == u"radio") {
    previousRadio_ = ComPtr<MemElement>(CheckedRadioOfGroup());
    dirtyChecked_ = true;
    CheckInGroup(true);
  }
}

void MemInputElement::CancelActivation() {
  const std::u16string t = type();
  ComPtr<MemElement> previous = std::move(previousRadio_);
  previousRadio_ = nullptr;
  if (t == u"checkbox") {
    if (checked_ == wasChecked_) return;
    checked_ = wasChecked_;
    FirePropertyChange(*this, u"checked", true);
  } else if (t == u"radio") {
    if (previous && previous.Get() != this && previous->IsLive()) {
      static_cast<MemInputElement*>(previous.Get())->CheckInGroup(true);
    } else if (!wasChecked_ && checked_) {
      checked_ = false;
      FirePropertyChange(*this, u"checked", true);
    }
  }
}

void MemInputElement::CompleteActivation() {
  const std::u16string t = type();
  previousRadio_ = nullptr;
  if (t == u"checkbox" || t == u"radio") {
    if (checked_ != wasChecked_) FireChange(*this);
    return;
  }
  MemFormElement* owner = FormOwner();
  if (owner == nullptr) return;
  const ComPtr<MemElement> keep(owner);
  if (t == u"submit" || t == u"image") {
    owner->SubmitFrom(this, true);
  } else if (t == u"reset") {
    owner->Reset();
  }
}

void MemInputElement::ResetControl() {
  dirtyValue_ = false;
  value_ = StripNewlines(AttributeText(u"value"));
  dirtyChecked_ = false;
  checked_ = HasAttribute(u"checked");
}

// --- textarea ---------------------------------------------------------

std::u16string MemTextAreaElement::value() {
  if (Dead()) return {};
  return dirty_ ? value_ : NormalizeNewlines(defaultValue());
}

void MemTextAreaElement::setValue(std::u16string_view value) {
  Store(std::u16string(value), false);
}

std::u16string MemTextAreaElement::defaultValue() {
  return TextContent();
}

ComPtr<PageElement> MemTextAreaElement::form() {
  return OwnerFormOf(*this);
}

void MemTextAreaElement::SetValueByUser(std::u16string value) {
  Store(std::move(value), true);
}

void MemTextAreaElement::Store(std::u16string value, bool fromUser) {
  if (Dead()) return;
  const std::u16string old = this->value();
  value_ = NormalizeNewlines(value);
  dirty_ = true;
  if (value_ != old) FirePropertyChange(*this, u"value", fromUser);
}

void MemTextAreaElement::ResetControl() {
  dirty_ = false;
  value_.clear();
}

// --- button -----------------------------------------------------------

std::u16string MemButtonElement::type() {
  std::u16string t = AsciiLower(AttributeText(u"type"));
  return t == u"reset" || t == u"button" ? t : u"submit";
}

ComPtr<PageElement> MemButtonElement::form() {
  return OwnerFormOf(*this);
}

void MemButtonElement::CompleteActivation() {
  MemFormElement* owner = FormOwner();
  if (owner == nullptr) return;
  const ComPtr<MemElement> keep(owner);
  const std::u16string t = type();
  if (t == u"submit") {
    owner->SubmitFrom(this, true);
  } else if (t == u"reset") {
    owner->Reset();
  }
}

// --- select -----------------------------------------------------------

const std::vector<MemOptionElement*>& MemSelectElement::Options() {
  MemDocument* document = OwnerDocument();
  if (document == nullptr) {
    options_.clear();
    return options_;
  }
  if (optionsVersion_ == document->TreeVersion()) return options_;
  options_.clear();
  for (MemElement* e = FirstElementChild(); e != nullptr; e = e->NextElementSibling()) {
    if (e->Is(ElementKind::Option)) {
      options_.push_back(static_cast<MemOptionElement*>(e));
    } else if (e->Is(ElementKind::OptGroup)) {
      for (MemElement* o = e->FirstElementChild(); o != nullptr; o = o->NextElementSibling()) {
        if (o->Is(ElementKind::Option)) options_.push_back(static_cast<MemOptionElement*>(o));
      }
    }
  }
  optionsVersion_ = document->TreeVersion();
  return options_;
}

namespace {

std::vector<ComPtr<MemOptionElement>> HeldOptions(MemSelectElement& select) {
  const auto& options = select.Options();
  return {options.begin(), options.end()};
}

}  // namespace

std::u16string MemSelectElement::value() {
  for (MemOptionElement* o : Options()) {
    if (o->Selected()) return o->value();
  }
  return {};
}

void MemSelectElement::setValue(std::u16string_view value) {
  bool found = false;
  for (const auto& o : HeldOptions(*this)) {
    const bool match = !found && o->value() == value;
    found = found || match;
    o->SetSelectedInternal(match, match, true);
  }
}

int32_t MemSelectElement::selectedIndex() {
  const auto& options = Options();
  for (size_t i = 0; i < options.size(); ++i) {
    if (options[i]->Selected()) return static_cast<int32_t>(i);
  }
  return -1;
}

void MemSelectElement::setSelectedIndex(int32_t index) {
  int32_t i = 0;
  for (const auto& o : HeldOptions(*this)) {
    o->SetSelectedInternal(i == index, i == index, true);
    ++i;
  }
}

int32_t MemSelectElement::length() {
  return static_cast<int32_t>(Options().size());
}

ComPtr<PageElement> MemSelectElement::item(int32_t index) {
  const auto& options = Options();
  if (index < 0 || static_cast<size_t>(index) >= options.size()) return {};
  return ComPtr<PageElement>(options[static_cast<size_t>(index)]);
}

Variant MemSelectElement::onchange() {
  return ValueFromScript(HandlerScript(PageEventType::Change));
}

void MemSelectElement::setOnchange(const Variant& script) {
  SetHandlerScript(PageEventType::Change, script);
}

ComPtr<PageElement> MemSelectElement::form() {
  return OwnerFormOf(*this);
}

int32_t MemSelectElement::DisplaySize() {
  const int32_t size = ParseNonNegative(AttributeText(u"size"), 0);
  if (size > 0) return size;
  return multiple() ? 4 : 1;
}

void MemSelectElement::ResetSelectedness(bool raiseEvents) {
  if (Dead() || multiple()) return;
  const auto options = HeldOptions(*this);
  MemOptionElement* last = nullptr;
  size_t count = 0;
  for (const auto& o : options) {
    if (!o->Selected()) continue;
    ++count;
    last = o.Get();
  }
  if (count == 0 && DisplaySize() == 1) {
    for (const auto& o : options) {
      if (o->Disabled()) continue;
      o->SetSelectedInternal(true, false, raiseEvents);
      break;
    }
  } else if (count > 1) {
    DeselectOthers(last, raiseEvents);
  }
}

void MemSelectElement::DeselectOthers(MemOptionElement* keep, bool raiseEvents) {
  for (const auto& o : HeldOptions(*this)) {
    if (o.Get() != keep) o->SetSelectedInternal(false, false, raiseEvents);
  }
}

void MemSelectElement::ChooseByUser(int32_t index, bool additive) {
  if (Dead()) return;
  const ComPtr<MemElement> self(this);
  const auto options = HeldOptions(*this);
  if (index < 0 || static_cast<size_t>(index) >= options.size()) return;
  MemOptionElement* target = options[static_cast<size_t>(index)].Get();
  bool changed = false;
  if (multiple() && additive) {
    changed = target->SetSelectedInternal(!target->Selected(), true, true);
  } else {
    for (const auto& o : options) {
      changed = o->SetSelectedInternal(o.Get() == target, o.Get() == target, true) || changed;
    }
  }
  if (changed && !Dead()) FireChange(*this);
}

void MemSelectElement::ResetControl() {
  for (const auto& o : HeldOptions(*this))
    o->ResetOption();
  ResetSelectedness(false);
}

// --- option -----------------------------------------------------------

MemSelectElement* MemOptionElement::OwnerSelect() const noexcept {
  MemElement* parent = Parent();
  if (parent != nullptr && parent->Is(ElementKind::OptGroup)) parent = parent->Parent();
  if (parent != nullptr && parent->Is(ElementKind::Select)) {
    return static_cast<MemSelectElement*>(parent);
  }
  return nullptr;
}

bool MemOptionElement::Disabled() const {
  if (HasAttribute(u"disabled")) return true;
  const MemElement* parent = Parent();
  return parent != nullptr && parent->Is(ElementKind::OptGroup) &&
         parent->HasAttribute(u"disabled");
}

void MemOptionElement::ResetOption() noexcept {
  dirty_ = false;
  selected_ = HasAttribute(u"selected");
}

bool MemOptionElement::SetSelectedInternal(bool selected, bool dirty, bool raiseEvents) {
  if (dirty) dirty_ = true;
  if (selected_ == selected || Dead()) return false;
  selected_ = selected;
  if (raiseEvents) FirePropertyChange(*this, u"selected");
  return true;
}

void MemOptionElement::setSelected(bool selected) {
  if (Dead()) return;
  const ComPtr<MemElement> self(this);
  SetSelectedInternal(selected, true, true);
  MemSelectElement* select = OwnerSelect();
  if (select == nullptr) return;
  const ComPtr<MemElement> keep(select);
  if (selected && !select->multiple()) select->DeselectOthers(this, true);
  select->ResetSelectedness(true);
}

void MemOptionElement::AttributeChanged(std::u16string_view lowerName) {
  MemElement::AttributeChanged(lowerName);
  if (lowerName != u"selected" || dirty_ || Dead()) return;
  const bool want = HasAttribute(u"selected");
  if (!SetSelectedInternal(want, false, true)) return;
  MemSelectElement* select = OwnerSelect();
  if (select == nullptr) return;
  const ComPtr<MemElement> keep(select);
  if (want && !select->multiple()) select->DeselectOthers(this, true);
  select->ResetSelectedness(true);
}

std::u16string MemOptionElement::value() {
  return HasAttribute(u"value") ? AttributeText(u"value") : text();
}

std::u16string MemOptionElement::text() {
  std::u16string raw;
  for (const MemNode* n = FirstChild(); n != nullptr;) {
    const MemElement* e = const_cast<MemNode*>(n)->AsElement();
    if (e != nullptr && (e->Is(ElementKind::Script) || e->LocalName() == u"script")) {
      n = MemTree::NextSkippingChildren(n, this);
      continue;
    }
    if (n->Kind() == NodeKind::Text) raw += static_cast<const MemCharacterData*>(n)->Data;
    n = MemTree::Next(n, this);
  }
  return StripAndCollapse(raw);
}

int32_t MemOptionElement::index() {
  MemSelectElement* select = OwnerSelect();
  if (select == nullptr) return -1;
  const auto& options = select->Options();
  const auto it = std::find(options.begin(), options.end(), this);
  return it == options.end() ? -1 : static_cast<int32_t>(it - options.begin());
}

}  // namespace qm::memdom
