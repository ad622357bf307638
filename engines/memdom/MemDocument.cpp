#include "engines/memdom/MemDocument.h"

#include <map>
#include <utility>

#include "engines/memdom/GumboTree.h"
#include "engines/memdom/HtmlCharset.h"
#include "engines/memdom/HtmlGuard.h"
#include "engines/memdom/MemElements.h"
#include "platform/net/AddressJoin.h"
#include "platform/rtl/Exception.h"
#include "platform/rtl/Utf.h"

namespace qm::memdom {

using platform::ElementCollection;

// --- collections ------------------------------------------------------

namespace {

const std::vector<MemElement*> NoElements;

// A live list over the document: rebuilt when the tree has changed since
// it was last read, so every item(i) of a walk costs nothing extra.
class MemCollection final : public platform::ComObject<ElementCollection> {
public:
  MemCollection(ComPtr<MemDocument> document, ComPtr<MemElement> form, bool formsOnly,
                std::u16string tag)
      : document_(std::move(document)),
        form_(std::move(form)),
        formsOnly_(formsOnly),
        tag_(AsciiLower(tag)) {}

  int32_t length() override { return static_cast<int32_t>(Items().size()); }

  ComPtr<PageElement> item(int32_t index) override {
    const auto& items = Items();
    if (index < 0 || static_cast<size_t>(index) >= items.size()) return {};
    return ComPtr<PageElement>(items[static_cast<size_t>(index)]);
  }

  ComPtr<ElementCollection> tags(std::u16string_view tagName) override {
    return MakeCom<MemCollection>(document_, form_, formsOnly_, std::u16string(tagName));
  }

private:
  const std::vector<MemElement*>& Source() {
    // A detached form's list has no document.
    if (!document_ || document_->Closed()) return NoElements;
    if (form_) {
      if (form_->Dead()) return NoElements;
      return document_->FormControls(static_cast<MemFormElement&>(*form_));
    }
    return document_->Order();
  }

  bool Wanted(const MemElement& e) const {
    if (formsOnly_ && !e.Is(ElementKind::Form)) return false;
    return tag_.empty() || EqualsIgnoringAsciiCase(e.LocalName(), tag_);
  }

  const std::vector<MemElement*>& Items() {
    const std::vector<MemElement*>& source = Source();
    if (!formsOnly_ && tag_.empty()) return source;
    if (!document_ || builtAt_ != document_->TreeVersion() || document_->Closed()) {
      items_.clear();
      for (MemElement* e : source) {
        if (Wanted(*e)) items_.push_back(e);
      }
      if (document_) builtAt_ = document_->TreeVersion();
    }
    return items_;
  }

  ComPtr<MemDocument> document_;
  ComPtr<MemElement> form_;
  bool formsOnly_;
  std::u16string tag_;
  std::vector<MemElement*> items_;
  uint64_t builtAt_ = 0;
};

}  // namespace

ComPtr<ElementCollection> MakeFormControlCollection(MemFormElement& form,
                                                    std::u16string_view tagName) {
  MemDocument* document = form.OwnerDocument();
  return MakeCom<MemCollection>(ComPtr<MemDocument>(document), ComPtr<MemElement>(&form), false,
                                std::u16string(tagName));
}

// --- window -----------------------------------------------------------

uint32_t MemWindow::Advise(const ComPtr<PageEventSink>& sink) {
  if (!sink) throw platform::Exception(u"No event sink to connect");
  if (document_ == nullptr) return NextConnectionCookie();
  return listeners_.Add(sink);
}

void MemWindow::Unadvise(uint32_t cookie) {
  listeners_.Remove(cookie);
}

ComPtr<PageEvent> MemWindow::event() {
  return events_.empty() ? ComPtr<PageEvent>() : events_.back();
}

ComPtr<platform::PageDocument> MemWindow::document() {
  return ComPtr<platform::PageDocument>(document_);
}

void MemWindow::Detach() noexcept {
  document_ = nullptr;
  listeners_.Clear();
  events_.clear();
}

// --- document ---------------------------------------------------------

MemDocument::MemDocument(DocumentOptions options)
    : url_(std::move(options.Url)),
      scripts_(std::move(options.Scripts)),
      host_(options.Host),
      window_(MakeCom<MemWindow>(this)) {
  if (!scripts_) scripts_ = std::make_shared<ScriptBindings>();
}

ComPtr<MemDocument> MemDocument::Load(std::string_view bytes, DocumentOptions options) {
  const std::u16string hostCharset = options.Charset;
  ComPtr<MemDocument> document(new MemDocument(std::move(options)));
  document->charset_ = DetermineCharset(bytes, hostCharset);
  const GuardedHtml html = GuardHtml(DecodeToUtf8(bytes, document->charset_));
  document->inputLimited_ = html.Limited;
  BuildDocumentTree(*document, html);
  document->FinishParsing();
  return document;
}

MemDocument::~MemDocument() {
  Close();
}

void MemDocument::SetRoot(const ComPtr<MemElement>& root) {
  root->AddRef();  // the tree's reference
  root_ = root.Get();
  StructureChanged();
}

void MemDocument::Close() noexcept {
  if (closed_) return;
  closed_ = true;
  focused_ = nullptr;
  host_ = nullptr;
  listeners_.Clear();
  window_->Detach();
  if (root_ != nullptr) {
    MemElement* root = root_;
    root_ = nullptr;
    MemTree::DestroyChildren(*root);
    MemTree::Kill(root);
  }
  order_.clear();
  ids_.clear();
  StructureChanged();
}

MemElement* MemDocument::Body() const noexcept {
  if (root_ == nullptr) return nullptr;
  for (MemElement* e = root_->FirstElementChild(); e != nullptr; e = e->NextElementSibling()) {
    if (e->Is(ElementKind::Body)) return e;
  }
  return nullptr;
}

uint32_t MemDocument::Advise(const ComPtr<PageEventSink>& sink) {
  if (!sink) throw platform::Exception(u"No event sink to connect");
  if (closed_) return NextConnectionCookie();
  return listeners_.Add(sink);
}

void MemDocument::Unadvise(uint32_t cookie) {
  listeners_.Remove(cookie);
}

ComPtr<ElementCollection> MemDocument::all() {
  return MakeCom<MemCollection>(ComPtr<MemDocument>(this), nullptr, false, std::u16string());
}

ComPtr<ElementCollection> MemDocument::forms() {
  return MakeCom<MemCollection>(ComPtr<MemDocument>(this), nullptr, true, std::u16string());
}

ComPtr<PageElement> MemDocument::activeElement() {
  if (focused_ && focused_->IsConnected()) return ComPtr<PageElement>(focused_.Get());
  return ComPtr<PageElement>(Body());
}

std::u16string MemDocument::title() {
  for (MemElement* e : Order()) {
    if (e->Is(ElementKind::Title)) return StripAndCollapse(e->TextContent());
  }
  return {};
}

ComPtr<platform::PageWindow> MemDocument::parentWindow() {
  return ComPtr<platform::PageWindow>(window_.Get());
}

std::vector<ComPtr<IUnknown>> MemDocument::embeddedObjects() {
  std::vector<ComPtr<IUnknown>> objects;
  for (MemElement* e : Order()) {
    if (e->Is(ElementKind::Frame) || e->Is(ElementKind::IFrame)) {
      if (auto browser = static_cast<MemFrameElement*>(e)->contentBrowser()) {
        objects.push_back(browser.As<IUnknown>());
      }
    } else if (e->Is(ElementKind::Object) || e->Is(ElementKind::Embed)) {
      objects.push_back(ComPtr<PageElement>(e).As<IUnknown>());
    }
  }
  return objects;
}

namespace {

bool StartsWithIgnoringCase(std::u16string_view text, std::u16string_view prefix) {
  return text.size() >= prefix.size() &&
         EqualsIgnoringAsciiCase(text.substr(0, prefix.size()), prefix);
}

// The text of a "javascript:" address: %XX escapes of UTF-8 decoded.
std::u16string ScriptOfAddress(std::u16string_view url) {
  const std::string bytes = platform::U8(url.substr(11));
  std::string decoded;
  auto hex = [](char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
  };
  for (size_t i = 0; i < bytes.size(); ++i) {
    if (bytes[i] == '%' && i + 2 < bytes.size() && hex(bytes[i + 1]) >= 0 &&
        hex(bytes[i + 2]) >= 0) {
      decoded.push_back(static_cast<char>(hex(bytes[i + 1]) * 16 + hex(bytes[i + 2])));
      i += 2;
    } else {
      decoded.push_back(bytes[i]);
    }
  }
  return platform::Utf8ToUtf16(decoded);
}

}  // namespace

void MemDocument::RequestNavigation(NavigationRequest request, MemElement* element) {
  if (closed_) return;
  if (StartsWithIgnoringCase(request.Url, u"javascript:")) {
    ScriptContext context;
    context.Element = ComPtr<PageElement>(element);
    context.Document = this;
    const ComPtr<MemDocument> keep(this);
    RunScript(ScriptFromValue(Variant::FromString(ScriptOfAddress(request.Url))), context);
    return;
  }
  if (host_ != nullptr) host_->NavigateFrom(*this, request);
}

std::u16string MemDocument::BaseUrl() {
  EnsureCaches();
  return baseUrl_;
}

std::u16string MemDocument::ResolveUrl(std::u16string_view relative) {
  try {
    return platform::CombineAddress(BaseUrl(), relative);
  } catch (const platform::Exception&) {
    return std::u16string(relative);
  }
}

namespace {

bool IsTextControl(MemElement& e) {
  if (e.Is(ElementKind::TextArea)) return true;
  return e.Is(ElementKind::Input) && static_cast<MemInputElement&>(e).IsTextField();
}

std::u16string ControlValue(MemElement& e) {
  if (e.Is(ElementKind::TextArea)) return static_cast<MemTextAreaElement&>(e).value();
  if (e.Is(ElementKind::Input)) return static_cast<MemInputElement&>(e).value();
  return {};
}

}  // namespace

void MemDocument::MoveFocus(MemElement* element) {
  if (closed_ || focused_.Get() == element) return;
  if (element != nullptr && element->OwnerDocument() != this) return;
  const ComPtr<MemElement> previous = std::move(focused_);
  const std::u16string previousValue = std::move(focusValue_);
  focused_ = ComPtr<MemElement>(element);
  focusValue_ = element != nullptr ? ControlValue(*element) : std::u16string();
  // A text control commits its change when it loses the focus.
  if (previous && previous->IsLive() && IsTextControl(*previous) &&
      ControlValue(*previous) != previousValue) {
    FireChange(*previous);
  }
}

// --- caches -----------------------------------------------------------

void MemDocument::EnsureCaches() {
  if (cacheVersion_ == version_) return;
  order_.clear();
  ids_.clear();
  baseUrl_ = url_;
  bool baseFound = false;
  const uint64_t stamp = version_;
  if (root_ != nullptr) {
    for (MemNode* n = root_; n != nullptr;) {
      MemElement* e = n->AsElement();
      if (e == nullptr) {
        n = MemTree::Next(n, root_);
        continue;
      }
      e->orderStamp_ = stamp;
      e->sourceIndex_ = static_cast<int32_t>(order_.size());
      e->owner_ = nullptr;
      order_.push_back(e);
      if (e->Is(ElementKind::Form)) static_cast<MemFormElement*>(e)->controls_.clear();
      if (const Variant* id = e->FindAttribute(u"id")) {
        std::u16string text = id->ToText();
        if (!text.empty()) ids_.emplace(std::move(text), e);
      }
      if (!baseFound && e->Is(ElementKind::Base) && e->HasAttribute(u"href")) {
        baseFound = true;
        try {
          baseUrl_ = platform::CombineAddress(url_, e->AttributeText(u"href"));
        } catch (const platform::Exception&) {
          // A base that doesn't join leaves the document's own address.
        }
      }
      // Template contents are not part of the document.
      n = e->Is(ElementKind::Template) ? MemTree::NextSkippingChildren(n, root_)
                                       : MemTree::Next(n, root_);
    }
  }
  cacheVersion_ = version_;
  for (MemElement* e : order_) {
    if (!e->IsFormListed()) continue;
    MemFormElement* owner = nullptr;
    if (const Variant* formId = e->FindAttribute(u"form")) {
      const auto it = ids_.find(formId->ToText());
      if (it != ids_.end() && it->second->Is(ElementKind::Form)) {
        owner = static_cast<MemFormElement*>(it->second);
      }
    } else if (e->ParserForm() != nullptr && e->ParserForm()->orderStamp_ == stamp) {
      owner = e->ParserForm();
    } else {
      for (MemElement* p = e->Parent(); p != nullptr; p = p->Parent()) {
        if (p->Is(ElementKind::Form)) {
          owner = static_cast<MemFormElement*>(p);
          break;
        }
      }
    }
    e->owner_ = owner;
    if (owner != nullptr) owner->controls_.push_back(e);
  }
}

const std::vector<MemElement*>& MemDocument::Order() {
  EnsureCaches();
  return order_;
}

int32_t MemDocument::SourceIndexOf(const MemElement& element) {
  EnsureCaches();
  return element.orderStamp_ == cacheVersion_ && element.OwnerDocument() == this
             ? element.sourceIndex_
             : -1;
}

const std::vector<MemElement*>& MemDocument::FormControls(MemFormElement& form) {
  EnsureCaches();
  if (form.orderStamp_ != cacheVersion_ || form.OwnerDocument() != this) return NoElements;
  return form.controls_;
}

MemFormElement* MemDocument::OwnerOf(const MemElement& element) {
  EnsureCaches();
  if (element.orderStamp_ != cacheVersion_ || element.OwnerDocument() != this) return nullptr;
  return element.owner_;
}

MemElement* MemDocument::ElementById(std::u16string_view id) {
  EnsureCaches();
  const auto it = ids_.find(std::u16string(id));
  return it == ids_.end() ? nullptr : it->second;
}

// --- building and changing the tree ------------------------------------

namespace {

// Radio groups keep their last checked button, single selects get their
// one selected option: what a browser settles when it inserts the nodes.
void SettleControls(MemDocument& document, const std::vector<MemElement*>& elements) {
  std::map<std::pair<MemFormElement*, std::u16string>, MemInputElement*> lastChecked;
  for (MemElement* e : elements) {
    if (!e->Is(ElementKind::Input)) continue;
    auto* input = static_cast<MemInputElement*>(e);
    if (!input->checked() || input->type() != u"radio") continue;
    const std::u16string name = input->name();
    if (name.empty()) continue;
    auto& previous = lastChecked[{document.OwnerOf(*input), name}];
    if (previous != nullptr) previous->SetCheckedInternal(false);
    previous = input;
  }
  for (MemElement* e : elements) {
    if (e->Is(ElementKind::Select)) static_cast<MemSelectElement*>(e)->ResetSelectedness(false);
  }
}

}  // namespace

void MemDocument::FinishParsing() {
  if (root_ == nullptr) {
    // Every document has its html, head and body, even an empty one.
    ComPtr<MemElement> html = CreateElement(this, ElementKind::Html, Namespace::Html, u"html");
    SetRoot(html);
    MemTree::AppendChild(*html, CreateElement(this, ElementKind::Head, Namespace::Html, u"head"));
    MemTree::AppendChild(*html, CreateElement(this, ElementKind::Body, Namespace::Html, u"body"));
  }
  SettleControls(*this, Order());
}

void MemDocument::AppendHtml(MemElement& parent, std::string_view html) {
  if (closed_ || parent.OwnerDocument() != this) return;
  const GuardedHtml guarded = GuardHtml(html);
  const std::vector<MemElement*> tops = AppendFragment(*this, parent, guarded);
  StructureChanged();
  std::vector<MemElement*> added;
  for (MemElement* top : tops) {
    added.push_back(top);
    for (MemNode* n = top->FirstChild(); n != nullptr; n = MemTree::Next(n, top)) {
      if (MemElement* e = n->AsElement()) added.push_back(e);
    }
  }
  // Radio buttons already checked elsewhere in their group give way to the
  // new ones, as they would to any newly inserted checked button.
  for (MemElement* e : added) {
    if (e->Is(ElementKind::Input)) {
      auto* input = static_cast<MemInputElement*>(e);
      if (input->checked() && input->type() == u"radio") input->CheckInGroup(false);
    }
  }
  SettleControls(*this, added);
}

void MemDocument::RemoveElement(MemElement& element) {
  if (closed_ || element.OwnerDocument() != this || &element == root_ ||
      element.Parent() == nullptr) {
    return;
  }
  if (focused_ && element.IsInclusiveAncestorOf(focused_.Get())) focused_ = nullptr;
  // Controls lose a parser link into the removed part, and the removed part
  // loses its links out.
  for (MemElement* e : Order()) {
    MemFormElement* form = e->ParserForm();
    if (form != nullptr &&
        (element.IsInclusiveAncestorOf(form) || element.IsInclusiveAncestorOf(e))) {
      e->SetParserForm(nullptr);
    }
  }
  for (MemNode* n = &element; n != nullptr; n = MemTree::Next(n, &element)) {
    if (MemElement* e = n->AsElement()) e->LeftDocument();
  }
  MemTree::Unlink(element);
  StructureChanged();
  // The tree's reference goes; a holder keeps the element, detached.
  element.Release();
}

}  // namespace qm::memdom
