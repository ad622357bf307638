// The page document interface: an HTML document, its elements and the
// specialised views of form controls, links and frames, as the add-on sees
// them. Documents come from an engine (engines/memdom, or a real Chromium
// in engines/chromium); the add-on never knows which.
//
// Objects and views. Every element is one object. Its specialised views
// (form, input, select, ...) are further interfaces of that same object,
// asked for with QueryInterface (ComPtr::As); asking an element for a view
// it doesn't have yields none. The same element is the same object however
// it was reached (`all`, `forms`, a form's `item`, `parentElement`, an
// event's `srcElement`), so ComIdentity compares elements and attributes
// set through one reference are seen through every other.
//
// Ownership. References are ComPtr. A document lives while someone holds
// it (its browser, normally). Holding an element does not keep its
// document alive: when the document is replaced or released, its elements
// become detached. A detached element stays safe to use: reads give empty
// texts, -1, false or none, writes and clicks do nothing, and connected
// sinks are dropped and never called. No reference ever dangles.
//
// Texts are UTF-16; a missing text reads as the empty string. Attribute
// names compare without regard to ASCII letter case and may contain
// spaces. Reading never changes the page; writing `value`, `checked`,
// `selected` or an attribute raises `onpropertychange` for connected sinks.
// click() and submit() run page behaviour.
//
// Page scripts. On an engine without a script engine (engines/memdom) a
// write runs no page script. On an engine that runs page scripts
// (engines/chromium), writing a control's value, checkedness or selection
// also raises the page's own `input` and `change` events, as a user's edit
// does, with the value set through the browser's native setters: pages
// built with a framework keep the state they submit apart from the
// control, and only hear a value that arrives like a user's. Connected
// sinks hear the write's propertychange as on any engine, not those page
// events again. Handler values (onclick, onchange) stay inside such a page: they read as
// null, and setting them does nothing, since the write itself has run the
// page's reaction already.
//
// Failures are raised as platform::Exception.
//
// Everything here belongs to the browser's user-interface thread.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/com/Unknown.h"
#include "platform/com/Variant.h"
#include "platform/dom/PageEvents.h"

namespace qm::platform {

struct PageBrowser;
struct PageDocument;
struct PageElement;

// The value of maxLength when the page sets no limit.
inline constexpr int32_t UnlimitedMaxLength = 2147483647;

// A list of elements in document order.
struct ElementCollection : IUnknown {
  static constexpr IID Iid = MakeGuid("{6A1E2B41-51C3-4E0B-9C7A-2D4F0E8B1201}");
  using BaseInterface = IUnknown;

  virtual int32_t length() = 0;
  // None outside 0 .. length - 1.
  virtual ComPtr<PageElement> item(int32_t index) = 0;
  // The members whose tag name equals tagName (ASCII case ignored), in order.
  virtual ComPtr<ElementCollection> tags(std::u16string_view tagName) = 0;
};

// An element's inline style, as far as the add-on marks controls.
struct PageStyle : IUnknown {
  static constexpr IID Iid = MakeGuid("{6A1E2B41-51C3-4E0B-9C7A-2D4F0E8B1202}");
  using BaseInterface = IUnknown;

  virtual std::u16string backgroundColor() = 0;
  // The empty text removes the element's own colour (the page's shows).
  virtual void setBackgroundColor(std::u16string_view color) = 0;
};

// Every element. Its events: click, mousedown and mouseup (bubbling up to
// the document), and at controls change and propertychange.
struct PageElement : PageEventSource {
  static constexpr IID Iid = MakeGuid("{6A1E2B41-51C3-4E0B-9C7A-2D4F0E8B1203}");
  using BaseInterface = PageEventSource;

  // Upper case for HTML elements ("INPUT"); compare after lower-casing.
  virtual std::u16string tagName() = 0;
  // Null when absent; otherwise the text or integer last set (markup gives
  // texts).
  virtual Variant getAttribute(std::u16string_view name) = 0;
  // value: a text or an integer (other kinds are stored as their text).
  // Raises for an empty name.
  virtual void setAttribute(std::u16string_view name, const Variant& value) = 0;
  // True when there was such an attribute.
  virtual bool removeAttribute(std::u16string_view name) = 0;
  virtual ComPtr<PageStyle> style() = 0;
  virtual std::u16string title() = 0;
  virtual void setTitle(std::u16string_view title) = 0;
  // Position in the document's `all`; -1 when detached.
  virtual int32_t sourceIndex() = 0;
  virtual std::u16string innerText() = 0;
  virtual std::u16string innerHTML() = 0;
  virtual ComPtr<PageElement> parentElement() = 0;
  virtual ComPtr<PageDocument> document() = 0;
  // Runs the click listeners and then the element's default action
  // (following a link, toggling a checkbox, submitting a form), as a
  // user's click would.
  virtual void click() = 0;
  // The click script as a value: null when none, otherwise an object that
  // can be assigned to another element's onclick.
  virtual Variant onclick() = 0;
  // A script value read from onclick/onchange; null or empty removes it.
  virtual void setOnclick(const Variant& script) = 0;
};

struct PageFormElement : IUnknown {
  static constexpr IID Iid = MakeGuid("{6A1E2B41-51C3-4E0B-9C7A-2D4F0E8B1210}");
  using BaseInterface = IUnknown;

  // The form's controls (input, select, textarea, button, fieldset,
  // object, output) in document order: the same objects as in `all`.
  virtual int32_t length() = 0;
  virtual ComPtr<PageElement> item(int32_t index) = 0;
  // Its controls of one tag name.
  virtual ComPtr<ElementCollection> tags(std::u16string_view tagName) = 0;
  virtual std::u16string name() = 0;
  // "get" or "post" (lower case; "get" when the page gives none or another).
  virtual std::u16string method() = 0;
  // The action attribute as written (empty when none).
  virtual std::u16string action() = 0;
  // Submits without raising onsubmit, as a page script's submit() does.
  virtual void submit() = 0;
};

struct PageInputElement : IUnknown {
  static constexpr IID Iid = MakeGuid("{6A1E2B41-51C3-4E0B-9C7A-2D4F0E8B1211}");
  using BaseInterface = IUnknown;

  // Lower case; "text" when the page gives none or an unknown type.
  virtual std::u16string type() = 0;
  virtual std::u16string name() = 0;
  virtual std::u16string value() = 0;
  // Raises for a file input given a non-empty value.
  virtual void setValue(std::u16string_view value) = 0;
  virtual std::u16string defaultValue() = 0;
  virtual bool checked() = 0;
  // For a radio button, checking unchecks the others of its group.
  virtual void setChecked(bool checked) = 0;
  virtual bool defaultChecked() = 0;
  // UnlimitedMaxLength when the page sets no limit.
  virtual int32_t maxLength() = 0;
  // Its form, or none.
  virtual ComPtr<PageElement> form() = 0;
};

struct PageSelectElement : IUnknown {
  static constexpr IID Iid = MakeGuid("{6A1E2B41-51C3-4E0B-9C7A-2D4F0E8B1212}");
  using BaseInterface = IUnknown;

  virtual std::u16string name() = 0;
  // The first selected option's value; empty when none is selected.
  virtual std::u16string value() = 0;
  // Selects the first option with that value and no other; none matching
  // leaves nothing selected.
  virtual void setValue(std::u16string_view value) = 0;
  // -1 when nothing is selected.
  virtual int32_t selectedIndex() = 0;
  virtual void setSelectedIndex(int32_t index) = 0;
  virtual bool multiple() = 0;
  // Its options (also those inside optgroup), in order.
  virtual int32_t length() = 0;
  virtual ComPtr<PageElement> item(int32_t index) = 0;
  // The change script as a value (see PageElement::onclick).
  virtual Variant onchange() = 0;
  virtual void setOnchange(const Variant& script) = 0;
  virtual ComPtr<PageElement> form() = 0;
};

struct PageOptionElement : IUnknown {
  static constexpr IID Iid = MakeGuid("{6A1E2B41-51C3-4E0B-9C7A-2D4F0E8B1213}");
  using BaseInterface = IUnknown;

  virtual bool selected() = 0;
  virtual void setSelected(bool selected) = 0;
  // The value attribute, or the text when there is none.
  virtual std::u16string value() = 0;
  // The option's text, white space stripped at both ends and collapsed.
  virtual std::u16string text() = 0;
  virtual bool defaultSelected() = 0;
  // Position among its select's options; -1 outside a select.
  virtual int32_t index() = 0;
};

struct PageTextAreaElement : IUnknown {
  static constexpr IID Iid = MakeGuid("{6A1E2B41-51C3-4E0B-9C7A-2D4F0E8B1214}");
  using BaseInterface = IUnknown;

  virtual std::u16string name() = 0;
  virtual std::u16string value() = 0;
  virtual void setValue(std::u16string_view value) = 0;
  virtual std::u16string defaultValue() = 0;
  virtual ComPtr<PageElement> form() = 0;
};

struct PageButtonElement : IUnknown {
  static constexpr IID Iid = MakeGuid("{6A1E2B41-51C3-4E0B-9C7A-2D4F0E8B1215}");
  using BaseInterface = IUnknown;

  // "submit" (also when the page gives none or another), "reset", "button".
  virtual std::u16string type() = 0;
  virtual std::u16string name() = 0;
  virtual std::u16string value() = 0;
  virtual ComPtr<PageElement> form() = 0;
};

struct PageAnchorElement : IUnknown {
  static constexpr IID Iid = MakeGuid("{6A1E2B41-51C3-4E0B-9C7A-2D4F0E8B1216}");
  using BaseInterface = IUnknown;

  // Resolved against the document's address; empty without an href.
  virtual std::u16string href() = 0;
};

struct PageAreaElement : IUnknown {
  static constexpr IID Iid = MakeGuid("{6A1E2B41-51C3-4E0B-9C7A-2D4F0E8B1217}");
  using BaseInterface = IUnknown;

  virtual std::u16string href() = 0;
  virtual std::u16string alt() = 0;
};

struct PageMetaElement : IUnknown {
  static constexpr IID Iid = MakeGuid("{6A1E2B41-51C3-4E0B-9C7A-2D4F0E8B1218}");
  using BaseInterface = IUnknown;

  virtual std::u16string httpEquiv() = 0;
  virtual std::u16string content() = 0;
  virtual std::u16string name() = 0;
};

// A frame or iframe element: it embeds a browser of its own.
struct PageFrameElement : IUnknown {
  static constexpr IID Iid = MakeGuid("{6A1E2B41-51C3-4E0B-9C7A-2D4F0E8B1219}");
  using BaseInterface = IUnknown;

  virtual std::u16string name() = 0;
  virtual std::u16string src() = 0;
  // The embedded browser; none while the frame has not been loaded.
  virtual ComPtr<PageBrowser> contentBrowser() = 0;
};

// A document's window. Its event: load. While an event is dispatched in
// the document, `event` is that event; otherwise none.
struct PageWindow : PageEventSource {
  static constexpr IID Iid = MakeGuid("{6A1E2B41-51C3-4E0B-9C7A-2D4F0E8B1220}");
  using BaseInterface = PageEventSource;

  virtual ComPtr<PageEvent> event() = 0;
  virtual ComPtr<PageDocument> document() = 0;
};

// An HTML document. Its events: click, mousedown and mouseup bubbling up
// from its elements.
struct PageDocument : PageEventSource {
  static constexpr IID Iid = MakeGuid("{6A1E2B41-51C3-4E0B-9C7A-2D4F0E8B1221}");
  using BaseInterface = PageEventSource;

  // Every element, in document order.
  virtual ComPtr<ElementCollection> all() = 0;
  virtual ComPtr<ElementCollection> forms() = 0;
  // The focused element; the body when nothing has the focus.
  virtual ComPtr<PageElement> activeElement() = 0;
  virtual std::u16string url() = 0;
  // The character set the page was read with ("utf-8", "windows-1252").
  virtual std::u16string charset() = 0;
  virtual std::u16string title() = 0;
  virtual ComPtr<PageWindow> parentWindow() = 0;
};

// The objects a document embeds, in document order: a frame answers
// PageBrowser, other embedded objects (object, embed) do not. HTML
// documents offer this listing; a document that doesn't offer it (a
// picture, a plain text) answers none to QueryInterface.
struct PageObjectContainer : IUnknown {
  static constexpr IID Iid = MakeGuid("{6A1E2B41-51C3-4E0B-9C7A-2D4F0E8B1222}");
  using BaseInterface = IUnknown;

  virtual std::vector<ComPtr<IUnknown>> embeddedObjects() = 0;
};

}  // namespace qm::platform
