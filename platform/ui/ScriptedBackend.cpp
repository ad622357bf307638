#include "platform/ui/ScriptedBackend.h"

namespace qm::platform::ui {

using TKind = TJournalEntry::TKind;

void TScriptedBackend::Script(std::u16string form, std::vector<TUserAction> actions) {
  scripts_.push_back({std::move(form), std::deque<TUserAction>(actions.begin(), actions.end())});
}

void TScriptedBackend::Answer(int button) {
  answers_.push_back(button);
}

std::vector<TJournalEntry> TScriptedBackend::Entries(TKind kind) const {
  std::vector<TJournalEntry> out;
  for (const auto& e : journal_) {
    if (e.Kind == kind) out.push_back(e);
  }
  return out;
}

bool TScriptedBackend::TakeScript(const TForm& form, std::deque<TUserAction>& actions) {
  for (auto it = scripts_.begin(); it != scripts_.end(); ++it) {
    if (it->Form.empty() || SameName(it->Form, form.Name()) || it->Form == form.Caption()) {
      actions = std::move(it->Actions);
      scripts_.erase(it);
      return true;
    }
  }
  return false;
}

void TScriptedBackend::JournalForm(TKind kind, TForm& form) {
  TJournalEntry e;
  e.Kind = kind;
  e.Form = form.Name();
  e.Caption = form.Caption();
  e.Modal = form.Modal();
  if (kind == TKind::FormShown) e.Text = DescribeForm(form);
  if (kind == TKind::ModalEnded) e.Result = form.ModalResult();
  journal_.push_back(std::move(e));
}

void TScriptedBackend::Perform(TForm& form, const TUserAction& action) {
  TJournalEntry e;
  e.Kind = TKind::Action;
  e.Form = form.Name();
  e.Caption = form.Caption();
  e.Text = action.ToText();
  journal_.push_back(std::move(e));
  if (action.Kind == TUserAction::TKind::ContextMenu) {
    pendingPick_ = action.Text;
    pickPending_ = true;
  }
  try {
    ApplyUserAction(form, action);
  } catch (...) {
    pickPending_ = false;
    throw;
  }
  pickPending_ = false;
}

void TScriptedBackend::RunModal(TForm& form) {
  JournalForm(TKind::FormShown, form);
  std::deque<TUserAction> actions;
  TakeScript(form, actions);
  while (form.ModalResult() == mrNone && !actions.empty()) {
    const TUserAction action = std::move(actions.front());
    actions.pop_front();
    Perform(form, action);
  }
  if (form.ModalResult() == mrNone) form.Close();
  JournalForm(TKind::ModalEnded, form);
}

void TScriptedBackend::FormShown(TForm& form) {
  JournalForm(TKind::FormShown, form);
  std::deque<TUserAction> actions;
  if (TakeScript(form, actions)) pending_.push_back({form.Handle(), std::move(actions)});
}

void TScriptedBackend::Idle() {
  while (!pending_.empty()) {
    TPendingScript script = std::move(pending_.front());
    pending_.pop_front();
    while (!script.Actions.empty()) {
      TForm* form = FindFormByHandle(script.Form);
      if (form == nullptr || !form->Visible()) break;
      const TUserAction action = std::move(script.Actions.front());
      script.Actions.pop_front();
      Perform(*form, action);
    }
  }
}

void TScriptedBackend::FormHidden(TForm& form) {
  JournalForm(TKind::FormHidden, form);
}

int TScriptedBackend::PopupMenu(TPopupMenu& menu, TPoint) {
  TJournalEntry e;
  e.Kind = TKind::Menu;
  e.Form = menu.Name();
  for (int i = 0; i < menu.Count(); ++i)
    e.Items.push_back(menu.Item(i).Caption());
  e.Result = -1;
  if (pickPending_) {
    pickPending_ = false;
    for (int i = 0; i < menu.Count(); ++i) {
      if (!pendingPick_.empty() && menu.Item(i).Caption() == pendingPick_) {
        e.Result = i;
        break;
      }
    }
    if (e.Result < 0 && !pendingPick_.empty()) {
      journal_.push_back(e);
      throw EUserAction(u"The menu has no item '" + pendingPick_ + u"'");
    }
  }
  e.Text = e.Result >= 0 ? menu.Item(e.Result).Caption() : std::u16string();
  journal_.push_back(std::move(e));
  return journal_.back().Result;
}

int TScriptedBackend::MessageBox(const TMessage& message) {
  TJournalEntry e;
  e.Kind = TKind::Message;
  e.Caption = message.Caption;
  e.Text = message.Text;
  e.Icon = message.Icon;
  for (int b : ButtonsOf(message.Buttons))
    e.Items.push_back(ButtonCaption(b));
  if (answers_.empty()) {
    e.Result = CancelAnswer(message.Buttons);
  } else {
    e.Result = answers_.front();
    answers_.pop_front();
  }
  journal_.push_back(std::move(e));
  return journal_.back().Result;
}

}  // namespace qm::platform::ui
