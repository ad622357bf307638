// The scripted backend: the user is a script, and everything shown is
// written down.
//
// The script is two queues. Form scripts: each is a list of actions for the
// next form shown whose name (or caption) matches, in the order they were
// queued; an empty form name matches any form. Answers: the buttons the
// next message boxes get, in order. When a modal form comes up, its script
// runs action by action until the modal result is set; a modal form whose
// script runs out (or that has none) is closed, which ends it with
// mrCancel. A modeless form takes its script when it is shown and runs it
// at the next Idle, as a person acts once the program is back in its
// message loop (after the code that showed the form has filled it); a test
// may also drive a form directly with Perform. A message box without a queued
// answer gets its cancel-like answer. A context-menu action picks the menu
// item named in the action.
//
// The journal records every form shown and hidden (with the form's text
// picture at that moment), every modal end with its result, every menu
// with its items and the pick, every message with its texts and answer,
// and every action performed, so that tests can assert what a person would
// have seen.
//
// An action that cannot be done raises EUserAction out of the modal loop
// (a wrong script is a failing test), after journalling it.
//
// One user-interface thread at a time; not locked.
#pragma once

#include <deque>
#include <string>
#include <vector>

#include "platform/ui/Backend.h"
#include "platform/ui/UserActions.h"

namespace qm::platform::ui {

struct TJournalEntry {
  enum class TKind : uint8_t { FormShown, FormHidden, ModalEnded, Menu, Message, Action };
  TKind Kind = TKind::FormShown;
  std::u16string Form;                // the form's name (Menu, Action: the form acted on, if any)
  std::u16string Caption;             // the form's or message box's caption
  std::u16string Text;                // the form's picture, the message text, the action
  std::vector<std::u16string> Items;  // a menu's captions, a message box's buttons
  int Result = 0;                     // modal result, picked menu index, pressed button
  TMsgIcon Icon = TMsgIcon::None;
  bool Modal = false;
};

class TScriptedBackend : public TUiBackend {
public:
  // Queues actions for the next form shown with that name or caption.
  void Script(std::u16string form, std::vector<TUserAction> actions);
  // Queues the answer to the next message box.
  void Answer(int button);
  bool ScriptsLeft() const noexcept { return !scripts_.empty(); }
  int AnswersLeft() const noexcept { return static_cast<int>(answers_.size()); }

  // Performs one action on a form now, journalled.
  void Perform(TForm& form, const TUserAction& action);

  const std::vector<TJournalEntry>& Journal() const noexcept { return journal_; }
  std::vector<TJournalEntry> Entries(TJournalEntry::TKind kind) const;
  void ClearJournal() { journal_.clear(); }

  void RunModal(TForm& form) override;
  void FormShown(TForm& form) override;
  void FormHidden(TForm& form) override;
  int PopupMenu(TPopupMenu& menu, TPoint at) override;
  int MessageBox(const TMessage& message) override;
  // Runs the scripts of the modeless forms shown since the last Idle that
  // are still up.
  void Idle() override;

private:
  struct TFormScript {
    std::u16string Form;
    std::deque<TUserAction> Actions;
  };
  // Takes the first queued script meant for the form; false when none.
  bool TakeScript(const TForm& form, std::deque<TUserAction>& actions);
  void JournalForm(TJournalEntry::TKind kind, TForm& form);

  std::deque<TFormScript> scripts_;
  struct TPendingScript {
    HWND Form = NoWindow;
    std::deque<TUserAction> Actions;
  };
  std::deque<TPendingScript> pending_;
  std::deque<int> answers_;
  std::vector<TJournalEntry> journal_;
  std::u16string pendingPick_;
  bool pickPending_ = false;
};

}  // namespace qm::platform::ui
