// The password dialog: asks for the manager's password when the agent
// logs in.
//
// The agent creates one for each log-in (owned by the browser window) and
// frees it. Runs on the browser window's thread.
#pragma once

#include <string>

#include "platform/ui/Forms.h"

namespace qm {

namespace ui = platform::ui;

class TEnterPasswordForm : public ui::TForm {
public:
  explicit TEnterPasswordForm(platform::HWND ownerWindow);

  // Empties the password field and runs the dialog. On OK answers true
  // with the typed text, its leading and trailing characters up to the
  // space removed (so a password of spaces comes back empty); on Cancel
  // answers false and leaves password as it was.
  bool Execute(std::u16string& password);

  ui::TLabel& Label1;
  ui::TEdit& PasswordEdit;
  ui::TImage& Image1;
  ui::TButton& OKButton;
  ui::TButton& CancelButton;
};

}  // namespace qm
