#include "addon/toolband/BtnHintForm.h"

#include "core/Common/LocationCodes.h"
#include "core/Common/VxSystem.h"
#include "platform/ui/ToolBars.h"

namespace qm {
namespace {

using namespace platform;
using namespace platform::ui;

constexpr int LabelLeft = 3;
constexpr int LabelTop = 3;
constexpr int LineHeight = 13;  // the default font, 8 points

}  // namespace

TPoint HintPosition(TPoint cursor, int width, int height, const TRect& desktop) {
  // The edges are the work area's own, so that a desktop that does not
  // start at 0 (a monitor left of or above the main one) places the popup
  // on the desktop too.
  int top = cursor.Y + 20;
  if (desktop.Bottom < top + height) {
    const int below = desktop.Bottom - top;
    const int above = (cursor.Y - 2) - desktop.Top;
    if (below < above) top = (cursor.Y - 2) - height;
  }
  int left = cursor.X - width / 2;
  if (desktop.Right < left + width) left = desktop.Right - width;
  if (left < desktop.Left) left = desktop.Left;
  return {left, top};
}

TBtnHintForm::TBtnHintForm() : TForm(u"BtnHintForm", NoWindow) {
  Reported(loc::HintFormCreate, [&] {
    SetBorderStyle(TBorderStyle::None);
    SetColor(TColor::InfoBk);
    SetClientSize(104, 43);
    hintLabel_ = &Add<TLabel>(u"HintLabel");
    hintLabel_->SetBounds(LabelLeft, LabelTop, 0, LineHeight);
    hintLabel_->Font().Color = TColor::InfoText;
  });
}

void TBtnHintForm::SetHintText(std::u16string text) {
  const int width = DefaultFontTextWidth(text);
  hintLabel_->SetCaption(std::move(text));
  hintLabel_->SetBounds(LabelLeft, LabelTop, width, LineHeight);
  SetClientSize(2 * hintLabel_->Left() + hintLabel_->Width(),
                2 * hintLabel_->Top() + hintLabel_->Height());
}

void TBtnHintForm::ShowFor(TPoint cursor) {
  const TPoint at = HintPosition(cursor, Width(), Height(), GetDesktopRect());
  SetBounds(at.X, at.Y, Width(), Height());
  SetWindowPos(Handle(), HWND_TOPMOST, at.X, at.Y, Width(), Height(),
               SWP_NOACTIVATE | SWP_SHOWWINDOW);
}

void TBtnHintForm::HideHint() {
  ShowWindow(Handle(), false);
}

bool TBtnHintForm::HintVisible() const {
  return IsWindowVisible(Handle());
}

}  // namespace qm
