// The agent's dialogs: the fill dialog it owns, the settings and password
// dialogs it opens for one use, and the banner strip it puts on dialogs.
#include "addon/Common/QuillmateAgent.h"
#include "addon/dialogs/EnterPaswordUnit.h"
#include "addon/dialogs/QMDialogUnit.h"
#include "addon/dialogs/QMSettingsDlgUnit.h"
#include "core/Common/BannerStream.h"
#include "core/Common/LocationCodes.h"
#include "core/Common/VxSystem.h"

namespace qm {

using platform::ui::TComponent;

// The fill dialog grows to this width when it carries a banner.
constexpr int BannerDialogMinWidth = 476;
constexpr int BannerWidth = 620;
constexpr int BannerHeight = 68;

bool TQuillmateAgent::IsDialogVisible() {
  return fillDialog_ && fillDialog_->Visible();
}

bool TQuillmateAgent::CreateFillDialog() {
  // A dialog that cannot be made ends the show quietly.
  const bool made = Swallowed([&] { fillDialog_ = std::make_unique<TQMDialog>(ownerWindow_); });
  if (!made || !fillDialog_) {
    fillDialog_.reset();
    return false;
  }
  TQMDialog& dialog = *fillDialog_;
  dialog.SetOwnerWindow(ownerWindow_);
  dialog.SetOnFillCard(
      [this](TQMDialog&, const String& ownerKey, bool onlyEmpty, bool submit, const String& card) {
        if (onFillCard_) onFillCard_(*this, ownerKey, onlyEmpty, submit, card);
      });
  dialog.SetOnFillProfile([this](TQMDialog&, const String& profile, bool onlyEmpty) {
    if (onFillProfile_) onFillProfile_(*this, profile, onlyEmpty);
  });
  const auto relay = [this](TAgentCardEvent& handler) {
    return [this, &handler](TQMDialog&, const String& ownerKey, const String& card) {
      if (handler) handler(*this, ownerKey, card);
    };
  };
  dialog.SetOnSetDefault(relay(onSetDefault_));
  dialog.SetOnDelete(relay(onDelete_));
  dialog.SetOnPlayNavigation(relay(onPlayNavigation_));
  dialog.SetOnSendMail(relay(onSendMail_));
  dialog.SetOnSetActiveProfile([this](TQMDialog&, const String& profile) {
    if (onSetActiveProfile_) onSetActiveProfile_(*this, profile);
  });
  dialog.OnHide = [this](TComponent&) { DialogHidden(); };
  if (bannerMode_ == 1) {
    platform::ui::TSizeConstraints constraints = dialog.Constraints();
    constraints.MinWidth = BannerDialogMinWidth;
    dialog.SetConstraints(constraints);
    AttachBanner(dialog);
  }
  return true;
}

void TQuillmateAgent::ShowDialog(bool show) {
  if (!show) {
    if (fillDialog_) fillDialog_->Hide();
    return;
  }
  if (!guiActive_) {
    pendingShow_ = true;
    return;
  }
  if (!fillDialog_ && !CreateFillDialog()) return;
  if (!fillDialog_->Visible()) Raise(onBeforeShowDialog_, *this);
  fillDialog_->Show();
  RefreshDialog();
}

void TQuillmateAgent::DialogHidden() {
  dialogDismissed_ = true;
  if (!guiActive_) pendingShow_ = true;
}

void TQuillmateAgent::ShowDialogUnlessDismissed() {
  if (!dialogDismissed_) ShowDialog(true);
}

void TQuillmateAgent::ResetPage() {
  ShowDialog(false);
  ClearFormCards();
  dialogDismissed_ = false;
}

void TQuillmateAgent::RefreshDialog() {
  if (!IsDialogVisible()) return;
  fillDialog_->Refresh(pageKey_, formCards_, navigationCards_, mailCards_, profiles_);
}

void TQuillmateAgent::DestroyDialog() {
  fillDialog_.reset();
}

void TQuillmateAgent::SetGUIActive(bool value) {
  if (value == guiActive_) return;
  guiActive_ = value;
  if (!value) {
    ShowDialog(false);
  } else if (pendingShow_) {
    pendingShow_ = false;
    ShowDialog(true);
  }
}

void TQuillmateAgent::ShowOptions() {
  Reported(loc::AgentShowOptions, [&] {
    // Connect first: connecting replaces the options with the manager's
    // word, which must happen before the user edits them, not after.
    Connect();
    std::unique_ptr<TQMSettingsDialog> dialog;
    if (!Swallowed([&] { dialog = std::make_unique<TQMSettingsDialog>(ownerWindow_); })) return;
    bool setAsDefault = false;
    // On OK the dialog writes the options back; they apply at once.
    if (!dialog->Execute(options_, setAsDefault)) return;
    // Only a connection that was there before the dialog: one made now
    // would bring the manager's word back over the user's edits.
    if (setAsDefault && server_) {
      const int32_t word = options_.ToWord();
      ManagerCall([&](IQoraServer& s) { return s.SetOptions(word); });
    }
  });
}

bool TQuillmateAgent::Login() {
  if (!GetServer()) return false;
  std::unique_ptr<TEnterPasswordForm> dialog;
  if (!Swallowed([&] { dialog = std::make_unique<TEnterPasswordForm>(ownerWindow_); })) {
    return false;
  }
  std::u16string password;
  if (!dialog->Execute(password) || password.empty()) return false;
  return ManagerCall([&](IQoraServer& s) { return s.Login(password); });
}

// The banner's data: the request names the strip's size, the reply is a
// link and a text (core/Common/BannerStream.h); anything else is no banner.
void TQuillmateAgent::AttachBanner(platform::ui::TForm& form) {
  auto& strip = form.Add<platform::ui::TPanel>(u"BannerPanel");
  strip.SetBounds(0, 0, BannerWidth, BannerHeight);
  strip.SetAlign(platform::ui::TAlign::Top);
  form.MoveToFront(strip);
  Reported(loc::AgentBannerData, [&] {
    const Variant request = BannerRequestStream({BannerWidth, BannerHeight});
    Variant reply;
    if (!GetServer()) return;
    if (!ManagerCall([&](IQoraServer& s) { return s.GetBanner(request, reply); })) return;
    const std::optional<TBanner> banner = ReadBanner(reply);
    if (!banner) return;
    strip.SetHint(banner->Link);
    strip.SetCaption(banner->Text);
  });
  strip.OnClick = [this, &strip](TComponent&) {
    Reported(loc::AgentBannerClick, [&] {
      if (onBannerClick_) onBannerClick_(*this, strip.Hint());
    });
  };
}

}  // namespace qm
