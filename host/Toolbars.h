// The toolbars of a browser window as a person sees and uses them: their
// buttons' captions and states as text, pressing a button or a menu item by
// its caption, and a button's state for the script's expectations.
//
// The bands are laid out in rows at the top of the browser window, each as
// large as it asks (BandRect).
//
// The host knows a toolbar only by the window its band gave it
// (IOleWindow::GetWindow): the toolkit's form of that window
// (platform/ui) holds the tool buttons. Captions are matched as shown
// (ignoring ASCII case and "&" accelerators), so a script follows the
// manager's language.
//
// Runs on the browser window's thread.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "platform/com/BandInterfaces.h"
#include "platform/winsys/WindowRegistry.h"

namespace qm::host {

// Where a band goes in its row, from what its GetBandInfo answered (the
// minimum, maximum and actual sizes): at left 0 and top, its actual
// ("ideal") width when it gave one, else its minimum; never wider than its
// maximum (-1: no limit) nor than the row, never narrower than its minimum
// (a band that doesn't fit is clipped, not squeezed below what it needs).
// Its height is its minimum height, or its actual one when that lies
// between minimum and maximum.
platform::TRect BandRect(const platform::DESKBANDINFO& info, int32_t top, int32_t rowWidth);

// Asks the band for its sizes (as band bandId in the normal view mode) and
// places its window by BandRect; a window that is a toolkit form is
// placed through the form, so that the form knows its own size. Answers
// the rectangle, or none when GetBandInfo failed (the window stays as it
// was).
std::optional<platform::TRect> PlaceToolbarBand(platform::IDeskBand& band, uint32_t bandId,
                                                platform::HWND bandWindow, int32_t top,
                                                int32_t rowWidth);

struct TToolbarButtonState {
  std::u16string Caption;
  bool Enabled = false;
  bool Checkable = false;
  bool Checked = false;
  std::vector<std::u16string> MenuItems;  // a drop-down button's menu
};

// The names of the toolkit forms of the toolbar windows (to tell their
// showing apart from a dialog's in the backend's journal).
std::vector<std::u16string> ToolbarFormNames(const std::vector<platform::HWND>& toolbars);

// The buttons of every toolbar window, left to right.
std::vector<TToolbarButtonState> ToolbarButtons(const std::vector<platform::HWND>& toolbars);

// One line per button: "[Caption]" with "(pressed)", "(released)",
// "(menu: A | B)", "(disabled)" as they apply.
std::u16string DescribeToolbarButtons(const std::vector<TToolbarButtonState>& buttons);

// The state of the button of that caption; none when no toolbar has one.
std::optional<TToolbarButtonState> FindToolbarButton(const std::vector<platform::HWND>& toolbars,
                                                     std::u16string_view caption);

// Presses the button of that caption as a person does; with an item, the
// item of that caption in the button's menu. Without an item, a caption
// that no button has may name an item of a button's menu. Answers why it
// could not (no such button or item, disabled), or empty when it pressed.
std::u16string PressToolbarCommand(const std::vector<platform::HWND>& toolbars,
                                   std::u16string_view caption, std::u16string_view item);

}  // namespace qm::host
