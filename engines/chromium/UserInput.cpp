#include "engines/chromium/UserInput.h"

#include "engines/chromium/ChromiumElement.h"
#include "engines/chromium/ChromiumTab.h"
#include "platform/rtl/Utf.h"

namespace qm::chromium {

namespace {

bool Focus(ChromiumElement& element, const char* caret) {
  const ComPtr<ChromiumDocument> document(element.Owner());
  if (!document || document->Closed()) return false;
  Tab* tab = document->GetTab();
  if (tab == nullptr) return false;
  // A tab in the background has no focus of its own, and a page without it
  // raises no focus events and takes no keys: the page is told it has the
  // focus, as the window a person types into has.
  const std::string session = tab->SessionOf(document->FrameId());
  tab->Send("Emulation.setFocusEmulationEnabled", {{"enabled", true}}, session);
  const Json answer = document->CallPage(Json::array({"focus", element.Id(), caret}));
  document->MarkChanged();
  return answer.is_number_integer() && answer.get<int64_t>() == 1;
}

// The key a character is typed with: its code where keyboards have one
// (letters, digits, space), so that the page's keyCode reads as a user's.
int VirtualKeyOf(char16_t c) {
  if (c >= u'a' && c <= u'z') return c - u'a' + 'A';
  if ((c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9') || c == u' ') return c;
  return 0;
}

// The protocol's key events for one character: down (with the text it
// types) and up.
std::pair<Json, Json> KeyEvents(std::u16string_view character, bool enter) {
  if (enter) {
    Json down = {{"type", "keyDown"},           {"key", "Enter"}, {"code", "Enter"},
                 {"windowsVirtualKeyCode", 13}, {"text", "\r"},   {"unmodifiedText", "\r"}};
    return {
        down,
        {{"type", "keyUp"}, {"key", "Enter"}, {"code", "Enter"}, {"windowsVirtualKeyCode", 13}}};
  }
  const std::string text = platform::U8(character);
  const int key = character.size() == 1 ? VirtualKeyOf(character[0]) : 0;
  Json down = {{"type", "keyDown"}, {"key", text}, {"text", text}, {"unmodifiedText", text}};
  Json up = {{"type", "keyUp"}, {"key", text}};
  if (key != 0) {
    down["windowsVirtualKeyCode"] = key;
    up["windowsVirtualKeyCode"] = key;
  }
  return {std::move(down), std::move(up)};
}

}  // namespace

bool FocusElement(const ComPtr<PageElement>& element) {
  const ComPtr<ChromiumElement> e = AsChromiumElement(element);
  return e && Focus(*e, "");
}

bool TypeText(const ComPtr<PageElement>& control, std::u16string_view text, TypingMode mode) {
  const ComPtr<ChromiumElement> e = AsChromiumElement(control);
  if (!e || (e->Kind() != TagKind::Input && e->Kind() != TagKind::TextArea)) return false;
  if (!Focus(*e, mode == TypingMode::Replace ? "all" : "end")) return false;
  const ComPtr<ChromiumDocument> document(e->Owner());
  if (!document || document->Closed() || document->GetTab() == nullptr) return false;
  Tab* tab = document->GetTab();
  const std::string session = tab->SessionOf(document->FrameId());
  const bool multiline = e->Kind() == TagKind::TextArea;
  std::vector<Json> keys;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == u'\r' || text[i] == u'\n') {
      // "\r\n" is one line break.
      if (text[i] == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n') ++i;
      if (!multiline) continue;
      auto [down, up] = KeyEvents({}, true);
      keys.push_back(std::move(down));
      keys.push_back(std::move(up));
      continue;
    }
    // A surrogate pair is one key.
    size_t length = 1;
    if (text[i] >= 0xD800 && text[i] <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
        text[i + 1] <= 0xDFFF) {
      length = 2;
    }
    auto [down, up] = KeyEvents(text.substr(i, length), false);
    keys.push_back(std::move(down));
    keys.push_back(std::move(up));
    i += length - 1;
  }
  if (keys.empty() && mode == TypingMode::Replace) {
    // Nothing to type over the selected text: it is deleted, as a person
    // empties a field.
    const Json del = {{"key", "Delete"}, {"code", "Delete"}, {"windowsVirtualKeyCode", 46}};
    Json down = del, up = del;
    down["type"] = "rawKeyDown";
    up["type"] = "keyUp";
    keys.push_back(std::move(down));
    keys.push_back(std::move(up));
  }
  if (keys.empty()) return true;
  // The keys go out together; the browser hands them to the page in order
  // and answers the last one after the page has handled it.
  for (size_t k = 0; k + 1 < keys.size(); ++k)
    tab->Send("Input.dispatchKeyEvent", keys[k], session);
  tab->Call("Input.dispatchKeyEvent", keys.back(), session);
  if (!document->Closed()) document->MarkChanged();
  return true;
}

}  // namespace qm::chromium
