// TBtnHintForm: the small popup that shows a button's hint under the
// pointer, and the rule that places it on the desktop.
//
// The popup is a borderless top-level window with a one-line label. It is
// shown and hidden at the window level, topmost and without being
// activated, so it never takes the focus from the browser and no backend
// presents it as a form of its own.
//
// Placement (HintPosition): below the pointer, 20 pixels down and centred
// on it; near the bottom of the desktop it opens above the pointer when
// there is more room above; near the right edge it is pushed left so that
// it ends at the desktop's right edge, and never past its left edge.
//
// Owned by its band form; used on that form's thread.
#pragma once

#include "platform/ui/Forms.h"

namespace qm {

// Where a popup of width by height opens for the pointer at cursor on the
// desktop's work area.
platform::TPoint HintPosition(platform::TPoint cursor, int width, int height,
                              const platform::TRect& desktop);

class TBtnHintForm : public platform::ui::TForm {
public:
  // Reports failures with code 195 and raises them again.
  TBtnHintForm();

  platform::ui::TLabel& HintLabel() noexcept { return *hintLabel_; }
  // Puts text on the label and sizes the popup around it: the label's
  // distance to the left and top edges on every side.
  void SetHintText(std::u16string text);
  // Places the popup for the pointer at cursor and shows it.
  void ShowFor(platform::TPoint cursor);
  void HideHint();
  // The popup is on the screen.
  bool HintVisible() const;

private:
  platform::ui::TLabel* hintLabel_ = nullptr;
};

}  // namespace qm
