// The element classes with a behaviour of their own: forms and their
// controls, links, meta and frames. Each answers the view interfaces of
// PageDocument.h that fit it and no other.
//
// Controls keep state as browsers do: an input's value and its dirty flag
// (a value written by the program or the user, after which the value
// attribute no longer shows through), its checkedness and dirty
// checkedness, an option's selectedness and dirtiness, a textarea's raw
// value and dirty flag. The public view setters raise propertychange and
// keep radio groups and single selects consistent; the *Internal setters
// only change state.
//
// Everything here belongs to the page's user-interface thread.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "engines/memdom/MemNode.h"
#include "platform/dom/PageBrowser.h"
#include "platform/dom/PageDocument.h"

namespace qm::memdom {

class MemOptionElement;
class MemSelectElement;

// Creates the element object that fits the tag.
ComPtr<MemElement> CreateElement(MemDocument* document, ElementKind kind, Namespace ns,
                                 std::u16string localName);
// ElementKind of an HTML tag name (lower case).
ElementKind KindOfTag(std::u16string_view lowerName);

class MemFormElement final : public MemElementWith<platform::PageFormElement> {
public:
  using MemElementWith::MemElementWith;

  int32_t length() override;
  ComPtr<PageElement> item(int32_t index) override;
  ComPtr<platform::ElementCollection> tags(std::u16string_view tagName) override;
  std::u16string name() override { return AttributeText(u"name"); }
  std::u16string method() override;
  std::u16string action() override { return AttributeText(u"action"); }
  void submit() override;

  // With fireEvent, raises onsubmit first and stops when it is cancelled.
  void SubmitFrom(MemElement* submitter, bool fireEvent);
  void Reset();

  // Kept by the document's caches.
  std::vector<MemElement*> controls_;

private:
  bool submitting_ = false;
};

// fieldset, object and output: listed in their form, nothing more.
class MemListedElement final : public MemElement {
public:
  using MemElement::MemElement;
  bool IsFormListed() const override { return true; }
};

class MemInputElement final : public MemElementWith<platform::PageInputElement> {
public:
  MemInputElement(MemDocument* document, ElementKind kind, Namespace ns, std::u16string localName);

  std::u16string type() override;
  std::u16string name() override { return AttributeText(u"name"); }
  std::u16string value() override;
  void setValue(std::u16string_view value) override;
  std::u16string defaultValue() override { return AttributeText(u"value"); }
  bool checked() override { return !Dead() && checked_; }
  void setChecked(bool checked) override;
  bool defaultChecked() override { return HasAttribute(u"checked"); }
  int32_t maxLength() override;
  ComPtr<PageElement> form() override;

  enum class ValueMode : uint8_t { Value, Default, DefaultOn, Filename };
  ValueMode Mode();
  bool IsTextField();
  bool IsCheckable();
  // A keystroke's or a paste's new value: raises propertychange with the
  // page's own handler.
  void SetValueByUser(std::u16string value);
  void SetValueInternal(std::u16string value);
  void SetCheckedInternal(bool checked) noexcept;
  // Checks this radio button and unchecks the rest of its group, raising
  // propertychange for each that changed.
  void CheckInGroup(bool raiseEvents);
  MemInputElement* CheckedRadioOfGroup();
  // The radio buttons of its group (itself included); empty when it has no
  // name or no document.
  std::vector<ComPtr<MemInputElement>> RadioGroup();

  void ParsedAttributesReady() override;
  void AttributeChanged(std::u16string_view lowerName) override;
  bool HasActivation() const override { return true; }
  void PrepareActivation() override;
  void CompleteActivation() override;
  void CancelActivation() override;
  bool IsFormListed() const override { return true; }
  void ResetControl() override;

private:
  std::u16string value_;
  bool dirtyValue_ = false;
  bool checked_ = false;
  bool dirtyChecked_ = false;
  // The state a click's activation restores when it is cancelled.
  bool wasChecked_ = false;
  ComPtr<MemElement> previousRadio_;
};

class MemTextAreaElement final : public MemElementWith<platform::PageTextAreaElement> {
public:
  using MemElementWith::MemElementWith;

  std::u16string name() override { return AttributeText(u"name"); }
  std::u16string value() override;
  void setValue(std::u16string_view value) override;
  std::u16string defaultValue() override;
  ComPtr<PageElement> form() override;

  void SetValueByUser(std::u16string value);
  bool IsFormListed() const override { return true; }
  void ResetControl() override;

private:
  void Store(std::u16string value, bool fromUser);
  std::u16string value_;
  bool dirty_ = false;
};

class MemButtonElement final : public MemElementWith<platform::PageButtonElement> {
public:
  using MemElementWith::MemElementWith;

  std::u16string type() override;
  std::u16string name() override { return AttributeText(u"name"); }
  std::u16string value() override { return AttributeText(u"value"); }
  ComPtr<PageElement> form() override;

  bool HasActivation() const override { return true; }
  void CompleteActivation() override;
  bool IsFormListed() const override { return true; }
};

class MemSelectElement final : public MemElementWith<platform::PageSelectElement> {
public:
  using MemElementWith::MemElementWith;

  std::u16string name() override { return AttributeText(u"name"); }
  std::u16string value() override;
  void setValue(std::u16string_view value) override;
  int32_t selectedIndex() override;
  void setSelectedIndex(int32_t index) override;
  bool multiple() override { return HasAttribute(u"multiple"); }
  int32_t length() override;
  ComPtr<PageElement> item(int32_t index) override;
  Variant onchange() override;
  void setOnchange(const Variant& script) override;
  ComPtr<PageElement> form() override;

  // Its list of options, kept until the tree changes.
  const std::vector<MemOptionElement*>& Options();
  int32_t DisplaySize();
  // A single select showing one line gets exactly one selected option
  // (the first enabled one when none is, the last when several are).
  void ResetSelectedness(bool raiseEvents = false);
  // The user picks option index (additive: toggles it in a multiple
  // select); raises propertychange and change.
  void ChooseByUser(int32_t index, bool additive);
  // Every option deselected except keep (which is left alone).
  void DeselectOthers(MemOptionElement* keep, bool raiseEvents);
  bool IsFormListed() const override { return true; }
  void ResetControl() override;

private:
  std::vector<MemOptionElement*> options_;
  uint64_t optionsVersion_ = 0;
};

class MemOptionElement final : public MemElementWith<platform::PageOptionElement> {
public:
  using MemElementWith::MemElementWith;

  bool selected() override { return !Dead() && selected_; }
  void setSelected(bool selected) override;
  std::u16string value() override;
  std::u16string text() override;
  bool defaultSelected() override { return HasAttribute(u"selected"); }
  int32_t index() override;

  MemSelectElement* OwnerSelect() const noexcept;
  // Returns whether it changed; raises propertychange when asked to.
  bool SetSelectedInternal(bool selected, bool dirty, bool raiseEvents);
  bool Selected() const noexcept { return selected_; }
  bool Disabled() const;
  void ResetOption() noexcept;
  void ParsedAttributesReady() override { selected_ = HasAttribute(u"selected"); }
  void AttributeChanged(std::u16string_view lowerName) override;

private:
  bool selected_ = false;
  bool dirty_ = false;
};

class MemAnchorElement final : public MemElementWith<platform::PageAnchorElement> {
public:
  using MemElementWith::MemElementWith;
  std::u16string href() override;
  bool HasActivation() const override { return HasAttribute(u"href"); }
  void CompleteActivation() override;
};

class MemAreaElement final : public MemElementWith<platform::PageAreaElement> {
public:
  using MemElementWith::MemElementWith;
  std::u16string href() override;
  std::u16string alt() override { return AttributeText(u"alt"); }
  bool HasActivation() const override { return HasAttribute(u"href"); }
  void CompleteActivation() override;
};

class MemMetaElement final : public MemElementWith<platform::PageMetaElement> {
public:
  using MemElementWith::MemElementWith;
  std::u16string httpEquiv() override { return AttributeText(u"http-equiv"); }
  std::u16string content() override { return AttributeText(u"content"); }
  std::u16string name() override { return AttributeText(u"name"); }
};

// What a frame element knows of the browser it embeds.
struct IMemFrameContent : IUnknown {
  static constexpr IID Iid = platform::MakeGuid("{6A1E2B41-51C3-4E0B-9C7A-2D4F0E8B1403}");
  using BaseInterface = IUnknown;
  // The frame element is gone: show nothing, navigate nowhere.
  virtual void FrameElementGone() noexcept = 0;
};

class MemFrameElement final : public MemElementWith<platform::PageFrameElement> {
public:
  using MemElementWith::MemElementWith;
  ~MemFrameElement() override;

  std::u16string name() override { return AttributeText(u"name"); }
  std::u16string src() override;
  ComPtr<platform::PageBrowser> contentBrowser() override;

  // The browser (which must answer IMemFrameContent) is told when this
  // element leaves its document.
  void SetContentBrowser(ComPtr<platform::PageBrowser> browser);
  void ReleaseContent() noexcept;
  void LeftDocument() noexcept override;

private:
  ComPtr<platform::PageBrowser> browser_;
};

}  // namespace qm::memdom
