#include "addon/dialogs/EnterPaswordUnit.h"

#include "addon/dialogs/DialogLayout.h"
#include "core/Common/TextUtils.h"

namespace qm {

using namespace platform::ui;

TEnterPasswordForm::TEnterPasswordForm(platform::HWND ownerWindow)
    : TForm(u"EnterPasswordForm", ownerWindow),
      Label1(Add<TLabel>(u"Label1")),
      PasswordEdit(Add<TEdit>(u"PasswordEdit")),
      Image1(Add<TImage>(u"Image1")),
      OKButton(Add<TButton>(u"OKButton")),
      CancelButton(Add<TButton>(u"CancelButton")) {
  SetCaption(u"Enter password");
  SetBorderStyle(TBorderStyle::Single);
  SetBorderIcons(0);
  SetPosition(TPosition::DesktopCenter);
  SetClientSize(384, 72);
  Label1.SetBounds(8, 12, 52, 13);
  Label1.SetCaption(u"Password:");
  PasswordEdit.SetBounds(64, 8, 276, 21);
  PasswordEdit.SetPasswordChar(u'*');
  Image1.SetBounds(352, 8, 24, 24);
  Image1.SetPictureName(u"Key");
  OKButton.SetBounds(208, 40, 80, 25);
  MakeOkCancelPair(OKButton, u"Ok", CancelButton);
  CancelButton.SetBounds(296, 40, 80, 25);
  OnShow = [this](TComponent&) { SetActiveControl(&PasswordEdit); };
}

bool TEnterPasswordForm::Execute(std::u16string& password) {
  PasswordEdit.SetText(u"");
  if (ShowModal() != mrOk) return false;
  password = Trim(PasswordEdit.Text());
  return true;
}

}  // namespace qm
