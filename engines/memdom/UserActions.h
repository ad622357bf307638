// What a user does to a page, for hosts and tests: focus, typing, choosing
// options, pressing and releasing the mouse. Each action raises the events
// a browser raises for it, page scripts included; the element must belong
// to this engine (others are ignored).
//
// Everything here belongs to the page's user-interface thread.
#pragma once

#include <string_view>

#include "platform/dom/PageDocument.h"

namespace qm::memdom {

using platform::ComPtr;
using platform::PageElement;

// Moves the focus to element (none: away from everything). A text control
// that loses the focus with a changed value raises change.
void FocusElement(const ComPtr<PageElement>& element);

// Focuses control (an input that takes text, or a textarea) and types text
// into it one character at a time: each keystroke is a value change with
// propertychange. An input stops at its maxLength and ignores line breaks.
void TypeText(const ComPtr<PageElement>& control, std::u16string_view text);

// Picks option index of select as the user does (additive: toggles it in
// a multiple select, keeping the others), raising propertychange and change.
void ChooseOption(const ComPtr<PageElement>& select, int index, bool additive = false);

// A press of the mouse button on element: mousedown (which focuses what
// can take the focus); a release: mouseup; a full click: both and then
// the click with its default action.
void PressMouse(const ComPtr<PageElement>& element);
void ReleaseMouse(const ComPtr<PageElement>& element);
void ClickAsUser(const ComPtr<PageElement>& element);

}  // namespace qm::memdom
