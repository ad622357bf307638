#include "host/Toolbars.h"

#include <algorithm>

#include "host/DialogAnswers.h"
#include "platform/ui/Forms.h"
#include "platform/ui/Menus.h"
#include "platform/ui/ToolBars.h"

namespace qm::host {
namespace {

using platform::HWND;
using platform::ui::TPopupMenu;
using platform::ui::TToolButton;
using platform::ui::TToolButtonStyle;

std::u16string Quote(std::u16string_view text) {
  return u"\"" + std::u16string(text) + u"\"";
}

// The tool buttons of the toolbar windows, left to right.
std::vector<TToolButton*> Buttons(const std::vector<HWND>& toolbars) {
  std::vector<TToolButton*> buttons;
  for (HWND window : toolbars) {
    platform::ui::TForm* form = platform::ui::FindFormByHandle(window);
    if (form == nullptr) continue;
    for (platform::ui::TControl* control : form->AllControls()) {
      if (auto* button = dynamic_cast<TToolButton*>(control)) buttons.push_back(button);
    }
  }
  return buttons;
}

TToolButton* ButtonOf(const std::vector<HWND>& toolbars, std::u16string_view caption) {
  for (TToolButton* button : Buttons(toolbars)) {
    if (SameCaption(button->Caption(), caption)) return button;
  }
  return nullptr;
}

TToolbarButtonState StateOf(const TToolButton& button) {
  TToolbarButtonState state;
  state.Caption = button.Caption();
  state.Enabled = button.EffectivelyEnabled();
  state.Checkable = button.Style() == TToolButtonStyle::Check;
  state.Checked = state.Checkable && button.Down();
  if (button.Style() == TToolButtonStyle::DropDown && button.DropdownMenu() != nullptr) {
    const TPopupMenu& menu = *button.DropdownMenu();
    for (int i = 0; i < menu.Count(); ++i)
      state.MenuItems.push_back(menu.Item(i).Caption());
  }
  return state;
}

// Picks item in the button's menu as a person does: the button's click
// opens the menu (the toolbar hides its hint and may rebuild the items),
// then the item is chosen.
std::u16string PickMenuItem(TToolButton& button, std::u16string_view item) {
  TPopupMenu* menu = button.DropdownMenu();
  if (menu == nullptr) return Quote(button.Caption()) + u" has no menu";
  if (menu->OnPopup) menu->OnPopup(*menu);
  for (int i = 0; i < menu->Count(); ++i) {
    platform::ui::TMenuItem& entry = menu->Item(i);
    if (!entry.IsSeparator() && SameCaption(entry.Caption(), item)) {
      if (!entry.Enabled()) return u"the menu item " + Quote(item) + u" is disabled";
      entry.Click();
      return {};
    }
  }
  return Quote(button.Caption()) + u" has no menu item " + Quote(item);
}

}  // namespace

platform::TRect BandRect(const platform::DESKBANDINFO& info, int32_t top, int32_t rowWidth) {
  const int32_t minWidth = std::max(0, info.MinSize.X);
  const int32_t minHeight = std::max(0, info.MinSize.Y);
  int32_t width = info.Actual.X > 0 ? info.Actual.X : minWidth;
  if (info.MaxSize.X >= 0) width = std::min(width, info.MaxSize.X);
  width = std::max(std::min(width, rowWidth), minWidth);
  int32_t height = minHeight;
  if (info.Actual.Y > minHeight && (info.MaxSize.Y < 0 || info.Actual.Y <= info.MaxSize.Y)) {
    height = info.Actual.Y;
  }
  return platform::TRect::FromSize(0, top, width, height);
}

std::optional<platform::TRect> PlaceToolbarBand(platform::IDeskBand& band, uint32_t bandId, HWND bandWindow,
                                                int32_t top, int32_t rowWidth) {
  platform::DESKBANDINFO info;
  info.Mask = platform::DBIM_MINSIZE | platform::DBIM_MAXSIZE | platform::DBIM_ACTUAL;
  if (platform::Failed(band.GetBandInfo(bandId, platform::DBIF_VIEWMODE_NORMAL, info))) return std::nullopt;
  // Only what the band filled counts; the rest stays at no size.
  if ((info.Mask & platform::DBIM_MINSIZE) == 0) info.MinSize = {};
  if ((info.Mask & platform::DBIM_MAXSIZE) == 0) info.MaxSize = {-1, -1};
  if ((info.Mask & platform::DBIM_ACTUAL) == 0) info.Actual = {};
  const platform::TRect rect = BandRect(info, top, rowWidth);
  if (platform::ui::TForm* form = platform::ui::FindFormByHandle(bandWindow)) {
    form->SetBounds(rect.Left, rect.Top, rect.Width(), rect.Height());
  } else {
    platform::MoveWindow(bandWindow, rect);
  }
  return rect;
}

std::vector<std::u16string> ToolbarFormNames(const std::vector<HWND>& toolbars) {
  std::vector<std::u16string> names;
  for (HWND window : toolbars) {
    if (const platform::ui::TForm* form = platform::ui::FindFormByHandle(window)) names.push_back(form->Name());
  }
  return names;
}

std::vector<TToolbarButtonState> ToolbarButtons(const std::vector<HWND>& toolbars) {
  std::vector<TToolbarButtonState> states;
  for (const TToolButton* button : Buttons(toolbars))
    states.push_back(StateOf(*button));
  return states;
}

std::u16string DescribeToolbarButtons(const std::vector<TToolbarButtonState>& buttons) {
  std::u16string text;
  for (const TToolbarButtonState& b : buttons) {
    std::u16string notes;
    const auto note = [&](const std::u16string& what) { notes += (notes.empty() ? u"" : u", ") + what; };
    if (b.Checkable) note(b.Checked ? u"pressed" : u"released");
    if (!b.MenuItems.empty()) {
      std::u16string items;
      for (const std::u16string& item : b.MenuItems)
        items += (items.empty() ? u"" : u" | ") + item;
      note(u"menu: " + items);
    }
    if (!b.Enabled) note(u"disabled");
    if (!text.empty()) text += u"\n";
    text += u"[" + b.Caption + u"]" + (notes.empty() ? u"" : u" (" + notes + u")");
  }
  return text;
}

std::optional<TToolbarButtonState> FindToolbarButton(const std::vector<HWND>& toolbars,
                                                     std::u16string_view caption) {
  const TToolButton* button = ButtonOf(toolbars, caption);
  if (button == nullptr) return std::nullopt;
  return StateOf(*button);
}

std::u16string PressToolbarCommand(const std::vector<HWND>& toolbars, std::u16string_view caption,
                                   std::u16string_view item) {
  if (Buttons(toolbars).empty()) return u"no toolbar in this window offers commands";
  TToolButton* button = ButtonOf(toolbars, caption);
  if (button == nullptr && item.empty()) {
    // A menu item named alone: the button whose menu has it.
    for (TToolButton* candidate : Buttons(toolbars)) {
      const TToolbarButtonState state = StateOf(*candidate);
      for (const std::u16string& entry : state.MenuItems) {
        if (SameCaption(entry, caption)) {
          if (!candidate->EffectivelyEnabled()) {
            return u"the toolbar button " + Quote(candidate->Caption()) + u" is disabled";
          }
          return PickMenuItem(*candidate, caption);
        }
      }
    }
  }
  if (button == nullptr) return u"no toolbar button is called " + Quote(caption);
  if (!button->Showing() || !button->EffectivelyEnabled()) {
    return u"the toolbar button " + Quote(button->Caption()) + u" is disabled";
  }
  if (!item.empty()) return PickMenuItem(*button, item);
  button->UserClick();
  return {};
}

}  // namespace qm::host
