// The store dialog: the modal window in which the user names what is
// about to be stored in the manager (a form card, a navigation recording,
// a mail card), picks or types the name, and says whether the stored item
// becomes the default for nobody (0), the active profile (1) or all
// profiles (2); for form cards also whether filling from it fills only
// empty forms.
//
// The existing names arrive as one comma text of flag=name entries; a flag
// other than "0" marks a name that is the default for all profiles.
// Clicking an existing name copies it into the edit and selects "all
// profiles" for such a name, "active profile" otherwise.
//
// The caller creates the dialog for one store operation (owned by the
// browser window), may run it several times, and frees it. The in/out
// values are written back only on Ok. Runs on the browser window's thread.
#pragma once

#include <string>

#include "platform/ui/Forms.h"

namespace qm {

namespace ui = platform::ui;

enum TDefaultMode : int {
  DefaultForNobody = 0,
  DefaultForActiveProfile = 1,
  DefaultForAllProfiles = 2,
};

class TQMStoreDialog : public ui::TForm {
public:
  explicit TQMStoreDialog(platform::HWND ownerWindow);

  // True when the user pressed Ok.
  bool ExecuteWithFillOption(const std::u16string& caption, const std::u16string& existingNames,
                             int& defaultMode, bool& fillOnlyEmpty, std::u16string& name,
                             const std::u16string& activeProfile);
  // The same without the fill-only-empty option (its panel is hidden).
  bool Execute(const std::u16string& caption, const std::u16string& existingNames, int& defaultMode,
               std::u16string& name, const std::u16string& activeProfile);

  ui::TEdit& FormSetNameEdit;
  ui::TPanel& FillOnlyEmptyPanel;
  ui::TCheckBox& FillOnlyEmptyCheckBox;
  ui::TRadioGroup& DefRadioGroup;
  ui::TListBox& FormSetListBox;
  ui::TPanel& ButtonPanel;
  ui::TButton& Button1;
  ui::TButton& Button2;

private:
  bool Run(const std::u16string& caption, const std::u16string& existingNames, int& defaultMode,
           bool* fillOnlyEmpty, std::u16string& name, const std::u16string& activeProfile);
  void NamePicked();
};

}  // namespace qm
