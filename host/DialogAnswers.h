// The user-interface backend of a scripted session: the scripted backend
// (everything shown is journalled) with answers queued by caption, as the
// script's `answer CAPTION BUTTON [NAME=VALUE]...` asks.
//
// The next message box or dialog whose caption (or form name) matches a
// queued answer, ignoring case, takes it: a message box is answered with
// the button of that caption; a dialog gets each NAME=VALUE (an edit takes
// the text, a list or combo box selects the entry, a check box is checked
// for 1, true, yes or on) and then the click of the button whose caption
// (or name) is BUTTON. Answers are taken oldest first; one that names a
// button the box or dialog lacks is a fault of the script, which
// TakeFaults reports. What finds no answer is closed, as the scripted
// backend does.
//
// One user-interface thread at a time, like its base.
#pragma once

#include <deque>
#include <string>
#include <utility>
#include <vector>

#include "platform/ui/ScriptedBackend.h"

namespace qm::host {

struct TDialogAnswer {
  std::u16string Caption;
  std::u16string Button;
  std::vector<std::pair<std::u16string, std::u16string>> Values;
};

class TDialogAnswerBackend final : public platform::ui::TScriptedBackend {
public:
  void Queue(TDialogAnswer answer) { queued_.push_back(std::move(answer)); }
  size_t Queued() const noexcept { return queued_.size(); }
  // The script faults met since the last call.
  std::vector<std::u16string> TakeFaults() { return std::exchange(faults_, {}); }

  void RunModal(platform::ui::TForm& form) override;
  void FormShown(platform::ui::TForm& form) override;
  int MessageBox(const platform::ui::TMessage& message) override;

private:
  // Takes the oldest answer for the caption or name; false when none.
  bool Take(const std::u16string& caption, const std::u16string& name, TDialogAnswer& answer);
  void ScriptForm(platform::ui::TForm& form);

  std::deque<TDialogAnswer> queued_;
  std::vector<std::u16string> faults_;
};

// Case-insensitive (ASCII) equality, with "&" accelerators ignored.
bool SameCaption(std::u16string_view a, std::u16string_view b);

}  // namespace qm::host
