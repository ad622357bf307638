// Helpers of the page document layer's tests: real pages from the built-in
// engine, and a broken element and form for the failure paths that no
// well-behaved page can reach. Tests only; the add-on never includes an
// engine.
#pragma once

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "engines/memdom/MemBrowser.h"
#include "engines/memdom/MemdomTesting.h"
#include "platform/dom/PageDocument.h"
#include "platform/rtl/Exception.h"

namespace qm::bho_testing {

using memdom::MemDocument;
using memdom::testing::ById;
using memdom::testing::LoadPage;
using memdom::testing::ViewById;
using platform::ComPtr;
using platform::PageElement;
using platform::PageEventSink;
using platform::Variant;

inline std::u16string AttributeText(const ComPtr<PageElement>& element, std::u16string_view name) {
  return element->getAttribute(name).ToText();
}

// An element of any tag name with the views given and nothing behind them:
// the failure paths that no well-behaved page reaches. With
// RaiseOnAttributes, reading and writing attributes raise.
template <class... Views>
class StubElement : public platform::ComObject<PageElement, Views...> {
public:
  explicit StubElement(std::u16string tag) : tag_(std::move(tag)) {}
  bool RaiseOnAttributes = false;

  uint32_t Advise(const ComPtr<PageEventSink>&) override { return 1; }
  void Unadvise(uint32_t) override {}
  std::u16string tagName() override { return tag_; }
  Variant getAttribute(std::u16string_view) override {
    if (RaiseOnAttributes) throw platform::Exception(u"attributes are gone");
    return Variant::Null();
  }
  void setAttribute(std::u16string_view, const Variant&) override {
    if (RaiseOnAttributes) throw platform::Exception(u"attributes are gone");
  }
  bool removeAttribute(std::u16string_view) override { return false; }
  ComPtr<platform::PageStyle> style() override { return {}; }
  std::u16string title() override { return {}; }
  void setTitle(std::u16string_view) override {}
  int32_t sourceIndex() override { return 1000; }
  std::u16string innerText() override { return {}; }
  std::u16string innerHTML() override { return {}; }
  ComPtr<PageElement> parentElement() override { return {}; }
  ComPtr<platform::PageDocument> document() override { return {}; }
  void click() override {}
  Variant onclick() override { return Variant::Null(); }
  void setOnclick(const Variant&) override {}

private:
  std::u16string tag_;
};

// An element that has no view at all, so every operation that needs one
// fails.
using BrokenElement = StubElement<>;

// A form whose controls are the given elements, of any engine; an index in
// RaiseAt raises when asked for.
class ListForm : public StubElement<platform::PageFormElement> {
public:
  explicit ListForm(std::vector<ComPtr<PageElement>> controls)
      : StubElement(u"FORM"), controls_(std::move(controls)) {}
  int32_t RaiseAt = -1;

  int32_t length() override { return static_cast<int32_t>(controls_.size()); }
  ComPtr<PageElement> item(int32_t index) override {
    if (index == RaiseAt) throw platform::Exception(u"control is gone");
    if (index < 0 || index >= length()) return {};
    return controls_[static_cast<size_t>(index)];
  }
  ComPtr<platform::ElementCollection> tags(std::u16string_view) override { return {}; }
  std::u16string name() override { return {}; }
  std::u16string method() override { return u"get"; }
  std::u16string action() override { return {}; }
  void submit() override {}

private:
  std::vector<ComPtr<PageElement>> controls_;
};

inline ComPtr<PageElement> AsElement(const ComPtr<BrokenElement>& element) {
  return ComPtr<PageElement>(element.Get());
}
inline ComPtr<PageElement> AsElement(const ComPtr<ListForm>& form) {
  return ComPtr<PageElement>(static_cast<PageElement*>(form.Get()));
}

}  // namespace qm::bho_testing
