#include "platform/ui/TerminalBackend.h"

#include <istream>
#include <ostream>

#include "platform/rtl/Utf.h"

namespace qm::platform::ui {
namespace {

constexpr char16_t HelpText[] =
    u"commands: click NAME | check NAME | uncheck NAME | select NAME INDEX|\"TEXT\"\n"
    u"          dblclick NAME INDEX|\"TEXT\" | type NAME TEXT | key enter|escape\n"
    u"          menu NAME | close | show | done | help\n";

std::u16string Trimmed(std::u16string_view text) {
  size_t from = 0;
  size_t to = text.size();
  while (from < to && text[from] <= u' ')
    ++from;
  while (to > from && text[to - 1] <= u' ')
    --to;
  return std::u16string(text.substr(from, to - from));
}

// 1 to count from a line of digits, else 0.
int Choice(std::u16string_view text, int count) {
  if (text.empty() || text.size() > 4) return 0;
  int value = 0;
  for (char16_t c : text) {
    if (c < u'0' || c > u'9') return 0;
    value = value * 10 + (c - u'0');
  }
  return value >= 1 && value <= count ? value : 0;
}

}  // namespace

bool TTerminalBackend::ReadLine(std::u16string& line) {
  std::string bytes;
  if (!std::getline(in_, bytes)) return false;
  line = Utf8ToUtf16(bytes);
  return true;
}

void TTerminalBackend::Print(std::u16string_view text) {
  out_ << Utf16ToUtf8(text);
  out_.flush();
}

bool TTerminalBackend::Command(TForm& form, std::u16string_view typed) {
  const std::u16string line = Trimmed(typed);
  if (line.empty()) return true;
  if (SameName(line, u"help")) {
    Print(HelpText);
    return true;
  }
  if (SameName(line, u"show")) {
    Print(DescribeForm(form));
    return true;
  }
  if (SameName(line, u"done")) return false;
  std::u16string error;
  const std::optional<TUserAction> action = ParseUserAction(line, error);
  if (!action) {
    Print(u"! " + error + u"\n");
    return true;
  }
  try {
    ApplyUserAction(form, *action);
  } catch (const Exception& e) {
    Print(u"! " + e.Message() + u"\n");
    return true;
  }
  const bool goesOn = form.Visible() && !(form.Modal() && form.ModalResult() != mrNone);
  if (goesOn) Print(DescribeForm(form));
  return true;
}

void TTerminalBackend::Interact(TForm& form) {
  const HWND handle = form.Handle();
  while (true) {
    // A command may have destroyed the form (its owner reacting to it).
    TForm* live = FindFormByHandle(handle);
    if (live == nullptr || !live->Visible()) return;
    if (live->Modal() && live->ModalResult() != mrNone) return;
    Print(u"> ");
    std::u16string line;
    if (!ReadLine(line)) {
      Print(u"\n");
      if (live->Modal()) live->Close();
      return;
    }
    if (!Command(*live, line)) return;
  }
}

void TTerminalBackend::RunModal(TForm& form) {
  Print(DescribeForm(form));
  Interact(form);
  if (form.ModalResult() == mrNone) form.Close();
}

void TTerminalBackend::FormShown(TForm& form) {
  Print(DescribeForm(form));
  // A form inside another window (a toolbar in its browser window) is
  // worked through the program that shows that window, not at a prompt of
  // its own.
  if (form.ParentWindow() == NoWindow) shown_.push_back(form.Handle());
}

void TTerminalBackend::FormHidden(TForm& form) {
  Print(u"(" + form.Caption() + u" closed)\n");
}

void TTerminalBackend::Idle() {
  std::vector<HWND> shown;
  shown.swap(shown_);
  for (HWND handle : shown) {
    TForm* form = FindFormByHandle(handle);
    if (form != nullptr && form->Visible() && !form->Modal()) {
      Print(DescribeForm(*form));
      Interact(*form);
    }
  }
}

int TTerminalBackend::PopupMenu(TPopupMenu& menu, TPoint) {
  Print(DescribeMenu(menu));
  while (true) {
    Print(u"menu> ");
    std::u16string line;
    if (!ReadLine(line)) return -1;
    line = Trimmed(line);
    if (line.empty()) return -1;
    const int pick = Choice(line, menu.Count());
    if (pick > 0 && !menu.Item(pick - 1).IsSeparator()) return pick - 1;
    Print(u"! pick an item by its number, or an empty line for none\n");
  }
}

int TTerminalBackend::MessageBox(const TMessage& message) {
  Print(DescribeMessage(message));
  const std::vector<int> buttons = ButtonsOf(message.Buttons);
  while (true) {
    Print(u"? ");
    std::u16string line;
    if (!ReadLine(line)) return CancelAnswer(message.Buttons);
    line = Trimmed(line);
    if (const int pick = Choice(line, static_cast<int>(buttons.size()))) {
      return buttons[static_cast<size_t>(pick - 1)];
    }
    for (int b : buttons) {
      if (SameName(line, ButtonCaption(b))) return b;
    }
    Print(u"! answer with a button's number or name\n");
  }
}

}  // namespace qm::platform::ui
