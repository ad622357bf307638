// The toolbar the browser shows in each window: TIEToolbar, the band, and
// TKtIEToolBandForm, its one-row tool bar of icon-and-caption buttons.
//
// The toolbar knows nothing of the agent. Its form makes an automation
// object (IQMAgent) by its class identifier, through the registry, gives it the band's browser as its window, builds one
// button per action once (a plain button, a check button, or a drop-down
// button with a menu of the action's sub-actions), and after every click
// and every activation of the browser window reads all captions, hints,
// enabled and checked states again. A check button shows pressed exactly
// when its action reads checked. Buttons carry their action index in their
// tag; menu items their action index in their tag and their sub-action
// index as their position.
//
// Failures of the automation object while the buttons are built or
// refreshed end that step and are shown to the user (the toolkit's default
// handler); the form stays with what was made before.
//
// Everything runs on the browser window's thread.
#pragma once

#include <memory>
#include <vector>

#include "addon/Common/QuillmateTLB.h"
#include "addon/toolband/IEBand.h"
#include "platform/ui/ToolBars.h"

namespace qm {

class TKtIEToolBandForm : public TIEBandForm {
public:
  // Lays the form out and builds the buttons (FormCreate).
  explicit TKtIEToolBandForm(TIEBand& band);
  // Releases the automation object (FormDestroy).
  ~TKtIEToolBandForm() override;

  platform::ui::TToolBar& KtMngToolBar() const noexcept { return *toolBar_; }
  platform::ui::TImageList& HotImageList() const noexcept { return *hotImageList_; }
  platform::ui::TImageList& ImageList() const noexcept { return *imageList_; }
  const platform::ComPtr<IQMAgent>& Agent() const noexcept { return agent_; }

  // Reads every button's caption, hint and states (and its menu's) from
  // the automation object (code 1713).
  void RefreshButtons();
  // The control's own hint.
  std::u16string HintText(platform::ui::TControl& control) override;

private:
  void FormCreate();
  void BuildButton(int32_t index);
  void FormShow();
  void ButtonClick(platform::ui::TToolButton& button);
  void DropDownClick(platform::ui::TToolButton& button);
  void MenuItemClick(platform::ui::TMenuItem& item, int position);
  // Runs a user's command; what escapes is shown to the user.
  template <class F>
  void Guarded(F&& body);

  platform::ui::TToolBar* toolBar_ = nullptr;
  std::unique_ptr<platform::ui::TImageList> hotImageList_;
  std::unique_ptr<platform::ui::TImageList> imageList_;
  platform::ComPtr<IQMAgent> agent_;
};

class TIEToolbar final : public TIEToolBand, public IIEToolbar {
public:
  ~TIEToolbar() override;

  // IUnknown, one identity for every interface.
  HRESULT QueryInterface(const platform::IID& iid, void** object) override {
    return TIEToolBand::QueryInterface(iid, object);
  }
  uint32_t AddRef() override { return TIEToolBand::AddRef(); }
  uint32_t Release() override { return TIEToolBand::Release(); }

  // "Quillora".
  static const char16_t* BandTitle() noexcept { return u"Quillora"; }

protected:
  platform::CLSID BandClassID() override { return CLASS_IEToolbar; }
  std::unique_ptr<TIEBandForm> CreateForm() override;
  String Title() override { return BandTitle(); }
  // As wide as the tool bar's buttons.
  int32_t MinWidth() override;
  void* QueryExtraInterface(const platform::IID& iid) override;
};

}  // namespace qm
