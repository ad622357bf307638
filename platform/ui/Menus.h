// Pop-up menus: a list of items with captions (a caption "-" is a
// separator), each with a click handler and a tag. The owner usually
// rebuilds the items in OnPopup, just before the menu opens.
//
// A form owns its menus; controls refer to them (TControl::PopupMenu).
// Runs on the form's thread.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/ui/Controls.h"

namespace qm::platform::ui {

class TMenuItem : public TComponent {
public:
  TMenuItem(std::u16string name, std::u16string caption)
      : TComponent(std::move(name)), caption_(std::move(caption)) {}
  const char16_t* ClassName() const override { return u"TMenuItem"; }

  const std::u16string& Caption() const noexcept { return caption_; }
  void SetCaption(std::u16string caption) { caption_ = std::move(caption); }
  bool IsSeparator() const noexcept { return caption_ == u"-"; }
  const std::u16string& Hint() const noexcept { return hint_; }
  void SetHint(std::u16string hint) { hint_ = std::move(hint); }
  bool Enabled() const noexcept { return enabled_; }
  void SetEnabled(bool enabled) noexcept { enabled_ = enabled; }

  TNotifyEvent OnClick;
  void Click() {
    if (OnClick) OnClick(*this);
  }

private:
  std::u16string caption_;
  std::u16string hint_;
  bool enabled_ = true;
};

class TPopupMenu : public TComponent {
public:
  using TComponent::TComponent;
  const char16_t* ClassName() const override { return u"TPopupMenu"; }

  int Count() const noexcept { return static_cast<int>(items_.size()); }
  TMenuItem& Item(int index) const { return *items_.at(static_cast<size_t>(index)); }
  TMenuItem& AddItem(std::u16string caption, TNotifyEvent onClick = {}, intptr_t tag = 0);
  void Clear() { items_.clear(); }

  // Raised just before the menu opens.
  TNotifyEvent OnPopup;

  // Opens the menu at a screen position: OnPopup, then the backend shows
  // the items; the one the user picks (if any, and when it is enabled and
  // not a separator) runs its click handler. Answers the picked index, -1
  // when the menu was dismissed.
  int Popup(TPoint at);

private:
  std::vector<std::unique_ptr<TMenuItem>> items_;
};

}  // namespace qm::platform::ui
