// What a person does to a page in Chromium, for hosts and tests: moving the
// focus and typing. Typing goes through the browser's own keyboard input,
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

}  // namespace qm::chromium
