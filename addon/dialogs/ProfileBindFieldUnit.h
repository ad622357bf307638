// The bind-field dialog: the modal window in which the user picks a
// profile field by its caption, optionally narrowed to one group of
// fields, and (with its text line shown) edits the synonym or value that
// goes with it.
//
// Groups come in the order the caller built them; each group is a list of
// strings whose first string is the group's name and whose others are the
// captions of its fields. "All fields" lists every caption sorted ignoring
// letter case; a group lists its own captions in their order. Whenever the
// list is rebuilt and not empty its first entry is selected.
//
// The caller creates one for each use (owned by the browser window) and
// frees it. Runs on the browser window's thread.
#pragma once

#include <string>
#include <vector>

#include "platform/ui/Forms.h"

namespace qm {

namespace ui = platform::ui;

using TFieldGroup = std::vector<std::u16string>;  // name, then captions
using TFieldGroups = std::vector<TFieldGroup>;

// Groups from the manager's flat profile-field triples (caption, field
// name, group): a group is created when its name is first met (names
// compare exactly) and each caption is appended to its group. A last,
// incomplete triple is ignored.
TFieldGroups BuildFieldGroups(const std::vector<std::u16string>& triples);

class TProfileBindFieldForm : public ui::TForm {
public:
  explicit TProfileBindFieldForm(platform::HWND ownerWindow);

  // Shows the text line with text in it.
  void ShowSynonym(const std::u16string& text);
  // What to select when the dialog opens; either may be empty.
  void Preselect(const std::u16string& groupName, const std::u16string& caption);
  // The caption chosen with OK; empty when nothing was selected or on
  // Cancel.
  std::u16string Execute(const TFieldGroups& groups);
  // The text line's text while it is shown, else empty.
  std::u16string Synonym() const;

  static constexpr const char16_t* AllFields = u"All fields";

  ui::TPanel& SynonimPanel;
  ui::TEdit& SynonimEdit;
  ui::TPanel& GroupsPanel;
  ui::TLabel& Label1;
  ui::TComboBox& GroupsComboBox;
  ui::TListBox& TextListBox;
  ui::TPanel& ButtonPanel;
  ui::TButton& OKButton;
  ui::TButton& CancelButton;

private:
  void BuildList();

  TFieldGroups groups_;
  std::u16string preselectedGroup_;
  std::u16string preselectedCaption_;
};

}  // namespace qm
