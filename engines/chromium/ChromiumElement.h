// One element of a page in Chromium: every view of PageDocument.h on one
// object, answered by QueryInterface according to its tag, the way the
// built-in engine answers them.
//
// Reads come from the document's mirror (ChromiumDocument.h). Writes change
// the mirror at once, raise propertychange for our own sinks like the
// built-in engine does, and queue the page operation; the page then raises
// its input and change events as a user's edit would (see PageDocument.h).
// A detached element (its document replaced or closed) reads empty and
// ignores writes.
//
// Everything here belongs to the tab's window thread.
#pragma once

#include <set>

#include "engines/chromium/ChromiumDocument.h"
#include "platform/dom/PageBrowser.h"

namespace qm::chromium {

enum class TagKind : uint8_t {
  Other, Form, Input, Select, Option, TextArea, Button, Listed, Anchor, Area, Meta, Frame,
};
TagKind KindOfTag(std::u16string_view tag);

class ChromiumElement final
    : public platform::ComObject<PageElement>,
      public platform::PageFormElement,
      public platform::PageInputElement,
      public platform::PageSelectElement,
      public platform::PageOptionElement,
      public platform::PageTextAreaElement,
      public platform::PageButtonElement,
      public platform::PageAnchorElement,
      public platform::PageAreaElement,
      public platform::PageMetaElement,
      public platform::PageFrameElement {
public:
  ChromiumElement(ChromiumDocument* document, int64_t id, std::u16string tag);

  platform::HRESULT QueryInterface(const platform::IID& iid, void** object) override {
    return ComObject::QueryInterface(iid, object);
  }
  uint32_t AddRef() override { return ComObject::AddRef(); }
  uint32_t Release() override { return ComObject::Release(); }

  int64_t Id() const noexcept { return id_; }
  ChromiumDocument* Owner() const noexcept { return document_; }
  void Detach() noexcept;
  SinkList& Sinks() noexcept { return sinks_; }
  TagKind Kind() const noexcept { return kind_; }

  // --- PageElement ---
  uint32_t Advise(const ComPtr<PageEventSink>& sink) override;
  void Unadvise(uint32_t cookie) override { sinks_.Remove(cookie); }
  std::u16string tagName() override { return tag_; }
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

  // --- the views (one implementation each, by tag) ---
  int32_t length() override;
  ComPtr<PageElement> item(int32_t index) override;
  ComPtr<platform::ElementCollection> tags(std::u16string_view tagName) override;
  std::u16string name() override { return AttributeText(u"name"); }
  std::u16string method() override;
  std::u16string action() override { return AttributeText(u"action"); }
  void submit() override;
  std::u16string type() override;
  std::u16string value() override;
  void setValue(std::u16string_view value) override;
  std::u16string defaultValue() override;
  bool checked() override;
  void setChecked(bool checked) override;
  bool defaultChecked() override { return HasAttribute(u"checked"); }
  int32_t maxLength() override;
  ComPtr<PageElement> form() override;
  int32_t selectedIndex() override;
  void setSelectedIndex(int32_t index) override;
  bool multiple() override { return HasAttribute(u"multiple"); }
  Variant onchange() override;
  void setOnchange(const Variant& script) override;
  bool selected() override;
  void setSelected(bool selected) override;
  std::u16string text() override;
  bool defaultSelected() override { return HasAttribute(u"selected"); }
  int32_t index() override;
  std::u16string href() override;
  std::u16string alt() override { return AttributeText(u"alt"); }
  std::u16string httpEquiv() override { return AttributeText(u"http-equiv"); }
  std::u16string content() override { return AttributeText(u"content"); }
  std::u16string src() override;
  ComPtr<platform::PageBrowser> contentBrowser() override;

  // The text of an attribute; empty when absent or detached.
  std::u16string AttributeText(std::u16string_view name);
  bool HasAttribute(std::u16string_view name);
  // The style attribute rewritten by the style view.
  void SetBackgroundColor(std::u16string_view color);
  std::u16string BackgroundColor();

protected:
  void* QueryExtraInterface(const platform::IID& iid) override;

private:
  const ElementRecord* Record();
  ElementRecord* Mutable();
  void RaisePropertyChange(std::u16string_view property);
  void QueueOperation(Json operation);
  std::vector<ComPtr<ChromiumElement>> SelectOptions();

  ChromiumDocument* document_;
  int64_t id_;
  std::u16string tag_;
  TagKind kind_;
  SinkList sinks_;
  // Attributes last set as integers (lower case), read back as integers.
  std::set<std::u16string> integerAttributes_;
};

// The engine's element behind a page element reference; none for another
// engine's.
ComPtr<ChromiumElement> AsChromiumElement(const ComPtr<PageElement>& element);

}  // namespace qm::chromium
