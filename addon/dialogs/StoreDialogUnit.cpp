#include "addon/dialogs/StoreDialogUnit.h"

#include "addon/dialogs/DialogLayout.h"
#include "core/Common/QMCommonUtils.h"
#include "core/Common/WideStrings.h"

namespace qm {

using namespace platform::ui;

TQMStoreDialog::TQMStoreDialog(platform::HWND ownerWindow)
    : TForm(u"QMStoreDialog", ownerWindow),
      FormSetNameEdit(Add<TEdit>(u"FormSetNameEdit")),
      FillOnlyEmptyPanel(Add<TPanel>(u"FillOnlyEmptyPanel")),
      FillOnlyEmptyCheckBox(FillOnlyEmptyPanel.Add<TCheckBox>(u"FillOnlyEmptyCheckBox")),
      DefRadioGroup(Add<TRadioGroup>(u"DefRadioGroup")),
      FormSetListBox(Add<TListBox>(u"FormSetListBox")),
      ButtonPanel(Add<TPanel>(u"ButtonPanel")),
      Button1(ButtonPanel.Add<TButton>(u"Button1")),
      Button2(ButtonPanel.Add<TButton>(u"Button2")) {
  DisableAlign();
  SetBorderIcons(biSystemMenu);
  SetPosition(TPosition::ScreenCenter);
  SetBounds(0, 0, 253, 225);
  SetConstraints({230, 225, 0, 0});

  FormSetNameEdit.SetBounds(0, 0, 0, 21);
  FormSetNameEdit.SetAlign(TAlign::Top);
  FillOnlyEmptyPanel.SetBounds(0, 21, 0, 24);
  FillOnlyEmptyPanel.SetAlign(TAlign::Top);
  FillOnlyEmptyCheckBox.SetBounds(8, 4, 200, 17);
  FillOnlyEmptyCheckBox.SetCaption(u"Fill only empty forms");
  FillOnlyEmptyCheckBox.SetChecked(true);
  DefRadioGroup.SetBounds(0, 45, 0, 72);
  DefRadioGroup.SetAlign(TAlign::Top);
  DefRadioGroup.SetCaption(u" Set as default to ");
  DefRadioGroup.SetItems({u"none", u"active profile", u"all profiles"});
  DefRadioGroup.SetItemIndex(DefaultForNobody);
  FormSetListBox.SetBounds(0, 117, 0, 40);
  FormSetListBox.SetAlign(TAlign::Client);
  FormSetListBox.SetItemHeight(13);
  FormSetListBox.OnClick = [this](TComponent&) { NamePicked(); };
  ButtonPanel.SetBounds(0, 160, 0, 33);
  ButtonPanel.SetAlign(TAlign::Bottom);
  MakeOkCancelPair(Button1, u"Ok", Button2);
  EnableAlign();
  PlaceButtonsRight(ButtonPanel, {&Button1, &Button2}, 75, 25, 6, 8);
}

bool TQMStoreDialog::ExecuteWithFillOption(const std::u16string& caption,
                                           const std::u16string& existingNames, int& defaultMode,
                                           bool& fillOnlyEmpty, std::u16string& name,
                                           const std::u16string& activeProfile) {
  return Run(caption, existingNames, defaultMode, &fillOnlyEmpty, name, activeProfile);
}

bool TQMStoreDialog::Execute(const std::u16string& caption, const std::u16string& existingNames,
                             int& defaultMode, std::u16string& name,
                             const std::u16string& activeProfile) {
  return Run(caption, existingNames, defaultMode, nullptr, name, activeProfile);
}

bool TQMStoreDialog::Run(const std::u16string& caption, const std::u16string& existingNames,
                         int& defaultMode, bool* fillOnlyEmpty, std::u16string& name,
                         const std::u16string& activeProfile) {
  SetCaption(caption);
  FormSetNameEdit.SetText(name);
  FormSetListBox.Clear();
  for (const std::u16string& entry : ParseCommaText(existingNames)) {
    auto [flag, entryName] = SplitNameValue(entry);
    FormSetListBox.AddItem(std::move(entryName), 0, flag != u"0");
  }
  FillOnlyEmptyPanel.SetVisible(fillOnlyEmpty != nullptr);
  if (fillOnlyEmpty != nullptr) FillOnlyEmptyCheckBox.SetChecked(*fillOnlyEmpty);
  DefRadioGroup.SetItem(DefaultForActiveProfile, u"active profile \"" + activeProfile + u"\"");
  // Like the platform's radio group, a mode out of range selects the
  // nearest end.
  const int last = static_cast<int>(DefRadioGroup.Items().size()) - 1;
  DefRadioGroup.SetItemIndex(defaultMode < -1 ? -1 : (defaultMode > last ? last : defaultMode));
  if (ShowModal() != mrOk) return false;
  name = FormSetNameEdit.Text();
  if (fillOnlyEmpty != nullptr) *fillOnlyEmpty = FillOnlyEmptyCheckBox.Checked();
  defaultMode = DefRadioGroup.ItemIndex();
  return true;
}

void TQMStoreDialog::NamePicked() {
  const int index = FormSetListBox.ItemIndex();
  if (index < 0) return;
  const TListItem& item = FormSetListBox.Item(index);
  FormSetNameEdit.SetText(item.Text);
  DefRadioGroup.SetItemIndex(item.Flag ? DefaultForAllProfiles : DefaultForActiveProfile);
}

}  // namespace qm
