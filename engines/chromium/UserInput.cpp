#include "engines/chromium/UserInput.h"

#include <optional>

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


// The centre of the first quad of a protocol answer (content quads or a box
// model's content box), as x, y.
std::optional<std::pair<double, double>> CentreOf(const Json& quad) {
  if (!quad.is_array() || quad.size() != 8) return std::nullopt;
  double x = 0, y = 0;
  for (size_t k = 0; k < 8; k += 2) {
    if (!quad[k].is_number() || !quad[k + 1].is_number()) return std::nullopt;
    x += quad[k].get<double>() / 4;
    y += quad[k + 1].get<double>() / 4;
  }
  return std::pair{x, y};
}

// Where element's centre is in the top page's viewport. The browser gives
// a node's quads relative to the frame that roots its process; a frame of
// another site is its own root, so the place of its frame element in the
// parent is added, up to the top.
std::optional<std::pair<double, double>> PointOf(ChromiumDocument& document, ChromiumElement& element) {
  Tab* tab = document.GetTab();
  const Json quads = tab->CallOnElement(document, element.Id(), "DOM.getContentQuads", Json::object());
  if (!quads.is_object() || !quads.contains("quads") || quads["quads"].empty()) return std::nullopt;
  auto point = CentreOf(quads["quads"][0]);
  if (!point) return std::nullopt;
  std::string frameId = document.FrameId();
  for (int depth = 0; depth < 32 && frameId != tab->MainFrameId(); ++depth) {
    const FrameInfo* frame = tab->Frame(frameId);
    if (frame == nullptr || frame->ParentId.empty()) return std::nullopt;
    const FrameInfo* parent = tab->Frame(frame->ParentId);
    if (parent == nullptr) return std::nullopt;
    const std::string parentSession = tab->SessionOf(parent->Id);
    if (parentSession != tab->SessionOf(frameId)) {
      const Json owner = tab->Call("DOM.getFrameOwner", {{"frameId", frameId}}, parentSession);
      const Json box = tab->Call("DOM.getBoxModel",
                                 {{"backendNodeId", owner.value("backendNodeId", 0)}}, parentSession);
      const Json& content = box["model"]["content"];
      if (!content.is_array() || content.size() != 8) return std::nullopt;
      point->first += content[0].get<double>();
      point->second += content[1].get<double>();
    }
    frameId = parent->Id;
  }
  return point;
}

// The browser routes the pointer to a frame of another site by what the
// top page last drew, and a scroll that brought the frame into view is
// drawn on the next frame: the top page draws twice before the press.
void AwaitTopFrame(Tab& tab) {
  const FrameInfo* top = tab.Frame(tab.MainFrameId());
  if (top == nullptr || top->ContextId == 0) return;
  tab.Call("Runtime.evaluate",
           {{"expression", "new Promise(r => requestAnimationFrame(() => requestAnimationFrame(r)))"},
            {"contextId", top->ContextId},
            {"awaitPromise", true}},
           tab.SessionOf(tab.MainFrameId()));
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

namespace qm::chromium {

bool ClickElement(const ComPtr<PageElement>& element) {
  const ComPtr<ChromiumElement> e = AsChromiumElement(element);
  if (!e) return false;
  const ComPtr<ChromiumDocument> document(e->Owner());
  if (!document || document->Closed() || document->GetTab() == nullptr) return false;
  Tab* tab = document->GetTab();
  // The page acts on what the program wrote before.
  tab->FlushWrites();
  if (document->Closed()) return false;
  const Json shown = document->CallPage(Json::array({"reveal", e->Id()}));
  if (!shown.is_number_integer() || shown.get<int64_t>() != 1) return false;
  const auto point = PointOf(*document, *e);
  if (!point) return false;
  // The pointer is the top page's: its events go there and the browser
  // routes them to the frame under it. A background tab is told it has the
  // focus, so a clicked control takes it as in the window a person uses.
  const std::string top = tab->SessionOf(tab->MainFrameId());
  if (tab->SessionOf(document->FrameId()) != top) AwaitTopFrame(*tab);
  tab->Send("Emulation.setFocusEmulationEnabled", {{"enabled", true}}, top);
  Json move = {{"type", "mouseMoved"}, {"x", point->first}, {"y", point->second}};
  Json press = {{"type", "mousePressed"}, {"x", point->first}, {"y", point->second},
                {"button", "left"},       {"buttons", 1},       {"clickCount", 1}};
  Json release = press;
  release["type"] = "mouseReleased";
  release["buttons"] = 0;
  tab->Send("Input.dispatchMouseEvent", std::move(move), top);
  tab->Send("Input.dispatchMouseEvent", std::move(press), top);
  // Answered once the page has handled the release and its click; but the
  // answer comes by way of the browser, and may beat what the page reported
  // meanwhile (its click and submit events, so a navigation it starts). One
  // call to the element's own page answers after all of that has reached us.
  tab->Call("Input.dispatchMouseEvent", std::move(release), top);
  if (document->Closed()) return true;
  document->CallPage(Json::array({"active"}));
  if (!document->Closed()) document->MarkChanged();
  return true;
}

}  // namespace qm::chromium
