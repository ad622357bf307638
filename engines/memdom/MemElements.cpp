#include "engines/memdom/MemElements.h"

#include <unordered_map>

#include "engines/memdom/FormSubmission.h"
#include "engines/memdom/MemDocument.h"
#include "engines/memdom/MemEvents.h"

namespace qm::memdom {

ElementKind KindOfTag(std::u16string_view lowerName) {
  static const std::unordered_map<std::u16string_view, ElementKind> kinds = {
      {u"html", ElementKind::Html},         {u"head", ElementKind::Head},
      {u"body", ElementKind::Body},         {u"title", ElementKind::Title},
      {u"base", ElementKind::Base},         {u"meta", ElementKind::Meta},
      {u"script", ElementKind::Script},     {u"style", ElementKind::Style},
      {u"template", ElementKind::Template}, {u"noscript", ElementKind::Noscript},
      {u"form", ElementKind::Form},         {u"input", ElementKind::Input},
      {u"select", ElementKind::Select},     {u"option", ElementKind::Option},
      {u"optgroup", ElementKind::OptGroup}, {u"textarea", ElementKind::TextArea},
      {u"button", ElementKind::Button},     {u"fieldset", ElementKind::Fieldset},
      {u"object", ElementKind::Object},     {u"output", ElementKind::Output},
      {u"embed", ElementKind::Embed},       {u"a", ElementKind::Anchor},
      {u"area", ElementKind::Area},         {u"frame", ElementKind::Frame},
      {u"iframe", ElementKind::IFrame},     {u"br", ElementKind::Br},
      {u"pre", ElementKind::Pre},
  };
  const auto it = kinds.find(lowerName);
  return it == kinds.end() ? ElementKind::Other : it->second;
}

ComPtr<MemElement> CreateElement(MemDocument* document, ElementKind kind, Namespace ns,
                                 std::u16string localName) {
  auto make = [&]<class T>() -> ComPtr<MemElement> {
    return ComPtr<MemElement>(MakeCom<T>(document, kind, ns, std::move(localName)));
  };
  if (ns != Namespace::Html) return make.template operator()<MemElement>();
  switch (kind) {
    case ElementKind::Form:
      return make.template operator()<MemFormElement>();
    case ElementKind::Input:
      return make.template operator()<MemInputElement>();
    case ElementKind::Select:
      return make.template operator()<MemSelectElement>();
    case ElementKind::Option:
      return make.template operator()<MemOptionElement>();
    case ElementKind::TextArea:
      return make.template operator()<MemTextAreaElement>();
    case ElementKind::Button:
      return make.template operator()<MemButtonElement>();
    case ElementKind::Fieldset:
    case ElementKind::Object:
    case ElementKind::Output:
      return make.template operator()<MemListedElement>();
    case ElementKind::Anchor:
      return make.template operator()<MemAnchorElement>();
    case ElementKind::Area:
      return make.template operator()<MemAreaElement>();
    case ElementKind::Meta:
      return make.template operator()<MemMetaElement>();
    case ElementKind::Frame:
    case ElementKind::IFrame:
      return make.template operator()<MemFrameElement>();
    default:
      return make.template operator()<MemElement>();
  }
}

// --- form -------------------------------------------------------------

int32_t MemFormElement::length() {
  if (Dead()) return 0;
  return static_cast<int32_t>(OwnerDocument()->FormControls(*this).size());
}

ComPtr<PageElement> MemFormElement::item(int32_t index) {
  if (Dead() || index < 0) return {};
  const auto& controls = OwnerDocument()->FormControls(*this);
  if (static_cast<size_t>(index) >= controls.size()) return {};
  return ComPtr<PageElement>(controls[static_cast<size_t>(index)]);
}

ComPtr<platform::ElementCollection> MemFormElement::tags(std::u16string_view tagName) {
  return MakeFormControlCollection(*this, tagName);
}

std::u16string MemFormElement::method() {
  return EqualsIgnoringAsciiCase(AttributeText(u"method"), u"post") ? u"post" : u"get";
}

void MemFormElement::submit() {
  SubmitFrom(nullptr, false);
}

void MemFormElement::SubmitFrom(MemElement* submitter, bool fireEvent) {
  if (Dead()) return;
  const ComPtr<MemElement> self(this);
  if (fireEvent) {
    // A submit handler that submits again doesn't start a second round.
    if (submitting_) return;
    submitting_ = true;
    const bool go = FireSubmit(*this);
    submitting_ = false;
    if (!go || Dead()) return;
  }
  NavigationRequest request = BuildFormSubmission(*this, submitter);
  OwnerDocument()->RequestNavigation(std::move(request), this);
}

void MemFormElement::Reset() {
  if (Dead()) return;
  const std::vector<MemElement*> controls = OwnerDocument()->FormControls(*this);
  std::vector<ComPtr<MemElement>> held(controls.begin(), controls.end());
  for (const ComPtr<MemElement>& c : held)
    c->ResetControl();
}

// --- links ------------------------------------------------------------

namespace {

void FollowLink(MemElement& link) {
  MemDocument* document = link.OwnerDocument();
  if (document == nullptr || !link.HasAttribute(u"href")) return;
  NavigationRequest request;
  request.Url = document->ResolveUrl(link.AttributeText(u"href"));
  request.Method = u"get";
  request.Target = link.AttributeText(u"target");
  document->RequestNavigation(std::move(request), &link);
}

std::u16string ResolvedHref(MemElement& link) {
  MemDocument* document = link.OwnerDocument();
  if (document == nullptr || !link.HasAttribute(u"href")) return {};
  return document->ResolveUrl(link.AttributeText(u"href"));
}

}  // namespace

std::u16string MemAnchorElement::href() {
  return ResolvedHref(*this);
}
void MemAnchorElement::CompleteActivation() {
  FollowLink(*this);
}
std::u16string MemAreaElement::href() {
  return ResolvedHref(*this);
}
void MemAreaElement::CompleteActivation() {
  FollowLink(*this);
}

// --- frames -----------------------------------------------------------

MemFrameElement::~MemFrameElement() {
  ReleaseContent();
}

std::u16string MemFrameElement::src() {
  if (Dead() || !HasAttribute(u"src")) return {};
  return OwnerDocument()->ResolveUrl(AttributeText(u"src"));
}

ComPtr<platform::PageBrowser> MemFrameElement::contentBrowser() {
  return Dead() ? ComPtr<platform::PageBrowser>() : browser_;
}

void MemFrameElement::SetContentBrowser(ComPtr<platform::PageBrowser> browser) {
  ReleaseContent();
  browser_ = std::move(browser);
}

void MemFrameElement::ReleaseContent() noexcept {
  ComPtr<platform::PageBrowser> browser = std::move(browser_);
  browser_ = nullptr;
  if (!browser) return;
  if (const ComPtr<IMemFrameContent> content = browser.As<IMemFrameContent>()) {
    content->FrameElementGone();
  }
}

void MemFrameElement::LeftDocument() noexcept {
  ReleaseContent();
}

}  // namespace qm::memdom
