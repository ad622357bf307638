// The built-in engine's document tree: nodes, and the element base class
// that every element of a page is an object of.
//
// Tree and ownership. A node's links (parent, siblings, children) are plain
// pointers. The tree keeps each attached element alive with one reference
// of its own and deletes text and comment nodes itself; nothing else in the
// tree owns anything, so building, walking and tearing down a tree never
// recurses, however deep it is. The document owns the tree (MemDocument);
// an element held from outside outlives its tree as a detached element:
// no document, no links, no attributes, no sinks (see PageDocument.h for
// what the add-on may expect of it).
//
// Control state follows browsers: a public setter (the PageElement view
// methods) raises events and keeps radio groups and selects consistent; the
// internal setters of the subclasses only change state.
//
// Everything here belongs to the page's user-interface thread.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/com/Unknown.h"
#include "platform/com/Variant.h"
#include "platform/dom/PageDocument.h"

namespace qm::memdom {

using platform::ComPtr;
using platform::IID;
using platform::IUnknown;
using platform::MakeCom;
using platform::PageElement;
using platform::PageEvent;
using platform::PageEventSink;
using platform::PageEventType;
using platform::Variant;

class MemDocument;
class MemElement;
class MemFormElement;
template <class Sink>
class SinkList;
using ListenerList = SinkList<PageEventSink>;

enum class NodeKind : uint8_t { Element, Text, Comment };

enum class ElementKind : uint8_t {
  Other,
  Html,
  Head,
  Body,
  Title,
  Base,
  Meta,
  Script,
  Style,
  Template,
  Noscript,
  Form,
  Input,
  Select,
  Option,
  OptGroup,
  TextArea,
  Button,
  Fieldset,
  Object,
  Output,
  Embed,
  Anchor,
  Area,
  Frame,
  IFrame,
  Br,
  Pre,
};

enum class Namespace : uint8_t { Html, Svg, MathMl };

class MemNode {
public:
  MemNode(const MemNode&) = delete;
  MemNode& operator=(const MemNode&) = delete;

  NodeKind Kind() const noexcept { return kind_; }
  bool IsElement() const noexcept { return kind_ == NodeKind::Element; }
  MemElement* Parent() const noexcept { return parent_; }
  MemNode* PreviousSibling() const noexcept { return prev_; }
  MemNode* NextSibling() const noexcept { return next_; }
  // The element itself, or nullptr for text and comments.
  MemElement* AsElement() noexcept;

protected:
  explicit MemNode(NodeKind kind) : kind_(kind) {}
  ~MemNode() = default;

private:
  friend class MemElement;
  friend class MemTree;
  NodeKind kind_;
  MemElement* parent_ = nullptr;
  MemNode* prev_ = nullptr;
  MemNode* next_ = nullptr;
};

// A text or a comment.
class MemCharacterData final : public MemNode {
public:
  MemCharacterData(NodeKind kind, std::u16string data) : MemNode(kind), Data(std::move(data)) {}
  std::u16string Data;
};

struct MemAttribute {
  std::u16string Name;  // as first set; compared without ASCII case
  Variant Value;        // a text or an integer
};

// The engine's own identity of an element object, for AsMemElement.
inline constexpr IID MemElementIid = platform::MakeGuid("{6A1E2B41-51C3-4E0B-9C7A-2D4F0E8B1401}");

class MemElement : public MemNode, public platform::ComObject<PageElement> {
public:
  MemElement(MemDocument* document, ElementKind kind, Namespace ns, std::u16string localName);
  ~MemElement() override;

  // --- tree ---
  MemNode* FirstChild() const noexcept { return firstChild_; }
  MemNode* LastChild() const noexcept { return lastChild_; }
  MemElement* FirstElementChild() const noexcept;
  MemElement* NextElementSibling() const noexcept;
  // The document while the element belongs to one; nullptr once detached
  // from a closed document.
  MemDocument* OwnerDocument() const noexcept { return document_; }
  bool IsLive() const noexcept { return document_ != nullptr; }
  // Attached to its document's tree (not removed, not closed).
  bool IsConnected() const noexcept;
  bool IsInclusiveAncestorOf(const MemNode* node) const noexcept;

  ElementKind ElemKind() const noexcept { return kind_; }
  bool Is(ElementKind kind) const noexcept { return kind_ == kind && ns_ == Namespace::Html; }
  Namespace Ns() const noexcept { return ns_; }
  const std::u16string& LocalName() const noexcept { return localName_; }

  // --- attributes (no events, no scripts) ---
  const Variant* FindAttribute(std::u16string_view name) const noexcept;
  bool HasAttribute(std::u16string_view name) const noexcept {
    return FindAttribute(name) != nullptr;
  }
  // The text of an attribute; empty when absent.
  std::u16string AttributeText(std::u16string_view name) const;
  void StoreAttribute(std::u16string_view name, Variant value);
  bool DropAttribute(std::u16string_view name);
  const std::vector<MemAttribute>& Attributes() const noexcept { return attributes_; }
  // The parser's attributes: stored as they come (no duplicates), without
  // change hooks; ParsedAttributesReady follows the last one.
  void AppendParsedAttribute(std::u16string name, std::u16string value) {
    attributes_.push_back({std::move(name), Variant::FromString(std::move(value))});
  }
  virtual void ParsedAttributesReady() {}

  // --- text ---
  // The concatenated texts of the descendants (textContent).
  std::u16string TextContent() const;

  // --- events ---
  ListenerList& Listeners();
  ListenerList* ListenersIfAny() const noexcept { return listeners_.get(); }
  // The script that handles type on this element: an explicitly set one,
  // else the one of its on... attribute; none when neither.
  ComPtr<IUnknown> HandlerScript(PageEventType type);
  void SetHandlerScript(PageEventType type, const Variant& script);

  // --- behaviour hooks ---
  // After an attribute changed (name in ASCII lower case).
  virtual void AttributeChanged(std::u16string_view lowerName);
  // Click activation of this element, run around the click's dispatch:
  // Prepare before (it may change state at once, as a checkbox does),
  // then Complete or Cancel depending on whether a listener cancelled.
  virtual bool HasActivation() const { return false; }
  virtual void PrepareActivation() {}
  virtual void CompleteActivation() {}
  virtual void CancelActivation() {}
  virtual bool IsFormListed() const { return false; }
  // The element leaves its document for good (closed or removed).
  virtual void LeftDocument() noexcept {}
  // Submittable and resettable controls.
  virtual void ResetControl() {}
  bool IsDisabled() const { return HasAttribute(u"disabled"); }

  // The form this control belongs to (listed elements only).
  MemFormElement* FormOwner() const;
  MemFormElement* ParserForm() const noexcept { return parserForm_; }
  void SetParserForm(MemFormElement* form) noexcept { parserForm_ = form; }

  // --- PageElement ---
  uint32_t Advise(const ComPtr<PageEventSink>& sink) override;
  void Unadvise(uint32_t cookie) override;
  std::u16string tagName() override;
  Variant getAttribute(std::u16string_view name) override;
  void setAttribute(std::u16string_view name, const Variant& value) override;
  bool removeAttribute(std::u16string_view name) override;
  ComPtr<platform::PageStyle> style() override;
  std::u16string title() override;
  void setTitle(std::u16string_view title) override;
  int32_t sourceIndex() override;
  std::u16string innerText() override;
  std::u16string innerHTML() override;
  ComPtr<PageElement> parentElement() override;
  ComPtr<platform::PageDocument> document() override;
  void click() override;
  Variant onclick() override;
  void setOnclick(const Variant& script) override;

  // Cache stamps kept by the document (see MemDocument::EnsureOrder).
  uint64_t orderStamp_ = 0;
  int32_t sourceIndex_ = -1;
  MemFormElement* owner_ = nullptr;

  // Reads give nothing once the element is detached from a closed document.
  bool Dead() const noexcept { return document_ == nullptr; }

protected:
  void* QueryExtraInterface(const IID& iid) override;

private:
  friend class MemTree;
  struct HandlerOverride {
    PageEventType Type;
    ComPtr<IUnknown> Script;  // none: removed
  };

  MemNode* firstChild_ = nullptr;
  MemNode* lastChild_ = nullptr;
  MemDocument* document_;
  MemFormElement* parserForm_ = nullptr;
  ElementKind kind_;
  Namespace ns_;
  bool clickInProgress_ = false;
  std::u16string localName_;
  std::vector<MemAttribute> attributes_;
  std::unique_ptr<ListenerList> listeners_;
  std::unique_ptr<std::vector<HandlerOverride>> handlers_;
};

// An element with further interfaces (its views). The views' IUnknown
// methods all lead to the one element object.
template <class... Views>
class MemElementWith : public MemElement, public Views... {
public:
  using MemElement::MemElement;

  platform::HRESULT QueryInterface(const IID& iid, void** object) override {
    return MemElement::QueryInterface(iid, object);
  }
  uint32_t AddRef() override { return MemElement::AddRef(); }
  uint32_t Release() override { return MemElement::Release(); }

protected:
  void* QueryExtraInterface(const IID& iid) override {
    void* found = nullptr;
    ((found == nullptr && iid == Views::Iid ? (found = static_cast<Views*>(this)) : nullptr), ...);
    return found != nullptr ? found : MemElement::QueryExtraInterface(iid);
  }
};

// Tree surgery and walks; the only code that touches the links.
class MemTree {
public:
  // Takes over a text or comment node; an element gets the tree's own
  // reference.
  static void AppendChild(MemElement& parent, MemNode* child);
  static void AppendChild(MemElement& parent, const ComPtr<MemElement>& child);
  // Unlinks node from its parent (an element keeps the tree's reference,
  // which the caller now owns).
  static void Unlink(MemNode& node) noexcept;
  // Frees every descendant of top, bottom up, without recursion.
  static void DestroyChildren(MemElement& top) noexcept;
  // node leaves for good: detached from its document, and the tree's
  // reference dropped (text and comments are deleted).
  static void Kill(MemNode* node) noexcept;
  // Pre-order walk inside scope (scope itself excluded): the next node,
  // or nullptr at the end.
  static MemNode* Next(const MemNode* node, const MemElement* scope) noexcept;
  // The same, but not into node's children.
  static MemNode* NextSkippingChildren(const MemNode* node, const MemElement* scope) noexcept;
};

// The engine's element behind any interface of one; none for objects of
// another engine or no element.
ComPtr<MemElement> AsMemElement(const ComPtr<IUnknown>& object);
template <class T>
ComPtr<MemElement> AsMemElement(const ComPtr<T>& object) {
  return AsMemElement(object.template As<IUnknown>());
}

// ASCII helpers for tag and attribute names.
bool EqualsIgnoringAsciiCase(std::u16string_view a, std::u16string_view b) noexcept;
std::u16string AsciiLower(std::u16string_view text);
std::u16string AsciiUpper(std::u16string_view text);
bool IsHtmlSpace(char16_t c) noexcept;
// Strips HTML white space at both ends and collapses inner runs to one space.
std::u16string StripAndCollapse(std::u16string_view text);

}  // namespace qm::memdom
