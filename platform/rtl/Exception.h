// The common exception base of the whole program.
//
// Every failure that the add-on, the manager or the tools raise on purpose is
// an Exception or a class derived from it. The message is UTF-16, like every
// text of the program; what() gives the same message as UTF-8 for code that
// only knows std::exception (test frameworks, main functions).
//
// Exceptions are values: copy them freely. Usable on any thread.
#pragma once

#include <exception>
#include <string>

namespace qm::platform {

class Exception : public std::exception {
public:
  explicit Exception(std::u16string message, int helpContext = 0);
  ~Exception() override;

  const std::u16string& Message() const noexcept { return message_; }
  int HelpContext() const noexcept { return helpContext_; }

  // The message as UTF-8; lives as long as this exception.
  const char* what() const noexcept override { return utf8_.c_str(); }

private:
  std::u16string message_;
  std::string utf8_;
  int helpContext_ = 0;
};

}  // namespace qm::platform
