#include "platform/ui/UserActions.h"

#include <string>

#include "platform/ui/ToolBars.h"

namespace qm::platform::ui {
namespace {

using TKind = TUserAction::TKind;

std::u16string Number(long long value) {
  const std::string digits = std::to_string(value);
  return std::u16string(digits.begin(), digits.end());
}

std::u16string Quoted(std::u16string_view text) {
  std::u16string out = u"\"";
  for (char16_t c : text) {
    out += c;
    if (c == u'"') out += u'"';
  }
  return out + u"\"";
}

// "Fill && submit" reads "Fill & submit": a doubled ampersand is one, a
// single one marks the keyboard accelerator and isn't shown.
std::u16string Shown(std::u16string_view caption) {
  std::u16string out;
  for (size_t i = 0; i < caption.size(); ++i) {
    if (caption[i] == u'&') {
      if (i + 1 < caption.size() && caption[i + 1] == u'&') {
        out += u'&';
        ++i;
      }
      continue;
    }
    out += caption[i];
  }
  return out;
}

// --- applying ---

[[noreturn]] void Impossible(const std::u16string& control, std::u16string_view what) {
  throw EUserAction(u"'" + control + u"' " + std::u16string(what));
}

template <class T>
T& ControlOf(TForm& form, const TUserAction& action, std::u16string_view kind) {
  TControl* control = form.FindControl(action.Control);
  if (control == nullptr) throw EUserAction(u"No control named '" + action.Control + u"'");
  auto* typed = dynamic_cast<T*>(control);
  if (typed == nullptr) Impossible(action.Control, u"is not " + std::u16string(kind));
  return *typed;
}

int ListIndexOf(TListBox& list, std::u16string_view text) {
  for (int pass = 0; pass < 2; ++pass) {
    for (int i = 0; i < list.Count(); ++i) {
      const std::u16string& itemText = list.Item(i).Text;
      if (pass == 0 ? itemText == text : SameName(itemText, text)) return i;
      const std::u16string drawn = list.DrawItem(i).Text;
      if (pass == 0 ? drawn == text : SameName(drawn, text)) return i;
    }
  }
  return -1;
}

int ItemsIndexOf(const std::vector<std::u16string>& items, std::u16string_view text) {
  for (int pass = 0; pass < 2; ++pass) {
    for (size_t i = 0; i < items.size(); ++i) {
      if (pass == 0 ? items[i] == text : SameName(items[i], text)) return static_cast<int>(i);
    }
  }
  return -1;
}

int EntryIndex(const TUserAction& action, int found) {
  if (action.Index >= 0) return action.Index;
  if (found < 0) Impossible(action.Control, u"has no entry " + Quoted(action.Text));
  return found;
}

void Select(TForm& form, const TUserAction& action) {
  TControl* control = form.FindControl(action.Control);
  if (auto* list = dynamic_cast<TListBox*>(control)) {
    list->UserSelect(EntryIndex(action, action.Index >= 0 ? 0 : ListIndexOf(*list, action.Text)));
  } else if (auto* combo = dynamic_cast<TComboBox*>(control)) {
    combo->UserSelect(
        EntryIndex(action, action.Index >= 0 ? 0 : ItemsIndexOf(combo->Items(), action.Text)));
  } else if (auto* group = dynamic_cast<TRadioGroup*>(control)) {
    group->UserSelect(
        EntryIndex(action, action.Index >= 0 ? 0 : ItemsIndexOf(group->Items(), action.Text)));
  } else {
    ControlOf<TListBox>(form, action, u"a list");
  }
}

}  // namespace

TUserAction TUserAction::Click(std::u16string control) {
  TUserAction a;
  a.Kind = TKind::Click;
  a.Control = std::move(control);
  return a;
}

TUserAction TUserAction::SetChecked(std::u16string control, bool checked) {
  TUserAction a = Click(std::move(control));
  a.Kind = TKind::SetChecked;
  a.Checked = checked;
  return a;
}

TUserAction TUserAction::Select(std::u16string control, int index) {
  TUserAction a = Click(std::move(control));
  a.Kind = TKind::Select;
  a.Index = index;
  return a;
}

TUserAction TUserAction::Select(std::u16string control, std::u16string text) {
  TUserAction a = Select(std::move(control), -1);
  a.Text = std::move(text);
  return a;
}

TUserAction TUserAction::DoubleClick(std::u16string control, int index) {
  TUserAction a = Select(std::move(control), index);
  a.Kind = TKind::DoubleClick;
  return a;
}

TUserAction TUserAction::DoubleClick(std::u16string control, std::u16string text) {
  TUserAction a = Select(std::move(control), std::move(text));
  a.Kind = TKind::DoubleClick;
  return a;
}

TUserAction TUserAction::Type(std::u16string control, std::u16string text) {
  TUserAction a = Click(std::move(control));
  a.Kind = TKind::Type;
  a.Text = std::move(text);
  return a;
}

TUserAction TUserAction::PressKey(uint16_t key) {
  TUserAction a;
  a.Kind = TKind::Key;
  a.Key = key;
  return a;
}

TUserAction TUserAction::ContextMenu(std::u16string control, std::u16string pick) {
  TUserAction a = Click(std::move(control));
  a.Kind = TKind::ContextMenu;
  a.Text = std::move(pick);
  return a;
}

TUserAction TUserAction::Close() {
  TUserAction a;
  a.Kind = TKind::Close;
  return a;
}

std::u16string TUserAction::ToText() const {
  const auto entry = [this] { return Index >= 0 ? Number(Index) : Quoted(Text); };
  switch (Kind) {
    case TKind::Click:
      return u"click " + Control;
    case TKind::SetChecked:
      return (Checked ? u"check " : u"uncheck ") + Control;
    case TKind::Select:
      return u"select " + Control + u" " + entry();
    case TKind::DoubleClick:
      return u"dblclick " + Control + u" " + entry();
    case TKind::Type:
      return u"type " + Control + u" " + Quoted(Text);
    case TKind::Key:
      if (Key == VK_RETURN) return u"key enter";
      if (Key == VK_ESCAPE) return u"key escape";
      return u"key " + Number(Key);
    case TKind::ContextMenu:
      return u"menu " + Control + (Text.empty() ? u"" : u" " + Quoted(Text));
    case TKind::Close:
      return u"close";
  }
  return u"?";
}

void ApplyUserAction(TForm& form, const TUserAction& action) {
  switch (action.Kind) {
    case TKind::Click:
      ControlOf<TControl>(form, action, u"a control").UserClick();
      return;
    case TKind::SetChecked: {
      TControl* control = form.FindControl(action.Control);
      if (auto* radio = dynamic_cast<TRadioButton*>(control)) {
        if (!action.Checked) Impossible(action.Control, u"can only be checked");
        radio->UserClick();
        return;
      }
      auto& box = ControlOf<TCheckBox>(form, action, u"a check box");
      box.EnsureUserCanAct();
      if (box.Checked() != action.Checked) box.UserClick();
      return;
    }
    case TKind::Select:
      Select(form, action);
      return;
    case TKind::DoubleClick: {
      auto& list = ControlOf<TListBox>(form, action, u"a list box");
      list.UserDoubleClick(
          EntryIndex(action, action.Index >= 0 ? 0 : ListIndexOf(list, action.Text)));
      return;
    }
    case TKind::Type:
      ControlOf<TEdit>(form, action, u"an edit").UserType(action.Text);
      return;
    case TKind::Key:
      form.UserKeyDown(action.Key);
      return;
    case TKind::ContextMenu: {
      auto& control = ControlOf<TControl>(form, action, u"a control");
      // A drop-down tool button's menu opens from a click on the button.
      auto* tool = dynamic_cast<TToolButton*>(&control);
      if (tool != nullptr && tool->Style() == TToolButtonStyle::DropDown) {
        tool->UserClick();
      } else {
        control.UserContextMenu();
      }
      return;
    }
    case TKind::Close:
      form.UserClose();
      return;
  }
}

// --- parsing ---

namespace {

bool IsBlank(char16_t c) {
  return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n';
}

struct TLineReader {
  std::u16string_view Line;
  size_t At = 0;

  void SkipBlanks() {
    while (At < Line.size() && IsBlank(Line[At]))
      ++At;
  }
  bool AtEnd() {
    SkipBlanks();
    return At >= Line.size();
  }
  // A quoted text ("" for a quote) or a run of non-blank characters.
  bool Token(std::u16string& out, std::u16string& error) {
    SkipBlanks();
    out.clear();
    if (At >= Line.size()) return false;
    if (Line[At] != u'"') {
      while (At < Line.size() && !IsBlank(Line[At]))
        out += Line[At++];
      return true;
    }
    for (++At; At < Line.size(); ++At) {
      if (Line[At] != u'"') {
        out += Line[At];
      } else if (At + 1 < Line.size() && Line[At + 1] == u'"') {
        out += u'"';
        ++At;
      } else {
        ++At;
        return true;
      }
    }
    error = u"missing closing quote";
    return false;
  }
  // The rest of the line: a quoted text, or the characters as typed up to
  // the trailing blanks.
  bool Rest(std::u16string& out, std::u16string& error) {
    SkipBlanks();
    if (At < Line.size() && Line[At] == u'"') return Token(out, error) && AtEnd();
    size_t end = Line.size();
    while (end > At && IsBlank(Line[end - 1]))
      --end;
    out = std::u16string(Line.substr(At, end - At));
    At = Line.size();
    return true;
  }
};

bool AllDigits(std::u16string_view text) {
  if (text.empty() || text.size() > 9) return false;
  for (char16_t c : text) {
    if (c < u'0' || c > u'9') return false;
  }
  return true;
}

int DigitsValue(std::u16string_view text) {
  int value = 0;
  for (char16_t c : text)
    value = value * 10 + (c - u'0');
  return value;
}

}  // namespace

std::optional<TUserAction> ParseUserAction(std::u16string_view line, std::u16string& error) {
  error.clear();
  TLineReader reader{line};
  std::u16string word;
  if (!reader.Token(word, error)) return std::nullopt;
  if (SameName(word, u"close")) {
    if (!reader.AtEnd()) error = u"close takes nothing more";
    return error.empty() ? std::optional(TUserAction::Close()) : std::nullopt;
  }
  if (SameName(word, u"key")) {
    std::u16string key;
    reader.Token(key, error);
    if (SameName(key, u"enter") || SameName(key, u"return"))
      return TUserAction::PressKey(VK_RETURN);
    if (SameName(key, u"escape") || SameName(key, u"esc")) return TUserAction::PressKey(VK_ESCAPE);
    error = u"key takes enter or escape";
    return std::nullopt;
  }
  std::u16string name;
  const bool known = SameName(word, u"click") || SameName(word, u"check") ||
                     SameName(word, u"uncheck") || SameName(word, u"select") ||
                     SameName(word, u"dblclick") || SameName(word, u"type") ||
                     SameName(word, u"menu");
  if (!known) {
    error = u"unknown command '" + word + u"' (try help)";
    return std::nullopt;
  }
  if (!reader.Token(name, error)) {
    if (error.empty()) error = word + u" needs a control name";
    return std::nullopt;
  }
  if (SameName(word, u"click")) return TUserAction::Click(name);
  if (SameName(word, u"check")) return TUserAction::SetChecked(name, true);
  if (SameName(word, u"uncheck")) return TUserAction::SetChecked(name, false);
  std::u16string rest;
  if (!reader.Rest(rest, error)) {
    if (error.empty()) error = u"unexpected text after the quoted text";
    return std::nullopt;
  }
  if (SameName(word, u"type")) return TUserAction::Type(name, rest);
  if (SameName(word, u"menu")) return TUserAction::ContextMenu(name, rest);
  if (rest.empty()) {
    error = word + u" needs an entry number or text";
    return std::nullopt;
  }
  const bool dbl = SameName(word, u"dblclick");
  if (AllDigits(rest)) {
    const int index = DigitsValue(rest);
    return dbl ? TUserAction::DoubleClick(name, index) : TUserAction::Select(name, index);
  }
  return dbl ? TUserAction::DoubleClick(name, rest) : TUserAction::Select(name, rest);
}

// --- pictures ---

namespace {

std::u16string Flags(const TControl& control) {
  return control.EffectivelyEnabled() ? u"" : u" (disabled)";
}

std::u16string FontNote(const TFont& font) {
  std::u16string note;
  if (font.Bold) note += u"bold";
  if (font.Color != TColor::WindowText && font.Color != TColor::HighlightText &&
      font.Color != TColor::Default) {
    if (!note.empty()) note += u", ";
    note += ColorName(font.Color);
  }
  return note.empty() ? note : u" (" + note + u")";
}

void ListLines(std::u16string& out, TListBox& list) {
  for (int i = 0; i < list.Count(); ++i) {
    const TDrawnItem drawn = list.DrawItem(i);
    out += (i == list.ItemIndex() ? u"  > " : u"    ") + Number(i) + u": " + drawn.Text +
           FontNote(drawn.Font) + u"\n";
  }
}

void ItemLines(std::u16string& out, const std::vector<std::u16string>& items, int selected,
               bool radio) {
  for (size_t i = 0; i < items.size(); ++i) {
    const bool on = static_cast<int>(i) == selected;
    out += radio ? (on ? u"  (*) " : u"  ( ) ") : (on ? u"  > " : u"    ");
    out += Number(static_cast<long long>(i)) + u": " + items[i] + u"\n";
  }
}

void DescribeControl(std::u16string& out, TControl& c) {
  const std::u16string name = c.Name();
  if (auto* box = dynamic_cast<TCheckBox*>(&c)) {
    out += (box->Checked() ? u"[x] " : u"[ ] ") + name + u": " + Shown(box->Caption()) + Flags(c) +
           u"\n";
  } else if (auto* radio = dynamic_cast<TRadioButton*>(&c)) {
    out += (radio->Checked() ? u"(*) " : u"( ) ") + name + u": " + Shown(radio->Caption()) +
           Flags(c) + u"\n";
  } else if (auto* edit = dynamic_cast<TEdit*>(&c)) {
    out += name + u": " + Quoted(edit->DisplayText()) + Flags(c) + u"\n";
  } else if (auto* button = dynamic_cast<TButton*>(&c)) {
    out += u"<" + Shown(button->Caption()) + u"> " + name +
           (button->Default() ? u" (default)" : u"") + (button->Cancel() ? u" (cancel)" : u"") +
           Flags(c) + u"\n";
  } else if (auto* tool = dynamic_cast<TToolButton*>(&c)) {
    std::u16string notes;
    const auto note = [&](std::u16string_view text) {
      notes += (notes.empty() ? u" (" : u", ") + std::u16string(text);
    };
    if (tool->Style() == TToolButtonStyle::Check) note(tool->Down() ? u"pressed" : u"released");
    if (tool->Style() == TToolButtonStyle::DropDown) note(u"menu");
    if (!c.EffectivelyEnabled()) note(u"disabled");
    out += u"[" + Shown(tool->Caption()) + u"] " + name + (notes.empty() ? u"" : notes + u")") +
           u"\n";
  } else if (auto* list = dynamic_cast<TListBox*>(&c)) {
    out += name + u":" + (list->Count() == 0 ? u" (empty)" : u"") + Flags(c) + u"\n";
    ListLines(out, *list);
  } else if (auto* combo = dynamic_cast<TComboBox*>(&c)) {
    out += name + u": " + Quoted(combo->Text()) + Flags(c) + u"\n";
    ItemLines(out, combo->Items(), combo->ItemIndex(), false);
  } else if (auto* group = dynamic_cast<TRadioGroup*>(&c)) {
    out += name + u": " + Shown(group->Caption()) + Flags(c) + u"\n";
    ItemLines(out, group->Items(), group->ItemIndex(), true);
  } else if (auto* label = dynamic_cast<TLabel*>(&c)) {
    out += name + u": " + Shown(label->Caption()) + FontNote(label->Font()) + u"\n";
  } else if (auto* image = dynamic_cast<TImage*>(&c)) {
    out += name + u": picture " + Quoted(image->PictureName()) + u"\n";
  } else if (dynamic_cast<TWinControl*>(&c) != nullptr) {
    // Containers are shown only when they say something or react.
    if (!c.Caption().empty() || c.OnClick) {
      out += name + u": " + Shown(c.Caption()) + (c.OnClick ? u" (clickable)" : u"") + u"\n";
    }
  }
}

}  // namespace

std::u16string DescribeForm(TForm& form) {
  std::u16string out = u"== " + form.Caption() + u" ==\n";
  for (TControl* c : form.AllControls()) {
    if (c->Showing()) DescribeControl(out, *c);
  }
  return out;
}

std::u16string DescribeMenu(const TPopupMenu& menu) {
  std::u16string out;
  for (int i = 0; i < menu.Count(); ++i) {
    const TMenuItem& item = menu.Item(i);
    if (item.IsSeparator()) {
      out += u"   ---\n";
    } else {
      out += u"  " + Number(i + 1) + u". " + Shown(item.Caption()) +
             (item.Enabled() ? u"" : u" (disabled)") + u"\n";
    }
  }
  return out;
}

std::u16string DescribeMessage(const TMessage& message) {
  std::u16string out = u"-- " + message.Caption + u" --";
  if (message.Icon != TMsgIcon::None) out += u" (" + std::u16string(IconName(message.Icon)) + u")";
  out += u"\n" + message.Text + u"\n";
  const std::vector<int> buttons = ButtonsOf(message.Buttons);
  for (size_t i = 0; i < buttons.size(); ++i) {
    out += (i == 0 ? u"" : u"  ") + (u"[" + Number(static_cast<long long>(i + 1)) + u"] ") +
           ButtonCaption(buttons[i]);
  }
  return out + u"\n";
}

}  // namespace qm::platform::ui
