#include "host/DialogAnswers.h"

#include "platform/ui/Controls.h"
#include "platform/ui/Forms.h"

namespace qm::host {

using namespace platform::ui;

namespace {

std::u16string Plain(std::u16string_view text) {
  std::u16string out;
  for (char16_t c : text) {
    if (c == u'&') continue;
    if (c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c - u'A' + u'a');
    out += c;
  }
  return out;
}

bool Truthy(std::u16string_view value) {
  const std::u16string v = Plain(value);
  return v == u"1" || v == u"true" || v == u"yes" || v == u"on";
}

// The control that a NAME=VALUE or a BUTTON means: by name, else by caption.
TControl* FindByNameOrCaption(TForm& form, std::u16string_view key, bool buttonsOnly) {
  for (TControl* control : form.AllControls()) {
    if (buttonsOnly && dynamic_cast<TButton*>(control) == nullptr) continue;
    if (SameCaption(control->Name(), key)) return control;
  }
  for (TControl* control : form.AllControls()) {
    if (buttonsOnly && dynamic_cast<TButton*>(control) == nullptr) continue;
    if (SameCaption(control->Caption(), key)) return control;
  }
  return nullptr;
}

}  // namespace

bool SameCaption(std::u16string_view a, std::u16string_view b) { return Plain(a) == Plain(b); }

bool TDialogAnswerBackend::Take(const std::u16string& caption, const std::u16string& name,
                                TDialogAnswer& answer) {
  for (auto it = queued_.begin(); it != queued_.end(); ++it) {
    if (SameCaption(it->Caption, caption) || (!name.empty() && SameCaption(it->Caption, name))) {
      answer = std::move(*it);
      queued_.erase(it);
      return true;
    }
  }
  return false;
}

void TDialogAnswerBackend::ScriptForm(TForm& form) {
  TDialogAnswer answer;
  if (!Take(form.Caption(), form.Name(), answer)) return;
  std::vector<TUserAction> actions;
  for (const auto& [name, value] : answer.Values) {
    TControl* control = FindByNameOrCaption(form, name, false);
    if (control == nullptr) {
      faults_.push_back(u"the dialog \"" + form.Caption() + u"\" has no control " + name);
      continue;
    }
    if (dynamic_cast<TCheckBox*>(control) != nullptr) {
      actions.push_back(TUserAction::SetChecked(control->Name(), Truthy(value)));
    } else if (dynamic_cast<TComboBox*>(control) != nullptr || dynamic_cast<TListBox*>(control) != nullptr) {
      actions.push_back(TUserAction::Select(control->Name(), value));
    } else {
      actions.push_back(TUserAction::Type(control->Name(), value));
    }
  }
  TControl* button = FindByNameOrCaption(form, answer.Button, true);
  if (button == nullptr) {
    faults_.push_back(u"the dialog \"" + form.Caption() + u"\" has no button " + answer.Button);
  } else {
    actions.push_back(TUserAction::Click(button->Name()));
  }
  Script(form.Name(), std::move(actions));
}

void TDialogAnswerBackend::RunModal(TForm& form) {
  ScriptForm(form);
  TScriptedBackend::RunModal(form);
}

void TDialogAnswerBackend::FormShown(TForm& form) {
  ScriptForm(form);
  TScriptedBackend::FormShown(form);
}

int TDialogAnswerBackend::MessageBox(const TMessage& message) {
  TDialogAnswer answer;
  if (Take(message.Caption, {}, answer)) {
    bool found = false;
    for (int button : ButtonsOf(message.Buttons)) {
      if (SameCaption(ButtonCaption(button), answer.Button)) {
        Answer(button);
        found = true;
        break;
      }
    }
    if (!found) {
      faults_.push_back(u"the message \"" + message.Caption + u"\" has no button " + answer.Button);
    }
  }
  return TScriptedBackend::MessageBox(message);
}

}  // namespace qm::host
