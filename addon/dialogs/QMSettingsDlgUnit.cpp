#include "addon/dialogs/QMSettingsDlgUnit.h"

#include "addon/dialogs/DialogLayout.h"

namespace qm {

using namespace platform::ui;

namespace {

void PlaceBox(TControl& box, int left, int top, const char16_t* caption, bool enabled) {
  box.SetBounds(left, top, 290 - left, 17);
  box.SetCaption(caption);
  box.SetEnabled(enabled);
}

}  // namespace

TQMSettingsDialog::TQMSettingsDialog(platform::HWND ownerWindow)
    : TForm(u"QMSettingsDialog", ownerWindow),
      ScrollBox1(Add<TScrollBox>(u"ScrollBox1")),
      Label1(ScrollBox1.Add<TLabel>(u"Label1")),
      AutFillCheckBox(ScrollBox1.Add<TCheckBox>(u"AutFillCheckBox")),
      AutoSubmitCheckBox(ScrollBox1.Add<TCheckBox>(u"AutoSubmitCheckBox")),
      AskConfirmCheckBox(ScrollBox1.Add<TCheckBox>(u"AskConfirmCheckBox")),
      AutoShowCheckBox(ScrollBox1.Add<TCheckBox>(u"AutoShowCheckBox")),
      AutoFillNewCheckBox(ScrollBox1.Add<TCheckBox>(u"AutoFillNewCheckBox")),
      AutoBindCheckBox(ScrollBox1.Add<TCheckBox>(u"AutoBindCheckBox")),
      Label2(ScrollBox1.Add<TLabel>(u"Label2")),
      NoneOnSubmitRadioButton(ScrollBox1.Add<TRadioButton>(u"NoneOnSubmitRadioButton")),
      AutoSaveOnSubmitRadioButton(ScrollBox1.Add<TRadioButton>(u"AutoSaveOnSubmitRadioButton")),
      DialogOnSubmitRadioButton(ScrollBox1.Add<TRadioButton>(u"DialogOnSubmitRadioButton")),
      DefaultPanel(Add<TPanel>(u"DefaultPanel")),
      SetDefaultCheckBox(DefaultPanel.Add<TCheckBox>(u"SetDefaultCheckBox")),
      ButtonPanel(Add<TPanel>(u"ButtonPanel")),
      OKButton(ButtonPanel.Add<TButton>(u"OKButton")),
      CancelButton(ButtonPanel.Add<TButton>(u"CancelButton")) {
  DisableAlign();
  SetCaption(u"Quillora settings");
  SetBorderStyle(TBorderStyle::Dialog);
  SetBorderIcons(biSystemMenu);
  SetPosition(TPosition::ScreenCenter);
  SetClientSize(305, 277);

  ButtonPanel.SetBounds(0, 236, 0, 41);
  ButtonPanel.SetAlign(TAlign::Bottom);
  DefaultPanel.SetBounds(0, 212, 0, 24);
  DefaultPanel.SetAlign(TAlign::Bottom);
  ScrollBox1.SetBounds(0, 0, 0, 212);
  ScrollBox1.SetAlign(TAlign::Client);
  ScrollBox1.SetColor(TColor::White);

  Label1.SetBounds(8, 8, 200, 13);
  Label1.SetCaption(u"Filling settings");
  Label1.Font().Bold = true;
  PlaceBox(AutFillCheckBox, 24, 24, u"Auto fill of existing forms", true);
  PlaceBox(AutoSubmitCheckBox, 40, 40, u"Auto submit existing forms", false);
  PlaceBox(AskConfirmCheckBox, 56, 56, u"Ask confirmation if link or link text changed", false);
  PlaceBox(AutoShowCheckBox, 24, 72, u"Auto show form cards selection dialog", true);
  PlaceBox(AutoFillNewCheckBox, 24, 88, u"Auto fill of new forms", true);
  PlaceBox(AutoBindCheckBox, 40, 104, u"Auto bind fields of new forms", false);
  Label2.SetBounds(8, 120, 200, 13);
  Label2.SetCaption(u"Saving settings");
  Label2.Font().Bold = true;
  PlaceBox(NoneOnSubmitRadioButton, 24, 136, u"Nothing should be done when form submitted", true);
  PlaceBox(AutoSaveOnSubmitRadioButton, 24, 152, u"Auto save form card data when form submitted",
           true);
  PlaceBox(DialogOnSubmitRadioButton, 24, 168, u"Show save dialog when form submitted", true);

  SetDefaultCheckBox.SetBounds(8, 4, 200, 17);
  SetDefaultCheckBox.SetCaption(u"Set as default");
  SetDefaultCheckBox.SetChecked(true);

  MakeOkCancelPair(OKButton, u"OK", CancelButton);
  EnableAlign();
  PlaceButtonsRight(ButtonPanel, {&OKButton, &CancelButton}, 75, 25, 8, 8);

  AutFillCheckBox.OnClick = [this](TComponent&) { AutoFillClicked(); };
  AutoSubmitCheckBox.OnClick = [this](TComponent&) { AutoSubmitClicked(); };
  AutoFillNewCheckBox.OnClick = [this](TComponent&) { AutoFillNewClicked(); };
}

void TQMSettingsDialog::AutoFillClicked() {
  AutoSubmitCheckBox.SetEnabled(AutFillCheckBox.Checked());
  AutoSubmitClicked();
}

void TQMSettingsDialog::AutoSubmitClicked() {
  AskConfirmCheckBox.SetEnabled(AutoSubmitCheckBox.Enabled() && AutoSubmitCheckBox.Checked());
}

void TQMSettingsDialog::AutoFillNewClicked() {
  AutoBindCheckBox.SetEnabled(AutoFillNewCheckBox.Checked());
}

bool TQMSettingsDialog::Execute(TQMOptions& options, bool& setAsDefault) {
  // Each change of a checked state runs the box's click handling, so the
  // dependencies come out right for the loaded values.
  AutFillCheckBox.SetChecked(options.AutoFill != 0);
  AutoSubmitCheckBox.SetChecked(options.AutoSubmit != 0);
  AskConfirmCheckBox.SetChecked(options.AskConfirm != 0);
  AutoShowCheckBox.SetChecked(options.AutoShow != 0);
  AutoFillNewCheckBox.SetChecked(options.AutoFillNew != 0);
  AutoBindCheckBox.SetChecked(options.AutoBind != 0);
  for (TRadioButton* radio :
       {&NoneOnSubmitRadioButton, &AutoSaveOnSubmitRadioButton, &DialogOnSubmitRadioButton}) {
    radio->SetChecked(false);
  }
  switch (options.OnSubmit) {
    case OnSubmitNothing:
      NoneOnSubmitRadioButton.SetChecked(true);
      break;
    case OnSubmitShowDialog:
      DialogOnSubmitRadioButton.SetChecked(true);
      break;
    case OnSubmitSaveAtOnce:
      AutoSaveOnSubmitRadioButton.SetChecked(true);
      break;
    default:
      break;
  }
  setAsDefault = false;
  if (ShowModal() != mrOk) return false;
  options.AutoFill = AutFillCheckBox.Checked();
  options.AutoSubmit = AutoSubmitCheckBox.Checked();
  options.AskConfirm = AskConfirmCheckBox.Checked();
  options.AutoShow = AutoShowCheckBox.Checked();
  options.AutoFillNew = AutoFillNewCheckBox.Checked();
  options.AutoBind = AutoBindCheckBox.Checked();
  if (NoneOnSubmitRadioButton.Checked()) {
    options.OnSubmit = OnSubmitNothing;
  } else if (AutoSaveOnSubmitRadioButton.Checked()) {
    options.OnSubmit = OnSubmitSaveAtOnce;
  } else if (DialogOnSubmitRadioButton.Checked()) {
    options.OnSubmit = OnSubmitShowDialog;
  } else {
    options.OnSubmit = OnSubmitNothing;
  }
  setAsDefault = SetDefaultCheckBox.Checked();
  return true;
}

}  // namespace qm
