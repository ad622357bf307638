// What a user does to a form, as data, and the text pictures of forms and
// menus that backends show.
//
// Both backends use the same actions: the scripted one takes them from a
// script, the terminal one parses them from the lines a person types
// (ParseUserAction), and both apply them with ApplyUserAction, which goes
// through the controls' User* gestures, so a scripted click raises exactly
// what a person's click raises.
//
// Terminal command syntax (names are control names, matched ignoring ASCII
// case; INDEX counts from 0; TEXT is the rest of the line, or a quoted text
// with "" for a quote):
//   click NAME | check NAME | uncheck NAME | select NAME INDEX|"TEXT"
//   dblclick NAME INDEX|"TEXT" | type NAME TEXT | key enter|escape
//   menu NAME [CAPTION] | close
// Plain functions on the caller's thread.
#pragma once

#include <optional>
#include <string>

#include "platform/ui/Backend.h"

namespace qm::platform::ui {

struct TUserAction {
  enum class TKind : uint8_t {
    Click,        // a button, check box (toggles) or radio button
    SetChecked,   // a check box to Checked (clicked only when it differs); a radio button
    Select,       // an entry of a list box, combo box or radio group, by Index or Text
    DoubleClick,  // an entry of a list box, by Index or Text
    Type,         // replaces an edit's text by Text
    Key,          // a key pressed on the form
    ContextMenu,  // right click on a control; Text: the menu item to pick, empty: dismiss
    Close,        // the window's close box
  };

  TKind Kind = TKind::Click;
  std::u16string Control;
  std::u16string Text;
  int Index = -1;  // with Select and DoubleClick: -1 means "by Text"
  bool Checked = false;
  uint16_t Key = 0;

  static TUserAction Click(std::u16string control);
  static TUserAction SetChecked(std::u16string control, bool checked);
  static TUserAction Select(std::u16string control, int index);
  static TUserAction Select(std::u16string control, std::u16string text);
  static TUserAction DoubleClick(std::u16string control, int index);
  static TUserAction DoubleClick(std::u16string control, std::u16string text);
  static TUserAction Type(std::u16string control, std::u16string text);
  static TUserAction PressKey(uint16_t key);
  static TUserAction ContextMenu(std::u16string control, std::u16string pick = {});
  static TUserAction Close();

  // The action in the terminal's syntax (for journals).
  std::u16string ToText() const;
};

// Performs the action on the form. Raises EUserAction when it cannot be
// done: no such control, a control of another kind, not showing, disabled,
// no such entry. A context menu's pick is not made here: the backend's
// PopupMenu answers it.
void ApplyUserAction(TForm& form, const TUserAction& action);

// Parses one command line; nullopt and a reason for a line that is not a
// command (an empty line gives nullopt and an empty reason).
std::optional<TUserAction> ParseUserAction(std::u16string_view line, std::u16string& error);

// The form as text: its caption line, then one line per showing control in
// document order (list entries as drawn, the selected one marked ">").
std::u16string DescribeForm(TForm& form);
// The menu's items, numbered from 1 (separators unnumbered).
std::u16string DescribeMenu(const TPopupMenu& menu);
// The message box as text: caption, text, numbered buttons.
std::u16string DescribeMessage(const TMessage& message);

}  // namespace qm::platform::ui
