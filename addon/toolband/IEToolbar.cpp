#include "addon/toolband/IEToolbar.h"

#include <string>

#include "addon/Common/LibraryModule.h"
#include "addon/Common/QMAgentObject.h"
#include "addon/toolband/IEBandRegistry.h"
#include "core/Common/LocationCodes.h"
#include "core/Common/VxSystem.h"
#include "platform/com/Activation.h"
#include "platform/com/ErrorInfo.h"
#include "platform/com/OleException.h"
#include "platform/rtl/Utf.h"
#include "platform/ui/Backend.h"

namespace qm {
namespace {

using namespace platform;
using namespace platform::ui;

// More sub-actions than any menu of ours has means a broken answer.
constexpr int32_t MaxSubActions = 64;

String Numbered(const char16_t* prefix, int32_t index) {
  const std::string digits = std::to_string(index);
  return prefix + String(digits.begin(), digits.end());
}

HICON LibraryIcon(const String& name) {
  return LoadIconA(&LibraryModule(), Utf16ToUtf8(name).c_str());
}

// The automation object, made by its class identifier: whatever library
// the registry names for the class serves it. A class nobody registered
// (the toolbar used without registration, as a program that links the
// add-on does) is made by our own code; any other failure is the
// creation's failure.
ComPtr<IQMAgent> NewAgent() {
  ComPtr<IQMAgent> agent;
  const HRESULT hr = CoCreateInstance(CLASS_QMAgent, agent);
  if (hr == REGDB_E_CLASSNOTREG) {
    ClearErrorInfo();
    return CreateQMAgentObject();
  }
  OleCheck(hr);
  return agent;
}

}  // namespace

// --- TKtIEToolBandForm ---

TKtIEToolBandForm::TKtIEToolBandForm(TIEBand& band) : TIEBandForm(u"KtIEToolBandForm", band) {
  SetClientSize(268, 22);
  SetColor(TColor::BtnFace);
  hotImageList_ = std::make_unique<TImageList>(u"HotImageList", 16, 16);
  imageList_ = std::make_unique<TImageList>(u"ImageList", 16, 16);
  toolBar_ = &Add<TToolBar>(u"KtMngToolBar");
  toolBar_->SetBounds(0, 0, 268, 22);
  toolBar_->SetButtonWidth(27);
  toolBar_->SetFlat(true);
  toolBar_->SetList(true);
  toolBar_->SetShowCaptions(true);
  toolBar_->SetHotImages(hotImageList_.get());
  toolBar_->SetImages(imageList_.get());
  toolBar_->SetAutoSize(true);
  toolBar_->SetAlign(TAlign::Left);
  OnShow = [this](TComponent&) { FormShow(); };
  // A failure here is shown, as the toolkit shows what escapes a form's
  // creation; the form stays with the buttons made before it.
  try {
    Reported(loc::ToolbarFormCreate, [&] { FormCreate(); });
  } catch (const std::exception& e) {
    ShowException(Handle(), e);
  }
  Show();
}

TKtIEToolBandForm::~TKtIEToolBandForm() {
  agent_ = nullptr;
}

void TKtIEToolBandForm::FormCreate() {
  OnActivation = [this](TIEBandForm&, bool active) {
    if (active) Reported(loc::ToolbarOnActivation, [&] { RefreshButtons(); });
  };
  agent_ = NewAgent();
  OleCheck(agent_->put_Window(Band().Browser().As<IUnknown>().Get()));
  int32_t count = 0;
  OleCheck(agent_->get_ActionCount(count));
  for (int32_t index = count - 1; index >= 0; --index)
    BuildButton(index);
}

void TKtIEToolBandForm::BuildButton(int32_t index) {
  QMActionType type = atButton;
  String iconName;
  String grayIconName;
  OleCheck(agent_->GetActionData(index, type, iconName, grayIconName));
  const int imageIndex = hotImageList_->AddIcon(LibraryIcon(iconName));
  imageList_->AddIcon(LibraryIcon(grayIconName));

  TToolButton& button = toolBar_->InsertButtonInFront(Numbered(u"ToolButton", index));
  button.SetTag(index);
  button.SetAutoSize(true);
  button.SetImageIndex(imageIndex);
  button.OnMouseMove = [this](TComponent& sender, TPoint) {
    ControlMouseMove(static_cast<TControl&>(sender));
  };
  switch (type) {
    case atCheck:
      button.SetStyle(TToolButtonStyle::Check);
      [[fallthrough]];
    case atButton:
      button.OnClick = [this, &button](TComponent&) { ButtonClick(button); };
      break;
    case atMenu: {
      button.SetStyle(TToolButtonStyle::DropDown);
      button.OnClick = [this, &button](TComponent&) { DropDownClick(button); };
      TPopupMenu& menu = AddPopupMenu(Numbered(u"PopupMenu", index));
      menu.OnPopup = [this](TComponent&) { HideHint(); };
      int32_t subCount = 0;
      OleCheck(agent_->get_SubActionCount(index, subCount));
      if (subCount < 0 || subCount > MaxSubActions) {
        throw Exception(u"Invalid sub-action count " + Numbered(u"", subCount));
      }
      for (int32_t position = 0; position < subCount; ++position) {
        TMenuItem& item = menu.AddItem(u"", {}, index);
        item.OnClick = [this, &item, position](TComponent&) { MenuItemClick(item, position); };
      }
      button.SetDropdownMenu(&menu);
      break;
    }
  }
}

void TKtIEToolBandForm::FormShow() {
  // The buttons are refreshed once the form is up, from the message loop.
  PostMessageA(Handle(), WM_BANDACTIVATION, 0, 1);
}

template <class F>
void TKtIEToolBandForm::Guarded(F&& body) {
  try {
    body();
  } catch (const std::exception& e) {
    ShowException(Handle(), e);
  }
}

void TKtIEToolBandForm::ButtonClick(TToolButton& button) {
  Guarded([&] {
    HideHint();
    OleCheck(agent_->ExecuteAction(static_cast<int32_t>(button.Tag())));
    RefreshButtons();
  });
}

void TKtIEToolBandForm::DropDownClick(TToolButton& button) {
  Guarded([&] {
    HideHint();
    Reported(loc::ToolbarDropDownClick, [&] {
      if (button.DropdownMenu() == nullptr) return;
      const TRect below = button.ScreenRect();
      button.DropdownMenu()->Popup({below.Left, below.Bottom});
    });
  });
}

void TKtIEToolBandForm::MenuItemClick(TMenuItem& item, int position) {
  Guarded([&] {
    OleCheck(agent_->ExecuteSubAction(static_cast<int32_t>(item.Tag()), position));
    RefreshButtons();
  });
}

void TKtIEToolBandForm::RefreshButtons() {
  Reported(loc::ToolbarRefreshButtons, [&] {
    if (!agent_) return;
    // Captions stay wide text: a translation into any script shows as the
    // manager gave it.
    for (int i = 0; i < toolBar_->ButtonCount(); ++i) {
      TToolButton& button = toolBar_->Button(i);
      String caption;
      String hint;
      VARIANT_BOOL enabled = VARIANT_FALSE;
      VARIANT_BOOL checked = VARIANT_FALSE;
      OleCheck(agent_->GetActionState(i, caption, hint, enabled, checked));
      button.SetCaption(caption);
      button.SetHint(hint);
      button.SetEnabled(enabled != 0);
      if (button.Style() == TToolButtonStyle::Check) button.SetDown(checked != 0);
      TPopupMenu* menu = button.DropdownMenu();
      if (button.Style() != TToolButtonStyle::DropDown || menu == nullptr) continue;
      for (int j = 0; j < menu->Count(); ++j) {
        OleCheck(agent_->GetSubActionState(i, j, caption, hint));
        menu->Item(j).SetCaption(caption);
        menu->Item(j).SetHint(hint);
      }
    }
  });
}

std::u16string TKtIEToolBandForm::HintText(TControl& control) {
  return control.Hint();
}

// --- TIEToolbar ---

TIEToolbar::~TIEToolbar() {
  DestroyForm();  // while the form class is whole
}

std::unique_ptr<TIEBandForm> TIEToolbar::CreateForm() {
  return std::make_unique<TKtIEToolBandForm>(*this);
}

int32_t TIEToolbar::MinWidth() {
  auto* form = dynamic_cast<TKtIEToolBandForm*>(Form());
  return form != nullptr ? form->KtMngToolBar().Width() : 0;
}

void* TIEToolbar::QueryExtraInterface(const IID& iid) {
  if (iid == IIEToolbar::Iid) return static_cast<IIEToolbar*>(this);
  return nullptr;
}

}  // namespace qm
