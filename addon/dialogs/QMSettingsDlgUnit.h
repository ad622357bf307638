// The settings dialog: the modal window in which the user edits the
// agent's seven options and chooses whether they also become the
// manager's defaults.
//
// Dependencies between the boxes hold whenever the controlling box is
// clicked or its checked state is set: AutoSubmit is enabled exactly when
// AutoFill is checked; AskConfirm exactly when AutoSubmit is enabled and
// checked; AutoBind exactly when AutoFillNew is checked. Disabling a box
// keeps its checked state, and a disabled box is still read back on OK.
//
// The agent creates one for each use (owned by the browser window) and
// frees it. Runs on the browser window's thread.
#pragma once

#include "core/Common/QMOptions.h"
#include "platform/ui/Forms.h"

namespace qm {

namespace ui = platform::ui;

class TQMSettingsDialog : public ui::TForm {
public:
  explicit TQMSettingsDialog(platform::HWND ownerWindow);

  // True when the user pressed OK; options are written back only then.
  // setAsDefault is false unless OK was pressed, then the state of
  // "Set as default".
  bool Execute(TQMOptions& options, bool& setAsDefault);

  ui::TScrollBox& ScrollBox1;
  ui::TLabel& Label1;
  ui::TCheckBox& AutFillCheckBox;
  ui::TCheckBox& AutoSubmitCheckBox;
  ui::TCheckBox& AskConfirmCheckBox;
  ui::TCheckBox& AutoShowCheckBox;
  ui::TCheckBox& AutoFillNewCheckBox;
  ui::TCheckBox& AutoBindCheckBox;
  ui::TLabel& Label2;
  ui::TRadioButton& NoneOnSubmitRadioButton;
  ui::TRadioButton& AutoSaveOnSubmitRadioButton;
  ui::TRadioButton& DialogOnSubmitRadioButton;
  ui::TPanel& DefaultPanel;
  ui::TCheckBox& SetDefaultCheckBox;
  ui::TPanel& ButtonPanel;
  ui::TButton& OKButton;
  ui::TButton& CancelButton;

private:
  void AutoFillClicked();
  void AutoSubmitClicked();
  void AutoFillNewClicked();
};

}  // namespace qm
