// The fill dialog: the small modeless window beside the browser window
// that lists what the manager offers for the current page (form cards by
// form set, navigation cards, mail cards) and the user's profiles.
//
// The dialog performs nothing itself: each choice goes to a handler that
// the agent assigns (fill from a card or a profile, fill and submit, play a
// navigation card, send a mail card, set or drop the default card, delete,
// make a profile active). Every action that raises one of the fill, play
// or send handlers hides the dialog afterwards, also without a handler.
// The buttons, Close and Escape hide the dialog, never destroy it; hiding
// raises the form's OnHide, which the agent uses to remember that the user
// dismissed it.
//
// Entries of FormSetListBox are drawn "[C] name [owner key]" for form
// cards, "[N] name" for navigation cards and "[M] name" for mail cards;
// bold when the entry's owner key is the page key, in the hot-light colour
// when it carries the mark of the chosen card. Profiles are drawn bold when
// active.
//
// Owned by the agent (created on its first show, destroyed on detach).
// Runs on the browser window's thread.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "core/Common/QMAgentUtils.h"
#include "core/Common/WideStrings.h"
#include "platform/ui/Forms.h"

namespace qm {

namespace ui = platform::ui;

class TQMDialog;

using TFillCardEvent = std::function<void(TQMDialog& sender, const std::u16string& ownerKey,
                                          bool onlyEmpty, bool submit, const std::u16string& card)>;
using TFillProfileEvent =
    std::function<void(TQMDialog& sender, const std::u16string& profile, bool onlyEmpty)>;
// Play navigation, send mail, set default (card empty: drop it), delete.
using TCardEvent = std::function<void(TQMDialog& sender, const std::u16string& ownerKey,
                                      const std::u16string& card)>;
using TProfileEvent = std::function<void(TQMDialog& sender, const std::u16string& profile)>;

enum TFormSetEntryKind : int {
  EntryFormCard = 1,
  EntryNavigationCard = 2,
  EntryMailCard = 3,
};

class TQMDialog : public ui::TForm {
public:
  explicit TQMDialog(platform::HWND ownerWindow);

  // Rebuilds both lists. The name lists carry their flag as the entry's
  // mark (Objects non-zero); profiles likewise carry the active flag.
  void Refresh(const std::u16string& pageKey, const TFormCards& formCards,
               const TWideStringList& navigationCards, const TWideStringList& mailCards,
               const TWideStringList& profiles);
  // Empties both lists and the kept values.
  void Clear();
  // The window beside which the dialog places itself when shown.
  void SetOwnerWindow(platform::HWND window) noexcept { placementWindow_ = window; }

  void SetOnFillCard(TFillCardEvent handler) { onFillCard_ = std::move(handler); }
  void SetOnFillProfile(TFillProfileEvent handler) { onFillProfile_ = std::move(handler); }
  void SetOnPlayNavigation(TCardEvent handler) { onPlayNavigation_ = std::move(handler); }
  void SetOnSendMail(TCardEvent handler) { onSendMail_ = std::move(handler); }
  void SetOnSetDefault(TCardEvent handler) { onSetDefault_ = std::move(handler); }
  void SetOnDelete(TCardEvent handler) { onDelete_ = std::move(handler); }
  void SetOnSetActiveProfile(TProfileEvent handler) { onSetActiveProfile_ = std::move(handler); }

  // What the dialog keeps per entry of FormSetListBox, at the same index.
  struct TEntry {
    int Kind = EntryFormCard;
    std::u16string Name;
    std::u16string OwnerKey;
    bool Marked = false;
  };
  const std::vector<TEntry>& Entries() const noexcept { return entries_; }
  const std::u16string& PageKey() const noexcept { return pageKey_; }

  ui::TListBox& FormSetListBox;
  ui::TSplitter& Splitter1;
  ui::TListBox& ProfileListBox;
  ui::TCheckBox& OnlyEmptyCheckBox;
  ui::TPanel& ButtonPanel;
  ui::TButton& BitBtn2;  // Fill
  ui::TButton& BitBtn3;  // Fill & submit
  ui::TButton& BitBtn1;  // Close
  ui::TPopupMenu& PopupMenu1;

private:
  void Layout();
  void AddEntry(int kind, const std::u16string& name, const std::u16string& ownerKey, bool marked);
  void DrawFormSetEntry(int index, const platform::TRect& rect);
  void DrawProfile(int index, const platform::TRect& rect);
  // Fill (submit false) and Fill & submit (submit true).
  void FillPressed(bool submit);
  void FormSetDoubleClicked();
  void ProfileDoubleClicked();
  void FillFromProfile();
  void FormSetContextPopup(bool& handled);
  void ProfileContextPopup(bool& handled);
  // The entry a menu item was built for, null when the lists changed since.
  const TEntry* MenuEntry(const ui::TComponent& item) const;
  void PlaceBesideOwner();

  std::vector<TEntry> entries_;
  std::u16string pageKey_;
  platform::HWND placementWindow_ = platform::NoWindow;

  TFillCardEvent onFillCard_;
  TFillProfileEvent onFillProfile_;
  TCardEvent onPlayNavigation_;
  TCardEvent onSendMail_;
  TCardEvent onSetDefault_;
  TCardEvent onDelete_;
  TProfileEvent onSetActiveProfile_;
};

}  // namespace qm
