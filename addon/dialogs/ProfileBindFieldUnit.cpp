#include "addon/dialogs/ProfileBindFieldUnit.h"

#include "addon/dialogs/DialogLayout.h"
#include "core/Common/TextUtils.h"

namespace qm {

using namespace platform::ui;

namespace {

// Entries are found ignoring letter case, as the platform's lists do.
template <class Texts>
int FindIgnoringCase(const Texts& textAt, int n, std::u16string_view text) {
  for (int i = 0; i < n; ++i) {
    if (SameTextIgnoreCase(textAt(i), text)) return i;
  }
  return -1;
}

}  // namespace

TFieldGroups BuildFieldGroups(const std::vector<std::u16string>& triples) {
  TFieldGroups groups;
  for (size_t i = 0; i + 2 < triples.size(); i += 3) {
    const std::u16string& caption = triples[i];
    const std::u16string& group = triples[i + 2];
    auto it = groups.begin();
    while (it != groups.end() && it->front() != group)
      ++it;
    if (it == groups.end()) it = groups.insert(groups.end(), TFieldGroup{group});
    it->push_back(caption);
  }
  return groups;
}

TProfileBindFieldForm::TProfileBindFieldForm(platform::HWND ownerWindow)
    : TForm(u"ProfileBindFieldForm", ownerWindow),
      SynonimPanel(Add<TPanel>(u"SynonimPanel")),
      SynonimEdit(SynonimPanel.Add<TEdit>(u"SynonimEdit")),
      GroupsPanel(Add<TPanel>(u"GroupsPanel")),
      Label1(GroupsPanel.Add<TLabel>(u"Label1")),
      GroupsComboBox(GroupsPanel.Add<TComboBox>(u"GroupsComboBox")),
      TextListBox(Add<TListBox>(u"TextListBox")),
      ButtonPanel(Add<TPanel>(u"ButtonPanel")),
      OKButton(ButtonPanel.Add<TButton>(u"OKButton")),
      CancelButton(ButtonPanel.Add<TButton>(u"CancelButton")) {
  DisableAlign();
  SetBorderIcons(biSystemMenu);
  SetPosition(TPosition::ScreenCenter);
  SetBounds(0, 0, 336, 428);

  SynonimPanel.SetBounds(0, 0, 0, 29);
  SynonimPanel.SetAlign(TAlign::Top);
  GroupsPanel.SetBounds(0, 29, 0, 29);
  GroupsPanel.SetAlign(TAlign::Top);
  Label1.SetBounds(8, 8, 36, 13);
  Label1.SetCaption(u"Group:");
  GroupsComboBox.OnChange = [this](TComponent&) { BuildList(); };
  ButtonPanel.SetBounds(0, 360, 0, 37);
  ButtonPanel.SetAlign(TAlign::Bottom);
  TextListBox.SetBounds(0, 58, 0, 300);
  TextListBox.SetAlign(TAlign::Client);
  TextListBox.SetItemHeight(13);
  TextListBox.SortCompare = CompareTextIgnoreCase;
  TextListBox.OnDblClick = [this](TComponent&) { SetModalResult(mrOk); };
  MakeOkCancelPair(OKButton, u"OK", CancelButton);
  EnableAlign();
  SynonimEdit.SetBounds(4, 4, SynonimPanel.Width() - 8, 21);
  SynonimEdit.SetAnchors(akLeft | akTop | akRight);
  SynonimPanel.SetVisible(false);  // until the caller gives a text
  // The combo box's width follows the panel: panel width - combo left - 10.
  GroupsComboBox.SetBounds(48, 4, GroupsPanel.Width() - 48 - 10, 21);
  GroupsComboBox.SetAnchors(akLeft | akTop | akRight);
  PlaceButtonsRight(ButtonPanel, {&OKButton, &CancelButton}, 80, 25, 6, 8);
  // The list has the focus when the dialog opens.
  OnShow = [this](TComponent&) { SetActiveControl(&TextListBox); };
}

void TProfileBindFieldForm::ShowSynonym(const std::u16string& text) {
  SynonimPanel.SetVisible(true);
  SynonimEdit.SetText(text);
}

void TProfileBindFieldForm::Preselect(const std::u16string& groupName,
                                      const std::u16string& caption) {
  preselectedGroup_ = groupName;
  preselectedCaption_ = caption;
}

std::u16string TProfileBindFieldForm::Synonym() const {
  return SynonimPanel.Visible() ? SynonimEdit.Text() : std::u16string();
}

void TProfileBindFieldForm::BuildList() {
  TextListBox.Clear();
  const int selected = GroupsComboBox.ItemIndex();
  TextListBox.SetSorted(selected <= 0);
  for (size_t g = 0; g < groups_.size(); ++g) {
    if (selected > 0 && static_cast<int>(g) != selected - 1) continue;
    for (size_t i = 1; i < groups_[g].size(); ++i)
      TextListBox.AddItem(groups_[g][i]);
  }
  if (TextListBox.Count() > 0) TextListBox.SetItemIndex(0);
}

std::u16string TProfileBindFieldForm::Execute(const TFieldGroups& groups) {
  groups_.clear();
  // A group without a name string has nothing to offer.
  for (const TFieldGroup& group : groups) {
    if (!group.empty()) groups_.push_back(group);
  }
  GroupsComboBox.Clear();
  GroupsComboBox.AddItem(AllFields);
  for (const TFieldGroup& group : groups_)
    GroupsComboBox.AddItem(group.front());
  GroupsComboBox.SetItemIndex(0);
  BuildList();
  if (!preselectedGroup_.empty()) {
    // A group that is no longer there leaves "All fields" selected.
    const auto& items = GroupsComboBox.Items();
    const int at = FindIgnoringCase([&](int i) -> const std::u16string& { return items[i]; },
                                    static_cast<int>(items.size()), preselectedGroup_);
    if (at >= 0) {
      GroupsComboBox.SetItemIndex(at);
      BuildList();
    }
  }
  if (!preselectedCaption_.empty()) {
    TextListBox.SetItemIndex(
        FindIgnoringCase([&](int i) -> const std::u16string& { return TextListBox.Item(i).Text; },
                         TextListBox.Count(), preselectedCaption_));
  }
  if (ShowModal() != mrOk) return std::u16string();
  const int index = TextListBox.ItemIndex();
  return index >= 0 ? TextListBox.Item(index).Text : std::u16string();
}

}  // namespace qm
