#include "addon/dialogs/DialogLayout.h"

namespace qm {

void PlaceButtonsRight(platform::ui::TWinControl& container,
                       std::initializer_list<platform::ui::TButton*> buttons, int width, int height,
                       int gap, int margin) {
  const int count = static_cast<int>(buttons.size());
  int left = container.ClientRect().Width() - margin - count * width - (count - 1) * gap;
  const int top = (container.ClientRect().Height() - height) / 2;
  for (platform::ui::TButton* button : buttons) {
    button->SetBounds(left, top, width, height);
    button->SetAnchors(platform::ui::akRight | platform::ui::akTop);
    left += width + gap;
  }
}

void MakeOkCancelPair(platform::ui::TButton& ok, const char16_t* okCaption,
                      platform::ui::TButton& cancel) {
  ok.SetCaption(okCaption);
  ok.SetDefault(true);
  ok.SetModalResult(platform::ui::mrOk);
  cancel.SetCaption(u"Cancel");
  cancel.SetCancel(true);
  cancel.SetModalResult(platform::ui::mrCancel);
}

}  // namespace qm
