// The terminal backend: forms for people, as text.
//
// A form is printed as its text picture (DescribeForm) followed by a
// prompt; the person types commands in the syntax of UserActions.h, plus
// "show" (print the form again), "done" (leave a modeless form as it is)
// and "help". A modal form takes commands until its modal result is set;
// the end of the input closes it (mrCancel). A modeless form is printed
// when shown; at the next Idle the person works with it (Interact) until
// "done", the end of the input, or the form hides; a host may also call
// Interact itself. A message box prints its caption, text and numbered
// buttons and reads a number or a button's name; a pop-up menu prints its numbered items and
// reads a number (an empty line dismisses it). The end of the input
// answers as closing does. A parented form (a toolbar inside its browser
// window) is printed when shown but gets no prompt: the program that shows
// its window acts on it.
//
// A command that cannot be done prints its reason and asks again.
//
// The streams are the host's (std::cin and std::cout, or string streams in
// tests) and must outlive the backend. One user-interface thread at a time.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

#include "platform/ui/Backend.h"
#include "platform/ui/UserActions.h"

namespace qm::platform::ui {

class TTerminalBackend : public TUiBackend {
public:
  TTerminalBackend(std::istream& in, std::ostream& out) : in_(in), out_(out) {}

  // Takes commands for a visible form until it is hidden, its modal result
  // is set (modal forms), the person types "done", or the input ends.
  void Interact(TForm& form);

  void RunModal(TForm& form) override;
  void FormShown(TForm& form) override;
  void FormHidden(TForm& form) override;
  int PopupMenu(TPopupMenu& menu, TPoint at) override;
  int MessageBox(const TMessage& message) override;
  // Interacts with the modeless forms shown since the last Idle that are
  // still up.
  void Idle() override;

private:
  bool ReadLine(std::u16string& line);
  void Print(std::u16string_view text);
  // Answers whether the loop goes on.
  bool Command(TForm& form, std::u16string_view line);

  std::istream& in_;
  std::ostream& out_;
  std::vector<HWND> shown_;
};

}  // namespace qm::platform::ui
