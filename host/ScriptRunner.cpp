#include "host/ScriptRunner.h"

#include "host/Toolbars.h"
#include "platform/rtl/Utf.h"
#include "platform/ui/UserActions.h"

namespace qm::host {

using platform::U8;
using platform::ui::TJournalEntry;

namespace {

// The page attribute through which the add-on binds a control to a
// profile field.
constexpr char16_t ProfileFieldAttribute[] = u"Profile field";

TStepResult Failed(std::u16string failure) { return {false, std::move(failure)}; }

std::u16string Quote(std::u16string_view text) { return u"\"" + std::u16string(text) + u"\""; }

std::u16string ValueOf(const ComPtr<PageElement>& element) {
  if (auto input = element.As<platform::PageInputElement>()) return input->value();
  if (auto select = element.As<platform::PageSelectElement>()) return select->value();
  if (auto area = element.As<platform::PageTextAreaElement>()) return area->value();
  return element->innerText();
}

std::u16string Trimmed(std::u16string_view text) {
  size_t b = 0, e = text.size();
  while (b < e && (text[b] == u' ' || text[b] == u'\t' || text[b] == u'\n' || text[b] == u'\r')) ++b;
  while (e > b && (text[e - 1] == u' ' || text[e - 1] == u'\t' || text[e - 1] == u'\n' || text[e - 1] == u'\r')) --e;
  return std::u16string(text.substr(b, e - b));
}

bool IsOneOf(const std::u16string& name, const std::vector<std::u16string>& names) {
  for (const std::u16string& n : names) {
    if (n == name) return true;
  }
  return false;
}

}  // namespace

TScriptRunner::TScriptRunner(TWindowThread& thread, TBrowserWindow& window, TBrowserEngine& engine,
                             TDialogAnswerBackend* answers, TTranscript& transcript, std::u16string serveRoot,
                             std::chrono::steady_clock::time_point deadline)
    : thread_(thread),
      window_(window),
      engine_(engine),
      answers_(answers),
      transcript_(transcript),
      serveRoot_(std::move(serveRoot)),
      deadline_(deadline) {}

TStepResult TScriptRunner::Run(const TScriptCommand& command) {
  return thread_.Call([&] { return RunOnWindow(command); }, deadline_);
}

ComPtr<PageElement> TScriptRunner::Find(const std::u16string& selectorText, std::u16string& failure) {
  const TSelector selector = ParseSelector(selectorText);
  ComPtr<PageElement> element = selector.ById ? FindElementById(window_.Browser(), selector.Key)
                                              : FindElementByName(window_.Browser(), selector.Key);
  if (!element) failure = u"no element matches " + selectorText + u" on " + window_.Browser()->LocationURL();
  return element;
}

TStepResult TScriptRunner::RunOnWindow(const TScriptCommand& command) {
  const auto& args = command.Args;
  const std::string& verb = command.Verb;
  TStepResult result;
  if (verb == "expect") {
    result = Expect(command);
    ReportJournal();
    return result;
  }
  if (verb == "note") {
    transcript_.Line("note", args[0]);
    return result;
  }
  if (verb == "answer") {
    if (answers_ == nullptr) return Failed(u"dialogs are answered at the terminal in an interactive session");
    TDialogAnswer answer{args[0], args[1], {}};
    for (size_t i = 2; i < args.size(); ++i) {
      const size_t eq = args[i].find(u'=');
      answer.Values.emplace_back(args[i].substr(0, eq), args[i].substr(eq + 1));
    }
    answers_->Queue(std::move(answer));
    return result;
  }
  if (verb == "open") {
    window_.Navigate(ExpandServe(args[0], serveRoot_));
  } else if (verb == "command") {
    result = Command(args[0], args.size() > 1 ? args[1] : std::u16string());
  } else {
    std::u16string failure;
    const ComPtr<PageElement> element = Find(args[0], failure);
    if (!element) return Failed(failure);
    if (verb == "type") {
      if (!element.As<platform::PageInputElement>() && !element.As<platform::PageTextAreaElement>()) {
        return Failed(args[0] + u" is not a text control");
      }
      engine_.Type(element, args[1]);
    } else if (verb == "choose") {
      const auto select = element.As<platform::PageSelectElement>();
      if (!select) return Failed(args[0] + u" is not a list");
      int index = -1;
      for (int32_t i = 0; i < select->length() && index < 0; ++i) {
        const auto option = select->item(i).As<platform::PageOptionElement>();
        if (option && Trimmed(option->text()) == Trimmed(args[1])) index = i;
      }
      if (index < 0) return Failed(args[0] + u" has no option " + Quote(args[1]));
      engine_.Focus(element);
      engine_.Choose(element, index);
    } else if (verb == "check" || verb == "uncheck") {
      const auto input = element.As<platform::PageInputElement>();
      if (!input || (input->type() != u"checkbox" && input->type() != u"radio")) {
        return Failed(args[0] + u" is not a check box or radio button");
      }
      if (input->checked() != (verb == "check")) Click(args[0], element);
    } else if (verb == "focus") {
      engine_.Focus(element);
    } else if (verb == "click") {
      Click(args[0], element);
    }
  }
  // What the person did is not the add-on's fill; what follows may be.
  if (verb != "open" && verb != "click") window_.TakeSnapshot();
  if (!window_.Settle()) transcript_.Line("problem", "the page keeps navigating; stopped waiting for it");
  window_.ReportChanges();
  ReportJournal();
  if (answers_ != nullptr) {
    for (const std::u16string& fault : answers_->TakeFaults()) {
      if (result.Ok) result = Failed(fault);
    }
  }
  return result;
}

TStepResult TScriptRunner::Command(const std::u16string& caption, const std::u16string& item) {
  transcript_.Line("command", item.empty() ? caption : caption + u" > " + item);
  const std::u16string failure = PressToolbarCommand(window_.ToolbarWindows(), caption, item);
  if (!failure.empty()) return Failed(failure);
  return {};
}

TStepResult TScriptRunner::Expect(const TScriptCommand& command) {
  const std::string kind = U8(command.Args[0]);
  const auto& args = command.Args;
  if (kind == "url") {
    const std::u16string wanted = ExpandServe(args[1], serveRoot_);
    const std::u16string url = window_.Browser()->LocationURL();
    if (url != wanted) return Failed(u"expected the address " + wanted + u", the page is at " + url);
    return {};
  }
  if (kind == "button") {
    const auto button = FindToolbarButton(window_.ToolbarWindows(), args[1]);
    if (!button) return Failed(u"no toolbar button is called " + Quote(args[1]));
    const std::u16string state = args[2];
    const bool holds = state == u"enabled"    ? button->Enabled
                       : state == u"disabled" ? !button->Enabled
                       : state == u"checked"  ? button->Checked
                                              : button->Checkable && !button->Checked;
    if (holds) return {};
    std::u16string is = button->Enabled ? u"enabled" : u"disabled";
    if (button->Checkable) is += button->Checked ? u" and checked" : u" and unchecked";
    return Failed(u"expected the toolbar button " + Quote(args[1]) + u" " + state + u", it is " + is);
  }
  if (kind == "message") {
    if (answers_ == nullptr) return Failed(u"messages are read at the terminal in an interactive session");
    const auto& journal = answers_->Journal();
    const std::vector<std::u16string> toolbars = ToolbarFormNames(window_.ToolbarWindows());
    bool seen = false;
    for (size_t i = messagesChecked_; i < journal.size() && !seen; ++i) {
      const TJournalEntry& entry = journal[i];
      const bool shown = entry.Kind == TJournalEntry::TKind::Message ||
                         (entry.Kind == TJournalEntry::TKind::FormShown && !IsOneOf(entry.Form, toolbars));
      seen = shown && (entry.Text.find(args[1]) != std::u16string::npos ||
                       entry.Caption.find(args[1]) != std::u16string::npos);
    }
    messagesChecked_ = journal.size();
    if (!seen) return Failed(u"expected a message with " + Quote(args[1]) + u", none was shown");
    return {};
  }
  std::u16string failure;
  const ComPtr<PageElement> element = Find(args[1], failure);
  if (!element) return Failed(failure);
  if (kind == "value") {
    const std::u16string value = ValueOf(element);
    if (value != args[2]) return Failed(args[1] + u": expected the value " + Quote(args[2]) + u", it is " + Quote(value));
  } else if (kind == "checked" || kind == "unchecked") {
    const auto input = element.As<platform::PageInputElement>();
    const bool checked = input && input->checked();
    if (checked != (kind == "checked")) {
      return Failed(args[1] + u": expected it " + platform::W(kind) + u", it is " + (checked ? u"checked" : u"unchecked"));
    }
  } else if (kind == "text") {
    const std::u16string text = element->innerText();
    if (text.find(args[2]) == std::u16string::npos) {
      return Failed(args[1] + u": expected the text to contain " + Quote(args[2]) + u", it is " + Quote(Trimmed(text)));
    }
  } else if (kind == "bound") {
    const platform::Variant bound = element->getAttribute(ProfileFieldAttribute);
    const std::u16string field = bound.GetKind() == platform::Variant::Kind::String ? bound.AsString() : u"";
    if (field != args[2]) {
      return Failed(args[1] + u": expected it bound to " + Quote(args[2]) +
                    (field.empty() ? u", it is bound to nothing" : u", it is bound to " + Quote(field)));
    }
  }
  return {};
}

void TScriptRunner::Click(const std::u16string& selector, const ComPtr<PageElement>& element) {
  if (!engine_.Click(element)) {
    transcript_.Line("note", selector + u" is not shown on the page; clicked it through the page's script");
  }
}

void TScriptRunner::ReportJournal() {
  window_.ReportToolbars();
  if (answers_ == nullptr) return;
  const auto& journal = answers_->Journal();
  // The toolbars have their own lines (ReportToolbars).
  const std::vector<std::u16string> toolbars = ToolbarFormNames(window_.ToolbarWindows());
  for (; journalShown_ < journal.size(); ++journalShown_) {
    const TJournalEntry& entry = journal[journalShown_];
    switch (entry.Kind) {
      case TJournalEntry::TKind::FormShown:
        if (!IsOneOf(entry.Form, toolbars)) transcript_.Line("dialog", entry.Caption + u"\n" + entry.Text);
        break;
      case TJournalEntry::TKind::Message: {
        const int answer = entry.Result;
        transcript_.Line("message", entry.Caption + u": " + entry.Text + u"\n-> " +
                                        platform::ui::ButtonCaption(answer));
        break;
      }
      case TJournalEntry::TKind::Action:
        transcript_.Line("answer", entry.Form + u": " + entry.Text);
        break;
      case TJournalEntry::TKind::Menu:
        transcript_.Line("menu", entry.Caption);
        break;
      case TJournalEntry::TKind::ModalEnded:
      case TJournalEntry::TKind::FormHidden:
        break;
    }
  }
}

}  // namespace qm::host
