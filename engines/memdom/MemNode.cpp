#include "engines/memdom/MemNode.h"

#include <atomic>

#include "engines/memdom/MemDocument.h"
#include "engines/memdom/MemElements.h"
#include "engines/memdom/MemEvents.h"
#include "engines/memdom/MemScript.h"
#include "engines/memdom/MemSerialize.h"
#include "platform/dom/InlineStyle.h"
#include "platform/rtl/Exception.h"

namespace qm::memdom {

using platform::Exception;

// --- text helpers -----------------------------------------------------

bool EqualsIgnoringAsciiCase(std::u16string_view a, std::u16string_view b) noexcept {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    char16_t x = a[i];
    char16_t y = b[i];
    if (x >= u'A' && x <= u'Z') x = static_cast<char16_t>(x + 32);
    if (y >= u'A' && y <= u'Z') y = static_cast<char16_t>(y + 32);
    if (x != y) return false;
  }
  return true;
}

std::u16string AsciiLower(std::u16string_view text) {
  std::u16string out(text);
  for (char16_t& c : out) {
    if (c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c + 32);
  }
  return out;
}

std::u16string AsciiUpper(std::u16string_view text) {
  std::u16string out(text);
  for (char16_t& c : out) {
    if (c >= u'a' && c <= u'z') c = static_cast<char16_t>(c - 32);
  }
  return out;
}

bool IsHtmlSpace(char16_t c) noexcept {
  return c == u' ' || c == u'\t' || c == u'\n' || c == u'\f' || c == u'\r';
}

std::u16string StripAndCollapse(std::u16string_view text) {
  std::u16string out;
  out.reserve(text.size());
  bool space = false;
  for (char16_t c : text) {
    if (IsHtmlSpace(c)) {
      space = !out.empty();
      continue;
    }
    if (space) out.push_back(u' ');
    space = false;
    out.push_back(c);
  }
  return out;
}

// --- nodes and tree ---------------------------------------------------

MemElement* MemNode::AsElement() noexcept {
  return IsElement() ? static_cast<MemElement*>(this) : nullptr;
}

void MemTree::AppendChild(MemElement& parent, MemNode* child) {
  child->parent_ = &parent;
  child->prev_ = parent.lastChild_;
  child->next_ = nullptr;
  if (parent.lastChild_ != nullptr) {
    parent.lastChild_->next_ = child;
  } else {
    parent.firstChild_ = child;
  }
  parent.lastChild_ = child;
}

void MemTree::AppendChild(MemElement& parent, const ComPtr<MemElement>& child) {
  child->AddRef();  // the tree's own reference
  AppendChild(parent, static_cast<MemNode*>(child.Get()));
}

void MemTree::Unlink(MemNode& node) noexcept {
  MemElement* parent = node.parent_;
  if (parent == nullptr) return;
  if (node.prev_ != nullptr) {
    node.prev_->next_ = node.next_;
  } else {
    parent->firstChild_ = node.next_;
  }
  if (node.next_ != nullptr) {
    node.next_->prev_ = node.prev_;
  } else {
    parent->lastChild_ = node.prev_;
  }
  node.parent_ = nullptr;
  node.prev_ = nullptr;
  node.next_ = nullptr;
}

void MemTree::Kill(MemNode* node) noexcept {
  MemElement* element = node->AsElement();
  if (element == nullptr) {
    delete static_cast<MemCharacterData*>(node);
    return;
  }
  element->LeftDocument();
  element->document_ = nullptr;
  element->parserForm_ = nullptr;
  element->owner_ = nullptr;
  element->sourceIndex_ = -1;
  element->attributes_.clear();
  element->attributes_.shrink_to_fit();
  element->listeners_.reset();
  element->handlers_.reset();
  element->Release();  // the tree's reference
}

void MemTree::DestroyChildren(MemElement& top) noexcept {
  MemNode* node = top.firstChild_;
  while (node != nullptr) {
    MemElement* element = node->AsElement();
    if (element != nullptr && element->firstChild_ != nullptr) {
      node = element->firstChild_;
      continue;
    }
    // A leaf: unlink it, then go on with its sibling or, when it was the
    // last child, with its parent (which has become a leaf itself).
    MemElement* parent = node->parent_;
    MemNode* next = node->next_;
    Unlink(*node);
    Kill(node);
    node = next != nullptr ? next : (parent == &top ? nullptr : parent);
  }
}

MemNode* MemTree::Next(const MemNode* node, const MemElement* scope) noexcept {
  if (node->IsElement()) {
    const auto* element = static_cast<const MemElement*>(node);
    if (element->firstChild_ != nullptr) return element->firstChild_;
  }
  return NextSkippingChildren(node, scope);
}

MemNode* MemTree::NextSkippingChildren(const MemNode* node, const MemElement* scope) noexcept {
  while (node != nullptr && node != scope) {
    if (node->next_ != nullptr) return node->next_;
    node = node->parent_;
  }
  return nullptr;
}

// --- element ----------------------------------------------------------

MemElement::MemElement(MemDocument* document, ElementKind kind, Namespace ns,
                       std::u16string localName)
    : MemNode(NodeKind::Element),
      document_(document),
      kind_(kind),
      ns_(ns),
      localName_(std::move(localName)) {}

MemElement::~MemElement() {
  // A removed subtree goes with its last holder; its descendants are freed
  // bottom up like a closed document's.
  MemTree::DestroyChildren(*this);
}

MemElement* MemElement::FirstElementChild() const noexcept {
  for (MemNode* n = firstChild_; n != nullptr; n = n->NextSibling()) {
    if (n->IsElement()) return static_cast<MemElement*>(n);
  }
  return nullptr;
}

MemElement* MemElement::NextElementSibling() const noexcept {
  for (MemNode* n = NextSibling(); n != nullptr; n = n->NextSibling()) {
    if (n->IsElement()) return static_cast<MemElement*>(n);
  }
  return nullptr;
}

bool MemElement::IsConnected() const noexcept {
  return document_ != nullptr && document_->SourceIndexOf(*this) >= 0;
}

bool MemElement::IsInclusiveAncestorOf(const MemNode* node) const noexcept {
  for (const MemNode* n = node; n != nullptr; n = n->Parent()) {
    if (n == this) return true;
  }
  return false;
}

const Variant* MemElement::FindAttribute(std::u16string_view name) const noexcept {
  for (const MemAttribute& a : attributes_) {
    if (EqualsIgnoringAsciiCase(a.Name, name)) return &a.Value;
  }
  return nullptr;
}

std::u16string MemElement::AttributeText(std::u16string_view name) const {
  const Variant* v = FindAttribute(name);
  return v == nullptr ? std::u16string() : v->ToText();
}

void MemElement::StoreAttribute(std::u16string_view name, Variant value) {
  if (Dead()) return;
  bool found = false;
  for (MemAttribute& a : attributes_) {
    if (EqualsIgnoringAsciiCase(a.Name, name)) {
      a.Value = std::move(value);
      found = true;
      break;
    }
  }
  if (!found) attributes_.push_back({std::u16string(name), std::move(value)});
  AttributeChanged(AsciiLower(name));
}

bool MemElement::DropAttribute(std::u16string_view name) {
  for (auto it = attributes_.begin(); it != attributes_.end(); ++it) {
    if (EqualsIgnoringAsciiCase(it->Name, name)) {
      attributes_.erase(it);
      AttributeChanged(AsciiLower(name));
      return true;
    }
  }
  return false;
}

std::u16string MemElement::TextContent() const {
  std::u16string out;
  for (const MemNode* n = firstChild_; n != nullptr; n = MemTree::Next(n, this)) {
    if (n->Kind() == NodeKind::Text) out += static_cast<const MemCharacterData*>(n)->Data;
  }
  return out;
}

ListenerList& MemElement::Listeners() {
  if (!listeners_) listeners_ = std::make_unique<ListenerList>();
  return *listeners_;
}

namespace {

// The event whose handler attribute is name ("onclick"), if any.
bool HandlerEventOf(std::u16string_view lowerName, PageEventType& type) {
  static constexpr PageEventType all[] = {
      PageEventType::Click,  PageEventType::MouseDown, PageEventType::MouseUp,
      PageEventType::Submit, PageEventType::Change,    PageEventType::PropertyChange,
      PageEventType::Load,
  };
  if (lowerName.size() < 3 || lowerName.substr(0, 2) != u"on") return false;
  for (PageEventType t : all) {
    if (lowerName.substr(2) == platform::PageEventName(t)) {
      type = t;
      return true;
    }
  }
  return false;
}

std::u16string HandlerAttributeName(PageEventType type) {
  return u"on" + std::u16string(platform::PageEventName(type));
}

}  // namespace

ComPtr<IUnknown> MemElement::HandlerScript(PageEventType type) {
  if (handlers_) {
    for (const HandlerOverride& h : *handlers_) {
      if (h.Type == type) return h.Script;
    }
  }
  const Variant* text = FindAttribute(HandlerAttributeName(type));
  if (text == nullptr) return {};
  return ScriptFromValue(Variant::FromString(text->ToText()));
}

void MemElement::SetHandlerScript(PageEventType type, const Variant& script) {
  if (Dead()) return;
  ComPtr<IUnknown> value = ScriptFromValue(script);
  if (!handlers_) handlers_ = std::make_unique<std::vector<HandlerOverride>>();
  for (HandlerOverride& h : *handlers_) {
    if (h.Type == type) {
      h.Script = std::move(value);
      return;
    }
  }
  handlers_->push_back({type, std::move(value)});
}

void MemElement::AttributeChanged(std::u16string_view lowerName) {
  PageEventType type;
  if (handlers_ && HandlerEventOf(lowerName, type)) {
    // Writing the attribute makes it the handler again.
    std::erase_if(*handlers_, [&](const HandlerOverride& h) { return h.Type == type; });
  }
  if ((lowerName == u"id" || lowerName == u"form") && document_ != nullptr) {
    document_->StructureChanged();
  }
}

MemFormElement* MemElement::FormOwner() const {
  if (document_ == nullptr || !IsFormListed()) return nullptr;
  return document_->OwnerOf(*this);
}

void* MemElement::QueryExtraInterface(const IID& iid) {
  if (iid == MemElementIid) return static_cast<MemElement*>(this);
  return nullptr;
}

ComPtr<MemElement> AsMemElement(const ComPtr<IUnknown>& object) {
  if (!object) return {};
  void* out = nullptr;
  if (platform::Failed(object->QueryInterface(MemElementIid, &out)) || out == nullptr) return {};
  return ComPtr<MemElement>::Adopt(static_cast<MemElement*>(out));
}

// --- PageElement ------------------------------------------------------

uint32_t MemElement::Advise(const ComPtr<PageEventSink>& sink) {
  if (!sink) throw Exception(u"No event sink to connect");
  if (Dead()) return NextConnectionCookie();
  return Listeners().Add(sink);
}

void MemElement::Unadvise(uint32_t cookie) {
  if (listeners_) listeners_->Remove(cookie);
}

std::u16string MemElement::tagName() {
  return ns_ == Namespace::Html ? AsciiUpper(localName_) : localName_;
}

Variant MemElement::getAttribute(std::u16string_view name) {
  const Variant* v = FindAttribute(name);
  return v == nullptr ? Variant::Null() : *v;
}

void MemElement::setAttribute(std::u16string_view name, const Variant& value) {
  if (name.empty()) throw Exception(u"An attribute needs a name");
  Variant stored;
  switch (value.GetKind()) {
    case Variant::Kind::Int32:
    case Variant::Kind::String:
      stored = value;
      break;
    case Variant::Kind::Empty:
    case Variant::Kind::Null:
      stored = Variant::FromString(u"");
      break;
    case Variant::Kind::Bool:
      stored = Variant::FromString(value.ToText());
      break;
    default:
      throw Exception(u"An attribute holds a text or an integer");
  }
  StoreAttribute(name, std::move(stored));
}

bool MemElement::removeAttribute(std::u16string_view name) {
  return !Dead() && DropAttribute(name);
}

std::u16string MemElement::title() {
  return AttributeText(u"title");
}

void MemElement::setTitle(std::u16string_view title) {
  StoreAttribute(u"title", Variant::FromString(std::u16string(title)));
}

int32_t MemElement::sourceIndex() {
  return document_ == nullptr ? -1 : document_->SourceIndexOf(*this);
}

std::u16string MemElement::innerText() {
  return Dead() ? std::u16string() : RenderedText(*this);
}

std::u16string MemElement::innerHTML() {
  return Dead() ? std::u16string() : SerializeChildren(*this);
}

ComPtr<PageElement> MemElement::parentElement() {
  return ComPtr<PageElement>(Parent());
}

ComPtr<platform::PageDocument> MemElement::document() {
  return ComPtr<platform::PageDocument>(document_);
}

void MemElement::click() {
  if (Dead() || clickInProgress_) return;
  if (IsFormListed() && IsDisabled()) return;
  ComPtr<MemElement> self(this);
  struct Reset {
    bool& flag;
    ~Reset() { flag = false; }
  } reset{clickInProgress_};
  clickInProgress_ = true;
  // A click on something inside a link or a button activates that.
  ComPtr<MemElement> activator;
  for (MemElement* e = this; e != nullptr; e = e->Parent()) {
    if (e->HasActivation()) {
      activator = ComPtr<MemElement>(e);
      break;
    }
  }
  if (activator) activator->PrepareActivation();
  const bool go = FireClick(*this);
  if (!activator || activator->Dead()) return;
  if (go) {
    activator->CompleteActivation();
  } else {
    activator->CancelActivation();
  }
}

Variant MemElement::onclick() {
  return ValueFromScript(HandlerScript(PageEventType::Click));
}

void MemElement::setOnclick(const Variant& script) {
  SetHandlerScript(PageEventType::Click, script);
}

// --- style ------------------------------------------------------------

namespace {

class MemStyle final : public platform::ComObject<platform::PageStyle> {
public:
  explicit MemStyle(ComPtr<MemElement> element) : element_(std::move(element)) {}

  std::u16string backgroundColor() override {
    return platform::InlineStyleProperty(element_->AttributeText(u"style"), u"background-color");
  }

  void setBackgroundColor(std::u16string_view color) override {
    // A value that would end the declaration is no colour; browsers ignore it.
    std::optional<std::u16string> text = platform::WithInlineStyleProperty(
        element_->AttributeText(u"style"), u"background-color", color);
    if (text) element_->StoreAttribute(u"style", Variant::FromString(std::move(*text)));
  }

private:
  ComPtr<MemElement> element_;
};

}  // namespace

ComPtr<platform::PageStyle> MemElement::style() {
  return MakeCom<MemStyle>(ComPtr<MemElement>(this));
}

}  // namespace qm::memdom
