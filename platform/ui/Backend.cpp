#include "platform/ui/Backend.h"

#include <atomic>

#include "platform/rtl/Utf.h"

namespace qm::platform::ui {
namespace {

// The user who closes everything.
class THeadlessBackend : public TUiBackend {
public:
  void RunModal(TForm& form) override { form.Close(); }
  void FormShown(TForm&) override {}
  void FormHidden(TForm&) override {}
  int PopupMenu(TPopupMenu&, TPoint) override { return -1; }
  int MessageBox(const TMessage& message) override { return CancelAnswer(message.Buttons); }
};

THeadlessBackend& Headless() {
  static THeadlessBackend backend;
  return backend;
}

std::atomic<TUiBackend*> installed{nullptr};

}  // namespace

std::vector<int> ButtonsOf(TMsgButtons buttons) {
  switch (buttons) {
    case TMsgButtons::Ok:
      return {IDOK};
    case TMsgButtons::OkCancel:
      return {IDOK, IDCANCEL};
    case TMsgButtons::YesNo:
      return {IDYES, IDNO};
    case TMsgButtons::YesNoCancel:
      return {IDYES, IDNO, IDCANCEL};
  }
  return {IDOK};
}

int CancelAnswer(TMsgButtons buttons) {
  switch (buttons) {
    case TMsgButtons::Ok:
      return IDOK;
    case TMsgButtons::YesNo:
      return IDNO;
    case TMsgButtons::OkCancel:
    case TMsgButtons::YesNoCancel:
      return IDCANCEL;
  }
  return IDCANCEL;
}

const char16_t* ButtonCaption(int button) {
  switch (button) {
    case IDOK:
      return u"OK";
    case IDCANCEL:
      return u"Cancel";
    case IDYES:
      return u"Yes";
    case IDNO:
      return u"No";
    default:
      return u"?";
  }
}

const char16_t* IconName(TMsgIcon icon) {
  switch (icon) {
    case TMsgIcon::None:
      return u"";
    case TMsgIcon::Error:
      return u"error";
    case TMsgIcon::Question:
      return u"question";
    case TMsgIcon::Warning:
      return u"warning";
    case TMsgIcon::Information:
      return u"information";
  }
  return u"";
}

TUiBackend& CurrentBackend() {
  TUiBackend* backend = installed.load();
  return backend != nullptr ? *backend : Headless();
}

TUiBackend* SetBackend(TUiBackend* backend) {
  return installed.exchange(backend);
}

int MessageBox(HWND owner, std::u16string text, std::u16string caption, TMsgIcon icon,
               TMsgButtons buttons) {
  const TMessage message{owner, std::move(text), std::move(caption), icon, buttons};
  const int answer = CurrentBackend().MessageBox(message);
  for (int b : ButtonsOf(buttons)) {
    if (b == answer) return answer;
  }
  // A backend that answers a button the box doesn't have gets the box
  // closed instead, so callers only ever see their own buttons.
  return CancelAnswer(buttons);
}

void ShowException(HWND owner, const std::exception& e) noexcept {
  try {
    const auto* own = dynamic_cast<const Exception*>(&e);
    MessageBox(owner, own != nullptr ? own->Message() : Utf8ToUtf16(e.what()), u"Error",
               TMsgIcon::Error, TMsgButtons::Ok);
  } catch (...) {
    // A backend that fails to show the box leaves nothing more to do.
  }
}

int TPopupMenu::Popup(TPoint at) {
  if (OnPopup) OnPopup(*this);
  if (items_.empty()) return -1;
  const int pick = CurrentBackend().PopupMenu(*this, at);
  if (pick < 0 || pick >= Count()) return -1;
  TMenuItem& item = Item(pick);
  if (item.IsSeparator() || !item.Enabled()) return -1;
  item.Click();
  return pick;
}

}  // namespace qm::platform::ui
