#include "addon/dialogs/QMDialogUnit.h"

#include "addon/dialogs/DialogLayout.h"

namespace qm {

using namespace platform::ui;
using platform::TRect;

TQMDialog::TQMDialog(platform::HWND ownerWindow)
    : TForm(u"QMDialog", ownerWindow),
      FormSetListBox(Add<TListBox>(u"FormSetListBox")),
      Splitter1(Add<TSplitter>(u"Splitter1")),
      ProfileListBox(Add<TListBox>(u"ProfileListBox")),
      OnlyEmptyCheckBox(Add<TCheckBox>(u"OnlyEmptyCheckBox")),
      ButtonPanel(Add<TPanel>(u"ButtonPanel")),
      BitBtn2(ButtonPanel.Add<TButton>(u"BitBtn2")),
      BitBtn3(ButtonPanel.Add<TButton>(u"BitBtn3")),
      BitBtn1(ButtonPanel.Add<TButton>(u"BitBtn1")),
      PopupMenu1(AddPopupMenu(u"PopupMenu1")) {
  Layout();

  FormSetListBox.OnDrawItem = [this](TListBox&, int index, TRect rect, TOwnerDrawState) {
    DrawFormSetEntry(index, rect);
  };
  ProfileListBox.OnDrawItem = [this](TListBox&, int index, TRect rect, TOwnerDrawState) {
    DrawProfile(index, rect);
  };
  // At most one list has a selection.
  FormSetListBox.OnEnter = [this](TComponent&) { ProfileListBox.SetItemIndex(-1); };
  ProfileListBox.OnEnter = [this](TComponent&) { FormSetListBox.SetItemIndex(-1); };
  FormSetListBox.OnDblClick = [this](TComponent&) { FormSetDoubleClicked(); };
  ProfileListBox.OnDblClick = [this](TComponent&) { ProfileDoubleClicked(); };
  FormSetListBox.OnContextPopup = [this](TComponent&, platform::TPoint, bool& handled) {
    FormSetContextPopup(handled);
  };
  ProfileListBox.OnContextPopup = [this](TComponent&, platform::TPoint, bool& handled) {
    ProfileContextPopup(handled);
  };
  BitBtn2.OnClick = [this](TComponent&) { FillPressed(false); };
  BitBtn3.OnClick = [this](TComponent&) { FillPressed(true); };
  BitBtn1.OnClick = [this](TComponent&) { Hide(); };
  OnKeyDown = [this](TComponent&, uint16_t& key) {
    if (key == VK_ESCAPE) {
      key = 0;
      Hide();
    }
  };
  OnShow = [this](TComponent&) { PlaceBesideOwner(); };
}

void TQMDialog::Layout() {
  DisableAlign();
  SetCaption(u"Quillora");
  SetBorderIcons(biSystemMenu);
  SetKeyPreview(true);
  SetBounds(0, 0, 260, 278);
  SetConstraints({260, 190, 0, 0});

  FormSetListBox.SetBounds(0, 0, 0, 100);
  FormSetListBox.SetAlign(TAlign::Client);
  FormSetListBox.SetStyle(TListBoxStyle::OwnerDrawFixed);
  FormSetListBox.SetItemHeight(16);
  Splitter1.SetBounds(0, 100, 0, 3);
  Splitter1.SetAlign(TAlign::Bottom);
  ProfileListBox.SetBounds(0, 103, 0, 54);
  ProfileListBox.SetAlign(TAlign::Bottom);
  ProfileListBox.SetStyle(TListBoxStyle::OwnerDrawFixed);
  ProfileListBox.SetItemHeight(13);
  OnlyEmptyCheckBox.SetBounds(0, 157, 0, 17);
  OnlyEmptyCheckBox.SetAlign(TAlign::Bottom);
  OnlyEmptyCheckBox.SetCaption(u"Fill only empty fields");
  OnlyEmptyCheckBox.SetChecked(true);
  ButtonPanel.SetBounds(0, 174, 0, 37);
  ButtonPanel.SetAlign(TAlign::Bottom);
  BitBtn2.SetCaption(u"Fill");
  BitBtn2.SetDefault(true);
  BitBtn3.SetCaption(u"Fill && submit");
  BitBtn1.SetCaption(u"Close");
  BitBtn1.SetCancel(true);
  EnableAlign();
  PlaceButtonsRight(ButtonPanel, {&BitBtn2, &BitBtn3, &BitBtn1}, 75, 24, 4, 6);
}

void TQMDialog::Clear() {
  FormSetListBox.Clear();
  ProfileListBox.Clear();
  entries_.clear();
  pageKey_.clear();
}

void TQMDialog::AddEntry(int kind, const std::u16string& name, const std::u16string& ownerKey,
                         bool marked) {
  entries_.push_back({kind, name, ownerKey, marked});
  FormSetListBox.AddItem(name, kind, marked);
}

void TQMDialog::Refresh(const std::u16string& pageKey, const TFormCards& formCards,
                        const TWideStringList& navigationCards, const TWideStringList& mailCards,
                        const TWideStringList& profiles) {
  pageKey_ = pageKey;
  FormSetListBox.Clear();
  entries_.clear();
  for (const TFormSet& set : formCards) {
    const TWideStringList& cards = set.CardNames();
    for (int i = 0; i < cards.Count(); ++i) {
      AddEntry(EntryFormCard, cards[i], set.FormSetName(), cards.Objects(i) != 0);
    }
  }
  for (int i = 0; i < navigationCards.Count(); ++i) {
    AddEntry(EntryNavigationCard, navigationCards[i], pageKey, navigationCards.Objects(i) != 0);
  }
  for (int i = 0; i < mailCards.Count(); ++i) {
    AddEntry(EntryMailCard, mailCards[i], pageKey, mailCards.Objects(i) != 0);
  }
  ProfileListBox.Clear();
  for (int i = 0; i < profiles.Count(); ++i) {
    ProfileListBox.AddItem(profiles[i], 0, profiles.Objects(i) != 0);
  }
}

void TQMDialog::DrawFormSetEntry(int index, const TRect& rect) {
  TCanvas& canvas = FormSetListBox.Canvas();
  canvas.FillRect(rect);
  if (index < 0 || index >= static_cast<int>(entries_.size())) return;
  const TEntry& entry = entries_[static_cast<size_t>(index)];
  const bool bold = entry.OwnerKey == pageKey_;
  if (bold) canvas.Font.Bold = true;
  std::u16string text;
  switch (entry.Kind) {
    case EntryMailCard:
      text = u"[M] " + entry.Name;
      break;
    case EntryNavigationCard:
      text = u"[N] " + entry.Name;
      break;
    default:
      text = u"[C] " + entry.Name + u" [" + entry.OwnerKey + u"]";
      break;
  }
  if (entry.Marked) canvas.Font.Color = TColor::HotLight;
  canvas.TextOut(rect.Left + 2, rect.Top, text);
  if (entry.Marked) canvas.Font.Color = TColor::WindowText;
  if (bold) canvas.Font.Bold = false;
}

void TQMDialog::DrawProfile(int index, const TRect& rect) {
  TCanvas& canvas = ProfileListBox.Canvas();
  canvas.FillRect(rect);
  const TListItem& item = ProfileListBox.Item(index);
  if (item.Flag) canvas.Font.Bold = true;
  canvas.TextOut(rect.Left + 2, rect.Top, item.Text);
  if (item.Flag) canvas.Font.Bold = false;
}

void TQMDialog::FillFromProfile() {
  const int index = ProfileListBox.ItemIndex();
  if (index < 0) return;
  const std::u16string profile = ProfileListBox.Item(index).Text;
  if (onFillProfile_) onFillProfile_(*this, profile, OnlyEmptyCheckBox.Checked());
  Hide();
}

void TQMDialog::FillPressed(bool submit) {
  const int index = FormSetListBox.ItemIndex();
  if (index < 0) {
    FillFromProfile();
    return;
  }
  // Copies: a handler may refresh the lists.
  const TEntry entry = entries_.at(static_cast<size_t>(index));
  const bool onlyEmpty = OnlyEmptyCheckBox.Checked();
  switch (entry.Kind) {
    case EntryFormCard:
      if (onFillCard_) onFillCard_(*this, entry.OwnerKey, onlyEmpty, submit, entry.Name);
      break;
    case EntryNavigationCard:
      if (!submit) return;
      if (onPlayNavigation_) onPlayNavigation_(*this, entry.OwnerKey, entry.Name);
      break;
    case EntryMailCard:
      if (!submit) return;
      if (onSendMail_) onSendMail_(*this, entry.OwnerKey, entry.Name);
      break;
    default:
      return;
  }
  Hide();
}

void TQMDialog::FormSetDoubleClicked() {
  const int index = FormSetListBox.ItemIndex();
  if (index < 0 || entries_.at(static_cast<size_t>(index)).Kind != EntryFormCard) return;
  FillPressed(false);
}

void TQMDialog::ProfileDoubleClicked() {
  FillFromProfile();
}

const TQMDialog::TEntry* TQMDialog::MenuEntry(const TComponent& item) const {
  const intptr_t index = item.Tag();
  if (index < 0 || index >= static_cast<intptr_t>(entries_.size())) return nullptr;
  return &entries_[static_cast<size_t>(index)];
}

void TQMDialog::FormSetContextPopup(bool& handled) {
  const int index = FormSetListBox.ItemIndex();
  if (index < 0) return;
  PopupMenu1.Clear();
  const TEntry& entry = entries_.at(static_cast<size_t>(index));
  const auto raise = [this](TCardEvent& handler, bool dropName) {
    return [this, &handler, dropName](TComponent& item) {
      const TEntry* chosen = MenuEntry(item);
      if (chosen == nullptr || !handler) return;
      const TEntry copy = *chosen;
      handler(*this, copy.OwnerKey, dropName ? std::u16string() : copy.Name);
    };
  };
  if (entry.OwnerKey == pageKey_) {
    PopupMenu1.AddItem(u"Set default for active profile", raise(onSetDefault_, false), index);
    PopupMenu1.AddItem(u"Drop default form card for active profile", raise(onSetDefault_, true),
                       index);
    PopupMenu1.AddItem(u"-");
  }
  PopupMenu1.AddItem(u"Delete", raise(onDelete_, false), index);
  PopupMenu1.Popup(platform::GetCursorPos());
  handled = true;
}

void TQMDialog::ProfileContextPopup(bool& handled) {
  const int index = ProfileListBox.ItemIndex();
  if (index < 0) return;
  PopupMenu1.Clear();
  PopupMenu1.AddItem(
      u"Set profile as active",
      [this](TComponent& item) {
        const intptr_t at = item.Tag();
        if (at < 0 || at >= ProfileListBox.Count() || !onSetActiveProfile_) return;
        const std::u16string profile = ProfileListBox.Item(static_cast<int>(at)).Text;
        onSetActiveProfile_(*this, profile);
      },
      index);
  PopupMenu1.Popup(platform::GetCursorPos());
  handled = true;
}

void TQMDialog::PlaceBesideOwner() {
  TRect owner;
  if (!platform::GetWindowRect(placementWindow_, owner)) return;
  SetBounds(owner.Right - Width(), owner.Top, Width(), Height());
}

}  // namespace qm
