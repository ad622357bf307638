// What a person does to a page in Chromium, for hosts and tests: moving the
// focus, typing and clicking. Typing goes through the browser's own keyboard input,
// so the page hears keydown, keypress, beforeinput, input and keyup for
// every key as it does from a user, and change when the focus leaves the
// control; nothing is written behind the page's back.
//
// Everything here belongs to the tab's window thread; elements of another
// engine are ignored.
#pragma once

#include <string_view>

#include "platform/dom/PageDocument.h"

namespace qm::chromium {

// Moves the page's focus to element; false when it can't take the focus
// (detached, hidden, disabled, not focusable).
bool FocusElement(const platform::ComPtr<platform::PageElement>& element);

enum class TypingMode : uint8_t {
  Append,   // the caret goes after the control's text
  Replace,  // the control's text is selected first, so the keys replace it
};

// Focuses control and types text key by key. Line breaks are Enter in a
// text area and left out elsewhere (Enter in a field would submit its
// form). Nothing is typed when the control can't take the focus, so keys
// never land in whatever had it before. False in that case.
bool TypeText(const platform::ComPtr<platform::PageElement>& control, std::u16string_view text,
              TypingMode mode = TypingMode::Append);

// Clicks element with the mouse as a person does: it is scrolled into
// view and the left button pressed and released over the centre of its
// box, so the page hears trusted mousedown, mouseup and click and the
// click carries the user's activation (a link may open a new window).
// False, with nothing done, when the element has no box a person could
// point at (hidden, detached, empty).
bool ClickElement(const platform::ComPtr<platform::PageElement>& element);

}  // namespace qm::chromium
